// Faults at every host call, through the real DLL and its rule editor window: the ticks
// of the window's own timer, ModuleInfo step by step, and Init with helpers that fail.
// The clamp tests prove the same tick faults on VELTZorvane linked into the test; here
// the DLL is reached through COM as the host reaches it, and every tick is the timer's.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/standin/faults.h"
#include "host/standin/module_info.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/box_watcher.h"
#include "tests/support/debug_output.h"
#include "tests/support/host_members.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/references.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"
#include "tests/wine/reliability/three_rules.h"
#include "win/com_object.h"
#include "win/handles.h"
#include "win/module_count.h"

namespace zorvane::reliability {
namespace {

using namespace test;
using standin::ChannelWrite;
using standin::Fault;
using standin::FaultKind;

constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);

using Member = HostMember;

struct HostCallOfTick {
    const wchar_t* text;
    Member member;
    std::optional<ChannelWrite> write;  // what the call writes when it succeeds
};

// Rules 5: 10..200, 7: 0..100, 9: 0..255 against channel values 3, 150 and 42.
const HostCallOfTick kTick[] = {
    {L"ChannelGetValue 5 -> 3", Member::ChannelGetValue, {}},
    {L"MyStream", Member::MyStream, {}},
    {L"UserInteraction", Member::UserInteraction, {}},
    {L"MyStream", Member::MyStream, {}},
    {L"SetChannel 5, 10, true", Member::SetChannel, ChannelWrite{5, 10, true}},
    {L"ChannelGetValue 7 -> 150", Member::ChannelGetValue, {}},
    {L"MyStream", Member::MyStream, {}},
    {L"UserInteraction", Member::UserInteraction, {}},
    {L"MyStream", Member::MyStream, {}},
    {L"SetChannel 7, 100, true", Member::SetChannel, ChannelWrite{7, 100, true}},
    {L"ChannelGetValue 9 -> 42", Member::ChannelGetValue, {}},
};

std::vector<std::wstring> TickTexts(std::size_t calls = std::size(kTick)) {
    std::vector<std::wstring> texts;
    for (std::size_t i = 0; i < calls; ++i) texts.push_back(kTick[i].text);
    return texts;
}

std::vector<ChannelWrite> WritesBefore(std::size_t position) {
    std::vector<ChannelWrite> writes;
    for (std::size_t i = 0; i + 1 < position; ++i) {
        if (kTick[i].write) writes.push_back(*kTick[i].write);
    }
    return writes;
}

struct KindCase {
    FaultKind kind;
    const char* name;
    std::optional<Member> only;  // the member the kind fits; any when empty
};

const KindCase kKinds[] = {
    {FaultKind::MissingMember, "unknown name", {}},
    {FaultKind::Exception, "DISP_E_EXCEPTION with scode", {}},
    {FaultKind::ExceptionWCode, "DISP_E_EXCEPTION with wCode", {}},
    {FaultKind::ExceptionDeferred, "DISP_E_EXCEPTION filled late", {}},
    {FaultKind::FailureCode, "plain failure code", {}},
    {FaultKind::StreamEmpty, "MyStream empty", Member::MyStream},
    {FaultKind::StreamNothing, "MyStream Nothing", Member::MyStream},
    {FaultKind::StreamNotObject, "MyStream a number", Member::MyStream},
    {FaultKind::ValueNotNumber, "value not a number", Member::ChannelGetValue},
    {FaultKind::ValueEmpty, "value empty", Member::ChannelGetValue},
    {FaultKind::ValueNull, "value null", Member::ChannelGetValue},
};

// The code the tick is to fail with, as its line in the debugger output shows it.
HRESULT ExpectedCode(const Fault& fault, const standin::HostCall& failed) {
    switch (fault.kind) {
        case FaultKind::MissingMember:
        case FaultKind::FailureCode: return failed.result;
        case FaultKind::Exception:
        case FaultKind::ExceptionDeferred: return fault.code;
        case FaultKind::ExceptionWCode: return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, fault.wcode);
        case FaultKind::StreamEmpty:
        case FaultKind::StreamNothing:
        case FaultKind::StreamNotObject: return kObjectRequired;
        case FaultKind::ValueNotNumber:
        case FaultKind::ValueEmpty:
        case FaultKind::ValueNull: return DISP_E_TYPEMISMATCH;
    }
    return E_UNEXPECTED;
}

// A helper the host might hand over broken: without members, or failing every call.
class BrokenHelper final : public win::ComObject<BrokenHelper, IVELTPluginHelper> {
public:
    enum class Way { NoMembers, Fails, Raises };
    explicit BrokenHelper(Way way) : way_(way) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept override {
        ++calls_;
        for (UINT i = 0; i < count; ++i) ids[i] = way_ == Way::NoMembers ? DISPID_UNKNOWN : 1 + static_cast<DISPID>(i);
        return way_ == Way::NoMembers ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* excep,
                                     UINT*) noexcept override {
        ++calls_;
        if (way_ != Way::Raises || excep == nullptr) return kFailure;
        *excep = EXCEPINFO{};
        excep->scode = kRaised;
        excep->bstrSource = SysAllocString(L"Pult");
        excep->bstrDescription = SysAllocString(L"Der Kanal ist gesperrt.");
        return DISP_E_EXCEPTION;
    }
    HRESULT STDMETHODCALLTYPE ChannelGetValue(LONG*, VARIANT*) noexcept override { return kFailure; }
    HRESULT STDMETHODCALLTYPE get_MyStream(IDispatch**) noexcept override { return kFailure; }

    // Name look-ups and invocations received.
    int calls() const noexcept { return calls_; }

    static constexpr HRESULT kFailure = E_ACCESSDENIED;
    static constexpr HRESULT kRaised = static_cast<HRESULT>(0x800A0BB8);

private:
    Way way_;
    int calls_ = 0;
};

class HostFaultsTest : public testing::Test {
protected:
    void SetUp() override {
        module_info_class_ = std::make_unique<standin::ModuleInfoClassOverride>();
        helper_ = standin::MakePluginHelper(host_);
        // The shortest interval: ticks come as fast as the timer can.
        ASSERT_NO_FATAL_FAILURE(OpenTickingWithThreeRules(helper_.Get(), opened_, editor_, boxes_));
    }

    void TearDown() override {
        editor_.reset();
        opened_.Close();
        Pump(20);
        const HMODULE module = LoadedModule();
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(CanUnloadNow(module), S_OK) << "something of the DLL is still held";
        EXPECT_REF(helper_.Get(), 1u) << "the DLL still holds the helper";
        EXPECT_EQ(host_->live_streams(), 0);
        helper_.Reset();
        module_info_class_.reset();
    }

    void SetValues() {
        host_->universe.SetFromFader(5, 3);
        host_->universe.SetFromFader(7, 150);
        host_->universe.SetFromFader(9, 42);
        host_->universe.ClearPluginWrites();
        host_->trace.Clear();
    }

    // One tick of the timer; the stand-in's trace of it.
    std::vector<std::wstring> Tick() {
        EXPECT_TRUE(RunOneTick(opened_.window)) << "the timer has stopped";
        return host_->trace.Texts();
    }

    void ExpectAFullTick() {
        SetValues();
        EXPECT_EQ(Tick(), TickTexts());
        EXPECT_EQ(host_->universe.PluginWrites(), WritesBefore(std::size(kTick) + 1));
    }

    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    ComPtr<IVELTPluginHelper> helper_;
    std::unique_ptr<standin::ModuleInfoClassOverride> module_info_class_;
    OpenedPlugIn opened_;
    std::unique_ptr<RuleEditor> editor_;
    BoxWatcher boxes_;
    DebugOutput output_;
};

// Every call of the three-rule tick, failed in every way that fits it. An unknown name
// is tried twice: with the helper's identifiers cached (the host answers at Invoke) and
// right after an Init (the host answers at GetIDsOfNames).
TEST_F(HostFaultsTest, AFaultAtAnyCallEndsThatTickOnlyAndQuietly) {
    int faults_tried = 0;
    for (std::size_t position = 1; position <= std::size(kTick); ++position) {
        const HostCallOfTick& failing = kTick[position - 1];
        for (const KindCase& kind : kKinds) {
            if (kind.only && *kind.only != failing.member) continue;
            for (const bool after_init : {false, true}) {
                if (after_init && kind.kind != FaultKind::MissingMember) continue;
                SCOPED_TRACE(testing::Message() << "call " << position << " (" << failing.text << "), "
                                                << kind.name << (after_init ? ", right after Init" : ""));
                ++faults_tried;
                if (after_init) {
                    ASSERT_TRUE(InitPlugIn(opened_.plugin.Get(), helper_.Get()));
                }
                SetValues();
                output_.Clear();
                Fault fault;
                fault.call = host_->calls_made() + static_cast<unsigned>(position);
                fault.kind = kind.kind;
                fault.code = static_cast<HRESULT>(0x800A1000 + position);
                fault.wcode = static_cast<WORD>(3000 + position);
                fault.description = L"Aufruf " + std::to_wstring(position) + L" abgewiesen";
                host_->InjectFault(fault);

                const std::vector<std::wstring> trace = Tick();
                EXPECT_FALSE(host_->pending_fault().has_value()) << "the fault did not fire";
                // The calls before the fault as always, the failing one, nothing after it.
                ASSERT_EQ(trace.size(), position);
                EXPECT_EQ(std::vector<std::wstring>(trace.begin(), trace.end() - 1), TickTexts(position - 1));
                EXPECT_EQ(trace.back().rfind(NameOf(failing.member), 0), 0u) << trace.back();
                EXPECT_EQ(host_->universe.PluginWrites(), WritesBefore(position)) << "writes before the fault";
                EXPECT_EQ(host_->live_streams(), 0);

                // Reported once to the debugger output, no box for anyone to answer.
                const std::vector<std::string> lines = output_.Lines();
                ASSERT_EQ(lines.size(), 1u);
                EXPECT_EQ(lines[0].rfind(TickFailureHead(ExpectedCode(fault, host_->trace.calls().back())), 0), 0u)
                    << lines[0];
                EXPECT_TRUE(boxes_.boxes().empty());

                // The timer goes on; its next tick starts at row 0 and runs through.
                ExpectAFullTick();
                EXPECT_EQ(output_.Lines().size(), 1u) << "a good tick reports nothing";
            }
        }
    }
    std::printf("faults tried through the window: %d\n", faults_tried);
}

// ChannelValue keeps the last value read: an object as value shows by its reference count
// how long the DLL holds it.
TEST_F(HostFaultsTest, AFailedReadLeavesTheLastValueReadInChannelValue) {
    const ComPtr<IVELTPluginHelper> object = standin::MakePluginHelper(std::make_shared<standin::StandinHost>());
    win::Variant reply;
    V_VT(reply.get()) = VT_DISPATCH;
    V_DISPATCH(reply.get()) = object.Get();
    object->AddRef();
    host_->SetChannelReply(9, *reply.get());
    const ULONG held = RefCount(object.Get());  // ours, the reply's and the stand-in's copy

    SetValues();
    EXPECT_EQ(Tick().back(), L"ChannelGetValue 9 -> <object>");
    EXPECT_REF(object.Get(), held + 1) << "the object read is ChannelValue now";

    // Ticks failing at their first call read nothing: ChannelValue stays the object.
    for (const FaultKind kind : {FaultKind::FailureCode, FaultKind::MissingMember, FaultKind::Exception}) {
        SetValues();
        Fault fault;
        fault.call = host_->calls_made() + 1;
        fault.kind = kind;
        host_->InjectFault(fault);
        EXPECT_EQ(Tick().size(), 1u);
        EXPECT_REF(object.Get(), held + 1) << "kind " << static_cast<int>(kind);
    }

    // A first read that answers null replaces it, and the object is let go.
    SetValues();
    Fault null_value;
    null_value.call = host_->calls_made() + 1;
    null_value.kind = FaultKind::ValueNull;
    host_->InjectFault(null_value);
    EXPECT_EQ(Tick(), std::vector<std::wstring>{L"ChannelGetValue 5 -> <null>"});
    EXPECT_REF(object.Get(), held);
    host_->ClearChannelReplies();
    ExpectAFullTick();
}

// ModuleInfo failing at its creation or any of its calls while the editor ticks: the host
// gets the code and no object, the partly filled object and its collection are gone, no
// reference to the rule editor is left behind, and the ticks go on.
TEST_F(HostFaultsTest, AModuleInfoFailingAtAnyStepLeavesNothingBehind) {
    standin::ModuleInfoFactory& factory = module_info_class_->factory();
    // The steps of a good read (the set-up's record holds its own get ToolWindow too).
    ModuleInfoOf(opened_.plugin.Get());
    const std::vector<std::wstring> steps = factory.created().back()->calls;
    const std::size_t calls = steps.size();
    ASSERT_EQ(calls, 16u) << "16 calls after the creation";
    const long live_objects = win::ModuleCount::Value();  // the stand-in's objects in this process
    const ULONG window_references = RefCount(opened_.tool.Get());

    for (std::size_t step = 0; step <= calls; ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step
                                        << (step == 0 ? std::wstring(L" (creation)") : L" " + steps[step - 1]).c_str());
        const HRESULT code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0300 + step);
        const std::size_t made = factory.created().size();
        if (step == 0) {
            factory.FailNextCreate(code);
        } else {
            factory.FailCallOfNewObjects(static_cast<unsigned>(step), code);
        }
        auto* info = reinterpret_cast<IVELTModuleInfo*>(static_cast<std::uintptr_t>(0xDEADBEEF));
        EXPECT_EQ(ReadModuleInfo(opened_.plugin.Get(), &info), code);
        EXPECT_EQ(info, nullptr);
        factory.FailCallOfNewObjects(0, S_OK);

        if (step == 0) {
            EXPECT_EQ(factory.created().size(), made);
        } else {
            ASSERT_EQ(factory.created().size(), made + 1);
            const standin::ModuleInfoRecord& record = *factory.created().back();
            EXPECT_FALSE(record.alive) << "the partly filled object is still referenced";
            EXPECT_EQ(record.calls.size(), step) << "calls after the failing one";
        }
        EXPECT_EQ(win::ModuleCount::Value(), live_objects) << "a module-information object or collection lives on";
        EXPECT_REF(opened_.tool.Get(), window_references) << "a reference to the rule editor is left";
        ExpectAFullTick();
    }

    // And the next read succeeds with the same window.
    const ComPtr<IVELTModuleInfo> info = ModuleInfoOf(opened_.plugin.Get());
    EXPECT_EQ(ToolWindowOf(info.Get()).Get(), opened_.tool.Get());
    std::printf("ModuleInfo failures tried: %zu\n", calls + 1);
}

// Init with no helper or a broken one still answers true; every tick then fails at its
// first call, reported once, and the timer goes on; a good helper makes it work again.
TEST_F(HostFaultsTest, InitWithAnEmptyOrBrokenHelperTicksQuietlyUntilAGoodOne) {
    struct Case {
        const char* name;
        std::optional<BrokenHelper::Way> way;  // none: an empty reference
        HRESULT code;
        int calls_per_tick;
    };
    const Case cases[] = {
        {"empty reference", {}, kObjectRequired, 0},
        {"no members", BrokenHelper::Way::NoMembers, DISP_E_UNKNOWNNAME, 1},
        {"ChannelGetValue fails", BrokenHelper::Way::Fails, BrokenHelper::kFailure, 1},
        {"ChannelGetValue raises", BrokenHelper::Way::Raises, BrokenHelper::kRaised, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ComPtr<BrokenHelper> broken = c.way ? win::Make<BrokenHelper>(*c.way) : nullptr;
        EXPECT_TRUE(InitPlugIn(opened_.plugin.Get(), broken.Get()));
        const int calls_at_start = broken ? broken->calls() : 0;
        SetValues();
        output_.Clear();
        for (int tick = 0; tick < 3; ++tick) ASSERT_TRUE(RunOneTick(opened_.window)) << "the timer has stopped";
        if (broken) {
            // A look-up that succeeded is not repeated; the failing call is made each tick.
            EXPECT_GE(broken->calls() - calls_at_start, 3 * c.calls_per_tick);
            EXPECT_LE(broken->calls() - calls_at_start, 3 * c.calls_per_tick + 1);
        }
        EXPECT_TRUE(host_->trace.calls().empty()) << "the previous helper was called";
        EXPECT_TRUE(host_->universe.PluginWrites().empty());
        const std::vector<std::string> lines = output_.Lines();
        ASSERT_EQ(lines.size(), 1u) << "the same failure three times is reported once";
        EXPECT_EQ(lines[0].rfind(TickFailureHead(c.code), 0), 0u) << lines[0];
        EXPECT_TRUE(boxes_.boxes().empty());

        EXPECT_TRUE(InitPlugIn(opened_.plugin.Get(), helper_.Get()));
        if (broken) {
            EXPECT_REF(broken.Get(), 1u) << "the broken helper is still held";
        }
        ExpectAFullTick();
    }
}

}  // namespace
}  // namespace zorvane::reliability
