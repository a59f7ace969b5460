#include "tests/support/scripted_helper.h"

#include <iterator>
#include <string>
#include <utility>

#include "win/com_object.h"
#include "win/plain_dispatch.h"
#include "win/handles.h"

namespace zorvane::test {

struct ScriptedState {
    HelperScript script;
    std::map<LONG, LONG> values;
    std::vector<std::wstring> calls;
    Microsoft::WRL::ComPtr<IDispatch> same_stream;
    int depth = 0;
    int deepest = 0;
    int live_streams = 0;
};

namespace {

constexpr DISPID kChannelGetValue = 1;
constexpr DISPID kMyStream = 2;
constexpr DISPID kUserInteraction = 1;
constexpr DISPID kSetChannel = 2;

struct Name {
    const wchar_t* text;
    DISPID id;
};

HRESULT IdsOf(const Name* names, std::size_t count, LPOLESTR* asked, UINT asked_count, DISPID* ids) {
    if (asked == nullptr || ids == nullptr || asked_count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < asked_count; ++i) ids[i] = DISPID_UNKNOWN;
    for (std::size_t n = 0; n < count; ++n) {
        if (asked[0] != nullptr && _wcsicmp(asked[0], names[n].text) == 0) {
            ids[0] = names[n].id;
            return asked_count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

// Entered and left around every call: how deep calls nest.
class CallDepth {
public:
    explicit CallDepth(ScriptedState& state) : state_(state) {
        if (++state_.depth > state_.deepest) state_.deepest = state_.depth;
    }
    ~CallDepth() { --state_.depth; }
    CallDepth(const CallDepth&) = delete;
    CallDepth& operator=(const CallDepth&) = delete;

private:
    ScriptedState& state_;
};

// A 32-bit integer argument as the script reads it; the pointer to write through, when
// it came by reference.
HRESULT ReadLong(const ScriptedState& state, const VARIANT& argument, LONG& value, LONG*& reference) {
    reference = nullptr;
    if (state.script.arguments_by_value) {
        win::Variant copy;
        if (FAILED(VariantChangeType(copy.get(), const_cast<VARIANT*>(&argument), 0, VT_I4))) {
            return DISP_E_TYPEMISMATCH;
        }
        value = V_I4(copy.get());
        return S_OK;
    }
    if (V_VT(&argument) != (VT_I4 | VT_BYREF) || V_I4REF(&argument) == nullptr) return DISP_E_TYPEMISMATCH;
    reference = V_I4REF(&argument);
    value = *reference;
    return S_OK;
}

// What both scripted objects share: their names, the checks every call starts with and
// the depth it runs at. Derived has kNames and Call, which answers a member by its id.
template <class Derived>
class ScriptedDispatch : public win::PlainDispatch<Derived> {
public:
    static constexpr bool kHoldsModule = false;
    explicit ScriptedDispatch(std::shared_ptr<ScriptedState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return IdsOf(Derived::kNames, std::size(Derived::kNames), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* arg_error) noexcept override {
        try {
            if (result != nullptr) VariantInit(result);
            if (params == nullptr) return E_INVALIDARG;
            const std::shared_ptr<ScriptedState> state = state_;  // a script may drop the helper
            CallDepth depth(*state);
            return static_cast<Derived*>(this)->Call(id, *params, state, result, arg_error);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

protected:
    const std::shared_ptr<ScriptedState>& state() const noexcept { return state_; }

private:
    std::shared_ptr<ScriptedState> state_;
};

class ScriptedStream final : public ScriptedDispatch<ScriptedStream> {
public:
    static constexpr Name kNames[] = {{L"UserInteraction", kUserInteraction}, {L"SetChannel", kSetChannel}};

    explicit ScriptedStream(std::shared_ptr<ScriptedState> state) : ScriptedDispatch(std::move(state)) {
        ++this->state()->live_streams;
    }
    ~ScriptedStream() override { --state()->live_streams; }

    HRESULT Call(DISPID id, const DISPPARAMS& params, const std::shared_ptr<ScriptedState>& state, VARIANT*,
                 UINT* arg_error) {
        if (id == kUserInteraction) {
            state->calls.push_back(L"UserInteraction");
            if (state->script.during_call) state->script.during_call(L"UserInteraction");
            return S_OK;
        }
        if (id != kSetChannel) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 3) return DISP_E_BADPARAMCOUNT;
        LONG channel = 0;
        LONG value = 0;
        LONG* channel_reference = nullptr;
        LONG* value_reference = nullptr;
        if (FAILED(ReadLong(*state, params.rgvarg[2], channel, channel_reference))) {
            if (arg_error != nullptr) *arg_error = 2;
            return DISP_E_TYPEMISMATCH;
        }
        if (FAILED(ReadLong(*state, params.rgvarg[1], value, value_reference))) {
            if (arg_error != nullptr) *arg_error = 1;
            return DISP_E_TYPEMISMATCH;
        }
        const bool immediate = V_VT(&params.rgvarg[0]) == VT_BOOL && V_BOOL(&params.rgvarg[0]) != 0;
        state->calls.push_back(L"SetChannel " + std::to_wstring(channel) + L", " + std::to_wstring(value) +
                              (immediate ? L", true" : L", false"));
        state->values[channel] = value;
        if (state->script.writes_through_references) {
            if (channel_reference != nullptr) *channel_reference = 511;
            if (value_reference != nullptr) *value_reference = 254;
        }
        if (state->script.during_call) state->script.during_call(L"SetChannel");
        return S_OK;
    }
};

class ScriptedObject final : public ScriptedDispatch<ScriptedObject> {
public:
    static constexpr Name kNames[] = {{L"ChannelGetValue", kChannelGetValue}, {L"MyStream", kMyStream}};

    using ScriptedDispatch::ScriptedDispatch;

    HRESULT Call(DISPID id, const DISPPARAMS& params, const std::shared_ptr<ScriptedState>& state,
                 VARIANT* result, UINT* arg_error) {
        win::Variant answer;
        HRESULT hr = S_OK;
        if (id == kMyStream) {
            hr = ReadMyStream(state, answer);
        } else if (id == kChannelGetValue) {
            hr = ChannelGetValue(params, state, answer, arg_error);
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (FAILED(hr)) return hr;
        if (result != nullptr) {
            *result = *answer.get();  // handed over
            VariantInit(answer.get());
        }
        return S_OK;
    }

private:
    static HRESULT ReadMyStream(const std::shared_ptr<ScriptedState>& state, win::Variant& answer) {
        state->calls.push_back(L"MyStream");
        if (state->script.during_call) state->script.during_call(L"MyStream");
        Microsoft::WRL::ComPtr<IDispatch> stream = state->same_stream;
        if (!stream || state->script.new_stream_each_read) {
            stream = win::Make<ScriptedStream>(state);
            if (!state->script.new_stream_each_read) state->same_stream = stream;
        }
        if (state->script.my_stream) return state->script.my_stream(stream.Get(), *answer.get());
        V_VT(answer.get()) = VT_DISPATCH;
        V_DISPATCH(answer.get()) = stream.Detach();
        return S_OK;
    }
    static HRESULT ChannelGetValue(const DISPPARAMS& params, const std::shared_ptr<ScriptedState>& state,
                                   win::Variant& answer, UINT* arg_error) {
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        LONG channel = 0;
        LONG* reference = nullptr;
        if (FAILED(ReadLong(*state, params.rgvarg[0], channel, reference))) {
            if (arg_error != nullptr) *arg_error = 0;
            return DISP_E_TYPEMISMATCH;
        }
        state->calls.push_back(L"ChannelGetValue " + std::to_wstring(channel));
        if (state->script.writes_through_references && reference != nullptr) *reference = 509;
        if (state->script.during_call) state->script.during_call(L"ChannelGetValue");
        if (state->script.channel_get_value) return state->script.channel_get_value(channel, *answer.get());
        V_VT(answer.get()) = VT_I4;
        V_I4(answer.get()) = state->values[channel];
        return S_OK;
    }
};

}  // namespace

ScriptedHelper::ScriptedHelper(HelperScript script) : state_(std::make_shared<ScriptedState>()) {
    state_->script = std::move(script);
    object_ = win::Make<ScriptedObject>(state_);
}

ScriptedHelper::~ScriptedHelper() {
    state_->same_stream.Reset();
}

IVELTPluginHelper* ScriptedHelper::as_helper() const noexcept {
    // Init declares the helper's interface; the plug-in calls it by name only, as a plain
    // IDispatch, which is all this object is.
    return reinterpret_cast<IVELTPluginHelper*>(object_.Get());
}

HelperScript& ScriptedHelper::script() noexcept { return state_->script; }
std::map<LONG, LONG>& ScriptedHelper::values() noexcept { return state_->values; }
const std::vector<std::wstring>& ScriptedHelper::calls() const noexcept { return state_->calls; }
void ScriptedHelper::ClearCalls() { state_->calls.clear(); }
int ScriptedHelper::depth() const noexcept { return state_->depth; }
int ScriptedHelper::deepest() const noexcept { return state_->deepest; }
int ScriptedHelper::live_streams() const noexcept { return state_->live_streams; }

ULONG ScriptedHelper::kept_stream_references() const noexcept {
    IDispatch* stream = state_->same_stream.Get();
    if (stream == nullptr) return 0;
    stream->AddRef();
    return stream->Release();
}

}  // namespace zorvane::test
