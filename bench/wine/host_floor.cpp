#include "bench/wine/host_floor.h"

#include <oleauto.h>

#include <stdexcept>

#include "host/standin/plugin_helper.h"
#include "tests/support/variants.h"

namespace zorvane::bench {
namespace {

void Expect(HRESULT hr) {
    if (FAILED(hr)) throw std::runtime_error("a host call of the floor failed");
}

IDispatch* ReadStream(IDispatch* helper, VARIANT& holder) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(&holder);
    Expect(helper->Invoke(standin::kMyStreamId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          &holder, nullptr, nullptr));
    if (V_VT(&holder) != VT_DISPATCH || V_DISPATCH(&holder) == nullptr) {
        VariantClear(&holder);
        throw std::runtime_error("MyStream is no object");
    }
    return V_DISPATCH(&holder);
}

void Write(IDispatch* helper, LONG channel, LONG value) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT holder;
    VARIANT ignored;
    {
        IDispatch* stream = ReadStream(helper, holder);
        VariantInit(&ignored);
        const HRESULT hr = stream->Invoke(standin::kUserInteractionId, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_METHOD, &none, &ignored, nullptr, nullptr);
        VariantClear(&ignored);
        VariantClear(&holder);
        Expect(hr);
    }
    IDispatch* stream = ReadStream(helper, holder);
    // DISPPARAMS lists the arguments last first: immediate, value, channel.
    VARIANT arguments[3] = {test::BoolVariant(true), test::LongReference(value), test::LongReference(channel)};
    DISPPARAMS params{arguments, nullptr, 3, 0};
    VariantInit(&ignored);
    const HRESULT hr = stream->Invoke(standin::kSetChannelId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &params, &ignored, nullptr, nullptr);
    VariantClear(&ignored);
    VariantClear(&holder);
    Expect(hr);
}

}  // namespace

unsigned FloorTick(IDispatch* helper, const std::vector<FloorRule>& rules) {
    unsigned writes = 0;
    for (const FloorRule& rule : rules) {
        LONG channel = rule.channel;
        VARIANT argument = test::LongReference(channel);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        Expect(helper->Invoke(standin::kChannelGetValueId, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr));
        const LONG value = V_VT(&result) == VT_I4 ? V_I4(&result) : 0;
        VariantClear(&result);
        if (value < rule.minimum) {
            Write(helper, rule.channel, rule.minimum);
            ++writes;
        } else if (value > rule.maximum) {
            Write(helper, rule.channel, rule.maximum);
            ++writes;
        }
    }
    return writes;
}

}  // namespace zorvane::bench
