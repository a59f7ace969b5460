#include "tests/wine/fuzz/session.h"

#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>
#include <ocidl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "VELTTypeLib.h"
#include "host/standin/module_info.h"
#include "plugin/plugin_identity.h"
#include "tests/support/box_watcher.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/rule_editor.h"
#include "tests/support/scripted_helper.h"
#include "tests/support/ticks.h"
#include "tests/wine/fuzz/host_objects.h"
#include "tests/wine/fuzz/import_watch.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/random.h"
#include "tests/wine/fuzz/surface.h"
#include "tests/wine/fuzz/values.h"
#include "ui/win32/control_ids.h"

namespace zorvane::fuzz {
namespace {

constexpr int kMaxDepth = 3;
constexpr UINT kInitialInterval = 1000;
constexpr wchar_t kInputBoxTitle[] = L"Plugin: Zorvane Einstellungen";
constexpr wchar_t kEditorClass[] = L"ZorvaneRuleEditor";
constexpr wchar_t kAboutClass[] = L"ZorvaneAbout";
constexpr wchar_t kStale[] = L"stale error information of an earlier call";

std::string Hex(HRESULT hr) { return Format("0x%08lX", static_cast<unsigned long>(hr)); }

// ---- deferred actions: a thread timer each, run by whatever message loop is running ----

std::map<UINT_PTR, std::function<void()>> g_deferred;

void CALLBACK RunDeferred(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    const auto found = g_deferred.find(id);
    if (found == g_deferred.end()) return;
    std::function<void()> action = std::move(found->second);
    g_deferred.erase(found);
    try {
        action();
    } catch (const std::exception& e) {
        Journal::Fail(std::string("the fuzzer threw: ") + e.what());
    } catch (...) {
        Journal::Fail("the fuzzer threw");
    }
}

UINT_PTR Defer(std::function<void()> action) {
    const UINT_PTR id = SetTimer(nullptr, 0, 0, RunDeferred);
    if (id == 0) Journal::Fail("SetTimer for a deferred action failed");
    g_deferred[id] = std::move(action);
    return id;
}

void CancelDeferred(UINT_PTR id) {
    if (id == 0) return;
    KillTimer(nullptr, id);
    g_deferred.erase(id);
}

// ---- the editor's own Timer1 ticks only when the fuzzer says so ----

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

LRESULT CALLBACK DropTimer1(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == WM_TIMER && message->wParam == ui::kTimer1 && message->hwnd != nullptr &&
            HasClass(message->hwnd, kEditorClass)) {
            // Ticks are sent by the fuzzer, one at a time: a seed gives the same ticks again.
            message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct FindClass {
    const wchar_t* name;
    HWND found = nullptr;
};

BOOL CALLBACK FindThreadWindow(HWND window, LPARAM lparam) noexcept {
    auto* search = reinterpret_cast<FindClass*>(lparam);
    if (HasClass(window, search->name)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND ThreadWindowOfClass(const wchar_t* name) {
    FindClass search{name};
    EnumThreadWindows(GetCurrentThreadId(), FindThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- identities and interfaces ----

struct NamedIid {
    const char* name;
    IID iid;
};

const NamedIid kIids[] = {
    {"IUnknown", IID_IUnknown},
    {"IDispatch", IID_IDispatch},
    {"_clsVELTPlugIn", __uuidof(_clsVELTPlugIn)},
    {"IVELTModule", __uuidof(IVELTModule)},
    {"IVELTPlugin", __uuidof(IVELTPlugin)},
    {"IVELTTool", __uuidof(IVELTTool)},
    {"ISupportErrorInfo", IID_ISupportErrorInfo},
    {"IClassFactory", IID_IClassFactory},
    {"IMarshal", IID_IMarshal},
    {"IProvideClassInfo", IID_IProvideClassInfo},
    {"IConnectionPointContainer", IID_IConnectionPointContainer},
    {"IPersist", IID_IPersist},
    {"IID_NULL", IID_NULL},
    {"IVELTPluginHelper", __uuidof(IVELTPluginHelper)},
    {"a random IID", {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}},
};

enum class Kind { PlugIn, Factory, Tool, ModuleInfo };

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::PlugIn: return "plug-in";
        case Kind::Factory: return "class object";
        case Kind::Tool: return "rule editor";
        case Kind::ModuleInfo: return "module information";
    }
    return "?";
}

// The interfaces each of our objects answers.
bool Answers(Kind kind, REFIID iid) {
    switch (kind) {
        case Kind::PlugIn:
            return iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_clsVELTPlugIn) ||
                   iid == __uuidof(IVELTModule) || iid == __uuidof(IVELTPlugin) || iid == IID_ISupportErrorInfo;
        case Kind::Tool:
            return iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IVELTTool) ||
                   iid == IID_ISupportErrorInfo;
        case Kind::Factory: return iid == IID_IUnknown || iid == IID_IClassFactory;
        case Kind::ModuleInfo: return false;
    }
    return false;
}

IUnknown* IdentityOf(IUnknown* object) {
    IUnknown* identity = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || identity == nullptr) {
        Journal::Fail("an object of ours refuses IUnknown");
    }
    identity->Release();
    return identity;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

bool ClaimsErrorInfo(IUnknown* object, REFIID iid) {
    ISupportErrorInfo* supports = nullptr;
    if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports))) ||
        supports == nullptr) {
        return false;
    }
    const bool claims = supports->InterfaceSupportsErrorInfo(iid) == S_OK;
    supports->Release();
    return claims;
}

// The thread's error information as a call left it: "" when fresh words are there.
std::string ErrorInfoProblem() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return "no error information";
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    std::string problem;
    if (description == nullptr || SysStringLen(description) == 0) {
        problem = "error information without a description";
    } else if (wcscmp(description, kStale) == 0) {
        problem = "the error information of an earlier call was left in place";
    }
    SysFreeString(description);
    return problem;
}

bool IsEmpty(const EXCEPINFO& excep) {
    const EXCEPINFO zero{};
    return std::memcmp(&excep, &zero, sizeof zero) == 0;
}

void FreeExcepInfo(EXCEPINFO& excep) {
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep = EXCEPINFO{};
}

bool IsDispatchProtocolCode(HRESULT hr) {
    switch (hr) {
        case DISP_E_MEMBERNOTFOUND: case DISP_E_BADPARAMCOUNT: case DISP_E_PARAMNOTFOUND: case DISP_E_TYPEMISMATCH:
        case DISP_E_OVERFLOW: case DISP_E_BADVARTYPE: case DISP_E_NONAMEDARGS: case DISP_E_UNKNOWNINTERFACE:
        case DISP_E_UNKNOWNNAME: case DISP_E_EXCEPTION: case DISP_E_BADINDEX: case DISP_E_UNKNOWNLCID:
            return true;
        default:
            return false;
    }
}

// How the automation rules bind a call's arguments to a form member's parameters.
struct Binding {
    HRESULT fault = S_OK;  // S_OK when they bind
    int argument = -1;     // rgvarg index at fault, when there is one
    std::vector<int> bound;  // rgvarg indexes bound to parameters or the put value
};

Binding Bind(const Member& member, unsigned kind, const DISPPARAMS& params) {
    Binding binding;
    const std::size_t parameters = member.ParameterCount();
    int slots[5] = {-1, -1, -1, -1, -1};
    const UINT count = params.cArgs;
    const UINT named = params.cNamedArgs;
    for (UINT k = 0; k < named; ++k) {
        const DISPID id = params.rgdispidNamedArgs[k];
        int* slot = nullptr;
        if (id == DISPID_PROPERTYPUT && kind == kPut) {
            slot = &slots[4];
        } else if (id >= 0 && static_cast<std::size_t>(id) < parameters) {
            slot = &slots[id];
        }
        if (slot == nullptr || *slot >= 0) return {DISP_E_PARAMNOTFOUND, static_cast<int>(k), {}};
        *slot = static_cast<int>(k);
    }
    UINT positional = count - named;
    if (kind == kPut && slots[4] < 0) {
        if (positional == 0) return {DISP_E_PARAMNOTFOUND, -1, {}};
        slots[4] = static_cast<int>(named);
        --positional;
    }
    if (positional > parameters) return {DISP_E_BADPARAMCOUNT, -1, {}};
    for (UINT p = 0; p < positional; ++p) {
        if (slots[p] >= 0) return {DISP_E_PARAMNOTFOUND, slots[p], {}};
        slots[p] = static_cast<int>(count - 1 - p);
    }
    for (std::size_t p = 0; p < member.required; ++p) {
        if (slots[p] < 0) return {named == 0 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND, -1, {}};
        const VARIANT& value = params.rgvarg[slots[p]];
        if (V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND) {
            return {DISP_E_PARAMNOTFOUND, slots[p], {}};
        }
    }
    for (int slot : slots) {
        if (slot >= 0) binding.bound.push_back(slot);
    }
    return binding;
}

// What a user may type into the rule editor's text boxes ({d}: the decimal separator).
const wchar_t* const kRuleTexts[] = {L"5",  L"1",   L"512", L"0",  L"255", L"7",   L"10",  L"200", L"100", L"50",
                                     L"1{d}5", L"",  L"abc", L"513", L"-1", L"256", L"1e3", L" 9 ", L"007"};

// Answers to the poll-interval box, and the interval each gives (0: refused).
struct IntervalAnswer {
    const wchar_t* text;
    UINT interval;
};
const IntervalAnswer kIntervalAnswers[] = {
    {L"42", 42},       {L"1", 1},       {L"10000", 10000}, {L"250{d}5", 250}, {L"251{d}5", 252}, {L"0", 0},
    {L"10001", 0},     {L"abc", 0},     {L"", 0},          {L"-5", 0},        {L" 77 ", 77},     {L"1e3", 1000},
    {L"0{d}4", 0},     {L"700", 700},   {L"5", 5},
};

std::wstring WithSeparator(const wchar_t* text, wchar_t decimal) {
    std::wstring out(text);
    const std::size_t at = out.find(L"{d}");
    if (at != std::wstring::npos) out.replace(at, 3, 1, decimal);
    return out;
}

// ---- the session ----

enum class FrameKind { Call, User, Tick, Host };

enum UserKind { kNoUser, kAddClick, kSpotClick, kCheckClick, kOtherUser };

struct Frame {
    FrameKind kind = FrameKind::Call;
    std::uint64_t serial = 0;
    std::uint64_t ticket = 0;
    std::uint64_t users_at_start = 0;
    HWND editor_at_start = nullptr;
    std::vector<std::vector<std::wstring>> lists;
    LRESULT check = -1;
    unsigned effects = 0;
    UserKind user = kNoUser;
    int input_boxes = 0;
};

struct Held {
    IUnknown* pointer;  // one reference
    IID iid;
    const char* iid_name;
    Kind kind;
    IUnknown* identity;
};

struct HelperProfile {
    unsigned fail;    // percent of calls that fail
    unsigned odd;     // percent of answers of an odd kind
    unsigned meddle;  // percent of calls inside which the host does something else
};

struct ScriptedHelperEntry {
    std::unique_ptr<test::ScriptedHelper> helper;
    HelperProfile profile;
};

class Session {
public:
    explicit Session(const RunOptions& options);
    ~Session();
    Figures Run();

private:
    // frames
    class Scope;
    Frame& Top() { return *frames_.back(); }
    int depth() const { return static_cast<int>(frames_.size()); }
    bool FrameActive(std::uint64_t serial) const;
    void EndFrame(Frame& frame);
    bool UsersInside(const Frame& frame) const { return users_ != frame.users_at_start; }

    // the window as a person sees it
    HWND Editor() const { return ThreadWindowOfClass(kEditorClass); }
    HWND About() const { return ThreadWindowOfClass(kAboutClass); }
    std::vector<std::vector<std::wstring>> Lists(HWND editor) const;
    LRESULT CheckOf(HWND editor) const;
    void Sync(bool users_inside);
    void OnSetTimer(HWND editor, UINT interval);

    // steps
    void Step();
    void Reenter(int steps);
    void CreatePlugIn();
    void ClassObjectCall();
    void QueryInterfaceCall();
    void ReleaseOne();
    void ReleaseEverything();
    void ReadModuleInfo();
    void DispatchCall();
    void InvokeCall(IDispatch* target, Face face, Kind kind);
    void NamesCall(IDispatch* target, Face face);
    void TypeInfoCall(IDispatch* target);
    void VtableCall();
    void UserAction();
    void Tick();
    void Idle();
    void InitCall();
    void CanUnloadNowCall();
    void LetGo();
    void ShowTool();
    void ArmModuleInfoFault();

    // helpers of the steps
    Held* PickHeld(const std::function<bool(const Held&)>& fits);
    void Hold(IUnknown* pointer, REFIID iid, const char* iid_name, Kind kind);
    void KnowToolIds(IDispatch* tool);
    void Drop(std::size_t index);
    IVELTPlugin* AnyPlugin();  // a reference of its own, or null
    void ExpectModuleInfo(HRESULT hr, IVELTModuleInfo* info, bool out_given, std::uint64_t ticket);
    void TakeModuleInfo(IVELTModuleInfo* info);
    IDispatch* NewScriptedHelper();
    HRESULT HelperValue(const HelperProfile& profile, VARIANT& result);
    HRESULT HelperStream(const HelperProfile& profile, IDispatch* stream, VARIANT& result);
    void HelperMeddles(const HelperProfile& profile);
    void HostObjectCallsBack();
    void OnBox(const test::SeenBox& box);
    void AnswerBox(HWND box, bool input_box);
    void ArmModalBreaker(std::uint64_t serial);
    void ModalBreaker(std::uint64_t serial);
    void Record(HRESULT hr) { figures_.codes.insert(hr); }
    void Count(const char* what) { ++figures_.counts[what]; }
    void SetStale();
    void ExpectErrorInfo(HRESULT hr, IUnknown* object, REFIID iid, const std::string& call);
    void CheckObjects(const char* when);
    bool ModelInUse() const;
    void Unloaded();
    ValueSources& Sources();
    void Finish();

    RunOptions options_;
    Random random_;
    HMODULE dll_ = nullptr;
    HRESULT(STDAPICALLTYPE* get_class_object_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* can_unload_now_)() = nullptr;
    std::unique_ptr<ImportWatch> watch_;
    std::unique_ptr<standin::ModuleInfoClassOverride> module_info_class_;
    test::BoxWatcher boxes_;
    HHOOK drop_timer1_ = nullptr;
    HWND host_frame_ = nullptr;
    HWND host_pane_ = nullptr;
    wchar_t decimal_ = L'.';
    ObjectPool objects_;
    std::optional<ValueSources> sources_;
    std::vector<ScriptedHelperEntry> helpers_;
    std::vector<Held> held_;
    std::vector<std::unique_ptr<Frame>> frames_;
    std::uint64_t next_serial_ = 1;
    std::uint64_t users_ = 0;  // user actions so far
    std::map<std::uint64_t, UINT_PTR> breakers_;
    IErrorInfo* stale_ = nullptr;
    Figures figures_;

    // The model: what the DLL holds and how its window stands.
    long locks_ = 0;
    IUnknown* tool_identity_ = nullptr;
    bool tool_ids_known_ = false;
    bool helper_known_ = true;
    IUnknown* helper_identity_ = nullptr;
    std::set<IUnknown*> offered_ours_;  // objects of ours offered to Init as its helper
    std::optional<HRESULT> module_info_fault_;
    HWND editor_ = nullptr;
    bool expected_running_ = true;
    std::map<HWND, UINT> interval_;
    std::map<HWND, unsigned> timer_sets_;
    std::optional<UINT> pending_interval_;
    LONG byref_long_ = 9;
    VARIANT byref_variant_{};
    IDispatch* byref_object_ = nullptr;
    IDispatch* byref_stream_ = nullptr;
};

class Session::Scope {
public:
    Scope(Session& session, FrameKind kind, const std::string& line, unsigned effects = 0, UserKind user = kNoUser)
        : session_(session) {
        auto frame = std::make_unique<Frame>();
        frame->kind = kind;
        frame->serial = session.next_serial_++;
        frame->users_at_start = session.users_;
        frame->effects = effects;
        frame->user = user;
        frame->editor_at_start = session.Editor();
        if (frame->editor_at_start != nullptr) {
            frame->lists = session.Lists(frame->editor_at_start);
            frame->check = session.CheckOf(frame->editor_at_start);
        }
        frame->ticket = kind == FrameKind::User || kind == FrameKind::Host
                            ? (Journal::Note(session.depth(), line), 0)
                            : Journal::Call(session.depth(), line);
        if (kind == FrameKind::User) ++session.users_;
        session.frames_.push_back(std::move(frame));
    }
    ~Scope() {
        session_.EndFrame(*session_.frames_.back());
        session_.frames_.pop_back();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    Frame& frame() { return *session_.frames_.back(); }
    std::uint64_t ticket() { return frame().ticket; }

private:
    Session& session_;
};

Session::Session(const RunOptions& options) : options_(options), random_(options.seed) {
    VariantInit(&byref_variant_);
    dll_ = LoadLibraryW(L"Zorvane.dll");
    if (dll_ == nullptr) throw std::runtime_error("Zorvane.dll does not load");
    Journal::SetModule(dll_);
    get_class_object_ = reinterpret_cast<decltype(get_class_object_)>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
    can_unload_now_ =
        reinterpret_cast<decltype(can_unload_now_)>(reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
    if (get_class_object_ == nullptr || can_unload_now_ == nullptr) throw std::runtime_error("exports missing");
    watch_ = std::make_unique<ImportWatch>(dll_);
    ImportWatch::OnSetTimer([this](HWND editor, UINT interval) { OnSetTimer(editor, interval); });
    ImportWatch::OnViolation([](const std::string& what) { Journal::Fail(what); });
    module_info_class_ = std::make_unique<standin::ModuleInfoClassOverride>();
    drop_timer1_ = SetWindowsHookExW(WH_GETMESSAGE, DropTimer1, nullptr, GetCurrentThreadId());

    host_frame_ = CreateWindowExW(0, L"STATIC", L"Pult", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 500, 400, nullptr,
                                  nullptr, nullptr, nullptr);
    host_pane_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, host_frame_, nullptr,
                                 nullptr, nullptr);
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    decimal_ = separator[0];

    const std::vector<LONG> windows = {
        static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_frame_)),
        static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_pane_)),
        0,
        0x7FFFFFF0,
        static_cast<LONG>(reinterpret_cast<LONG_PTR>(GetDesktopWindow())),
    };
    objects_.Populate(random_, 12, windows, [this] { HostObjectCallsBack(); });
    objects_.PopulateValues(3);
    sources_.emplace(ValueSources{random_, objects_, {}, windows, decimal_});

    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<wchar_t*>(kStale));
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&stale_));
        create->Release();
    }
    boxes_.OnBox([this](const test::SeenBox& box) { OnBox(box); });
    figures_.counts["seed"] = options.seed;
}

Session::~Session() {
    for (const auto& [serial, id] : breakers_) CancelDeferred(id);
    if (byref_stream_ != nullptr) byref_stream_->Release();
    if (stale_ != nullptr) stale_->Release();
    if (drop_timer1_ != nullptr) UnhookWindowsHookEx(drop_timer1_);
    if (host_frame_ != nullptr) DestroyWindow(host_frame_);
}

bool Session::FrameActive(std::uint64_t serial) const {
    return std::any_of(frames_.begin(), frames_.end(), [&](const auto& frame) { return frame->serial == serial; });
}

std::vector<std::vector<std::wstring>> Session::Lists(HWND editor) const {
    std::vector<std::vector<std::wstring>> lists;
    for (int id : {ui::kList1, ui::kList2, ui::kList3}) lists.push_back(test::ListRows(GetDlgItem(editor, id)));
    return lists;
}

LRESULT Session::CheckOf(HWND editor) const { return SendMessageW(GetDlgItem(editor, ui::kCheck1), BM_GETCHECK, 0, 0); }

void Session::OnSetTimer(HWND editor, UINT interval) {
    unsigned& sets = timer_sets_[editor];
    if (sets++ == 0) {
        if (interval != kInitialInterval) {
            Journal::Fail(Format("the rule editor was loaded with Timer1 at %u ms, not %u", interval, kInitialInterval));
        }
        interval_[editor] = kInitialInterval;
        return;
    }
    if (pending_interval_ && interval == *pending_interval_) {
        interval_[editor] = interval;
        pending_interval_.reset();
        return;
    }
    if (interval != interval_[editor]) {
        Journal::Fail(Format("Timer1 was set to %u ms while its interval is %u ms and no input box gave that",
                             interval, interval_[editor]));
    }
}

void Session::Sync(bool users_inside) {
    HWND now = Editor();
    if (now != editor_) {
        if (editor_ != nullptr) {
            if (!users_inside) Journal::Fail("the rule editor window went away, and no user closed it");
            timer_sets_.erase(editor_);
            interval_.erase(editor_);
        }
        if (now != nullptr) {
            expected_running_ = true;
            if (!users_inside) {
                const auto lists = Lists(now);
                if (!lists[0].empty() || !lists[1].empty() || !lists[2].empty()) {
                    Journal::Fail("the rule editor was loaded with rules in its lists");
                }
                if (CheckOf(now) != BST_CHECKED) Journal::Fail("the rule editor was loaded with Check1 not ticked");
            }
        }
        editor_ = now;
    }
    if (now == nullptr) return;
    const auto lists = Lists(now);
    if (lists[0].size() != lists[1].size() || lists[1].size() != lists[2].size()) {
        Journal::Fail(Format("the three lists hold %zu, %zu and %zu rows", lists[0].size(), lists[1].size(),
                             lists[2].size()));
    }
    const TimerState timer = ImportWatch::TimerOf(now);
    if (timer.window == nullptr) Journal::Fail("the rule editor is loaded and Timer1 was never set");
    if (timer.running != expected_running_) {
        Journal::Fail(timer.running ? "Timer1 runs though Check1 switched clamping off"
                                    : "Timer1 stopped though nothing switched clamping off");
    }
}

void Session::EndFrame(Frame& frame) {
    const bool users = UsersInside(frame);
    if (frame.kind == FrameKind::User) {
        if (frame.user == kCheckClick) {
            HWND editor = Editor();
            if (editor != nullptr && editor == frame.editor_at_start) {
                const LRESULT state = CheckOf(editor);
                if (state == BST_CHECKED) expected_running_ = true;
                if (state == BST_UNCHECKED) expected_running_ = false;
            }
        }
        Sync(true);
        return;
    }
    if ((frame.effects & kOpensInputBox) && pending_interval_) {
        // Accepted while clamping was off: the interval waits for the timer to start.
        if (HWND editor = Editor()) interval_[editor] = *pending_interval_;
        pending_interval_.reset();
    }
    Sync(users);
    HWND editor = Editor();
    if (!users && editor != nullptr && editor == frame.editor_at_start) {
        if (Lists(editor) != frame.lists) Journal::Fail("the rules changed, and no user changed them");
        if (CheckOf(editor) != frame.check) Journal::Fail("Check1 changed, and no user clicked it");
    }
}

ValueSources& Session::Sources() {
    ValueSources& sources = *sources_;
    sources.ours.clear();
    for (const Held& held : held_) {
        if (held.iid == IID_IDispatch && (held.kind == Kind::Tool || held.kind == Kind::PlugIn)) {
            sources.ours.push_back(static_cast<IDispatch*>(static_cast<void*>(held.pointer)));
        }
    }
    if (sources.windows.size() > 5) sources.windows.resize(5);
    if (HWND editor = Editor()) sources.windows.push_back(static_cast<LONG>(reinterpret_cast<LONG_PTR>(editor)));
    return sources;
}

void Session::SetStale() { SetErrorInfo(0, stale_); }

void Session::ExpectErrorInfo(HRESULT hr, IUnknown* object, REFIID iid, const std::string& call) {
    if (SUCCEEDED(hr)) return;
    if (!ClaimsErrorInfo(object, iid)) {
        SetErrorInfo(0, nullptr);
        return;
    }
    const std::string problem = ErrorInfoProblem();
    if (!problem.empty()) Journal::Fail(call + " failed with " + Hex(hr) + ": " + problem);
}

// ---- holding our objects ----

void Session::Hold(IUnknown* pointer, REFIID iid, const char* iid_name, Kind kind) {
    Held held{pointer, iid, iid_name, kind, IdentityOf(pointer)};
    if (kind == Kind::Tool) {
        if (!tool_ids_known_) KnowToolIds(static_cast<IDispatch*>(static_cast<void*>(pointer)));
        if (tool_identity_ != nullptr && held.identity != tool_identity_) {
            Journal::Fail("a second rule editor object exists beside the first");
        }
        tool_identity_ = held.identity;
    }
    held_.push_back(held);
}

void Session::KnowToolIds(IDispatch* tool) {
    // The rule editor's own members have identifiers of its own: learnt once by name, and
    // no two alike.
    std::set<DISPID> seen;
    for (Member& member : SurfaceOf(Face::Tool).members) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(member.name)};
        if (FAILED(tool->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) || id == DISPID_UNKNOWN) {
            Journal::Fail("the rule editor does not know its member " + Printable(member.name));
        }
        if (member.id != 0 && member.id != id) Journal::Fail("the rule editor's " + Printable(member.name) + " has another identifier");
        member.id = id;
        if (!seen.insert(id).second) Journal::Fail("two members of the rule editor share an identifier");
    }
    tool_ids_known_ = true;
}

void Session::Drop(std::size_t index) {
    IUnknown* pointer = held_[index].pointer;
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(index));
    pointer->Release();
}

Held* Session::PickHeld(const std::function<bool(const Held&)>& fits) {
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (fits(held_[i])) candidates.push_back(i);
    }
    if (candidates.empty()) return nullptr;
    return &held_[candidates[random_.Below(candidates.size())]];
}

IVELTPlugin* Session::AnyPlugin() {
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::PlugIn; });
    IVELTPlugin* plugin = nullptr;
    if (held != nullptr) {
        held->pointer->QueryInterface(__uuidof(IVELTPlugin), reinterpret_cast<void**>(&plugin));
        return plugin;
    }
    IClassFactory* factory = nullptr;
    if (FAILED(get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        Journal::Fail("DllGetClassObject refuses the plug-in class");
    }
    const HRESULT hr = factory->CreateInstance(nullptr, __uuidof(IVELTPlugin), reinterpret_cast<void**>(&plugin));
    factory->Release();
    if (FAILED(hr) || plugin == nullptr) Journal::Fail("CreateInstance of IVELTPlugin failed: " + Hex(hr));
    return plugin;
}

// ---- steps ----

void Session::Step() {
    enum Action {
        kCreate, kClassObject, kQuery, kRelease, kReleaseAll, kModuleInfo, kDispatch, kVtable, kUser, kTick,
        kInit, kCanUnload, kArmFault, kUnload, kShow, kActions
    };
    static const unsigned kTopWeights[kActions] = {6, 5, 4, 5, 1, 5, 32, 12, 16, 10, 5, 2, 2, 1, 5};
    static const unsigned kNestedWeights[kActions] = {2, 2, 2, 3, 1, 2, 30, 10, 14, 6, 4, 3, 0, 1, 2};
    const bool nested = depth() > 0;
    const std::span<const unsigned> weights(nested ? kNestedWeights : kTopWeights, kActions);
    switch (static_cast<Action>(random_.Weighted(weights))) {
        case kCreate: CreatePlugIn(); break;
        case kClassObject: ClassObjectCall(); break;
        case kQuery: QueryInterfaceCall(); break;
        case kRelease: ReleaseOne(); break;
        case kReleaseAll: ReleaseEverything(); break;
        case kModuleInfo: ReadModuleInfo(); break;
        case kDispatch: DispatchCall(); break;
        case kVtable: VtableCall(); break;
        case kUser: UserAction(); break;
        case kTick: Tick(); break;
        case kInit: InitCall(); break;
        case kCanUnload: CanUnloadNowCall(); break;
        case kArmFault: ArmModuleInfoFault(); break;
        case kUnload: LetGo(); break;
        case kShow: ShowTool(); break;
        default: break;
    }
}

void Session::Reenter(int steps) {
    if (depth() >= kMaxDepth) return;
    Count("reentrant steps");
    for (int i = 0; i < steps; ++i) Step();
}

void Session::CreatePlugIn() {
    static const NamedIid kGood[] = {kIids[0], kIids[1], kIids[2], kIids[3], kIids[4], kIids[6]};
    const NamedIid& want = random_.Chance(85) ? random_.Pick(kGood) : random_.Pick(kIids);
    IUnknown* object = nullptr;
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    const unsigned way = random_.Below(10);
    if (way < 5) {
        IClassFactory* factory = nullptr;
        ticket = Journal::Call(depth(), "DllGetClassObject(clsVELTPlugIn, IClassFactory)");
        hr = get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (FAILED(hr) || factory == nullptr) Journal::Fail("DllGetClassObject refuses the plug-in class");
        ticket = Journal::Call(depth(), std::string("IClassFactory::CreateInstance(null, ") + want.name + ")");
        hr = factory->CreateInstance(nullptr, want.iid, reinterpret_cast<void**>(&object));
        factory->Release();
    } else {
        CLSID class_id{};
        if (FAILED(CLSIDFromProgID(kPlugInProgId, &class_id)) || class_id != kPlugInClassId) {
            Journal::Fail("the programmatic identifier does not name the plug-in class");
        }
        if (way < 8) {
            ticket = Journal::Call(depth(), std::string("CoCreateInstance(Zorvane.clsVELTPlugIn, ") + want.name + ")");
            hr = CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, want.iid, reinterpret_cast<void**>(&object));
        } else {
            IClassFactory* factory = nullptr;
            ticket = Journal::Call(depth(), "CoGetClassObject(Zorvane.clsVELTPlugIn)");
            hr = CoGetClassObject(class_id, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
            Record(hr);
            Journal::Result(ticket, Hex(hr));
            if (FAILED(hr) || factory == nullptr) Journal::Fail("CoGetClassObject refuses the plug-in class");
            ticket = Journal::Call(depth(), std::string("IClassFactory::CreateInstance(null, ") + want.name + ")");
            hr = factory->CreateInstance(nullptr, want.iid, reinterpret_cast<void**>(&object));
            factory->Release();
        }
    }
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    Count("creations");
    if (Answers(Kind::PlugIn, want.iid)) {
        if (hr != S_OK || object == nullptr) Journal::Fail("creating a plug-in for an interface it has failed");
        Hold(object, want.iid, want.name, Kind::PlugIn);
    } else {
        if (hr != E_NOINTERFACE) Journal::Fail("creating a plug-in for an interface it lacks did not give E_NOINTERFACE");
        if (object != nullptr) Journal::Fail("a refused creation handed out an object");
    }
}

void Session::ClassObjectCall() {
    Count("class object calls");
    // The class object: held, or asked for now, with odd identifiers now and then.
    IClassFactory* factory = nullptr;
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::Factory; });
    if (held != nullptr && random_.Chance(60)) {
        held->pointer->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    } else {
        static const NamedIid kClasses[] = {{"clsVELTPlugIn", kPlugInClassId},
                                            {"the LIBID", kLibraryId},
                                            {"_clsVELTPlugIn's IID", __uuidof(_clsVELTPlugIn)},
                                            {"CLSID_NULL", CLSID_NULL}};
        const NamedIid& class_id = random_.Chance(80) ? kClasses[0] : random_.Pick(kClasses);
        const NamedIid& iid = random_.Chance(80) ? (random_.Chance(50) ? kIids[7] : kIids[0]) : random_.Pick(kIids);
        const bool null_out = random_.Chance(5);
        void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
        const std::uint64_t ticket = Journal::Call(
            depth(), Format("DllGetClassObject(%s, %s%s)", class_id.name, iid.name, null_out ? ", null out" : ""));
        const HRESULT hr = get_class_object_(class_id.iid, iid.iid, null_out ? nullptr : &out);
        Record(hr);
        Journal::Result(ticket, Hex(hr));
        HRESULT expected = S_OK;
        if (null_out) {
            expected = E_POINTER;
        } else if (class_id.iid != kPlugInClassId) {
            expected = CLASS_E_CLASSNOTAVAILABLE;
        } else if (!Answers(Kind::Factory, iid.iid)) {
            expected = E_NOINTERFACE;
        }
        if (hr != expected) Journal::Fail("DllGetClassObject answered " + Hex(hr) + ", not " + Hex(expected));
        if (null_out) return;
        if (FAILED(hr)) {
            if (out != nullptr) Journal::Fail("a refused DllGetClassObject left its out-pointer set");
            return;
        }
        auto* object = static_cast<IUnknown*>(out);
        object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (random_.Chance(40)) {
            Hold(object, iid.iid, iid.name, Kind::Factory);
        } else {
            object->Release();
        }
    }
    if (factory == nullptr) return;

    switch (random_.Below(3)) {
        case 0: {  // LockServer, balanced or not
            const BOOL lock = random_.Chance(50);
            const std::uint64_t ticket = Journal::Call(depth(), lock ? "LockServer(TRUE)" : "LockServer(FALSE)");
            const HRESULT hr = factory->LockServer(lock);
            Record(hr);
            Journal::Result(ticket, Hex(hr));
            if (hr != S_OK) Journal::Fail("LockServer failed");
            locks_ = lock ? locks_ + 1 : std::max(0L, locks_ - 1);
            break;
        }
        default: {  // CreateInstance with an outer object, odd identifiers, no out-pointer
            const bool outer = random_.Chance(25);
            const bool null_out = random_.Chance(8);
            const NamedIid& iid = random_.Pick(kIids);
            HostObject* aggregator = outer ? &objects_.at(random_.Below(objects_.size())) : nullptr;
            const ULONG before = aggregator != nullptr ? aggregator->references() : 0;
            void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
            const std::uint64_t ticket = Journal::Call(
                depth(), Format("IClassFactory::CreateInstance(%s, %s%s)",
                                aggregator != nullptr ? aggregator->Name().c_str() : "null", iid.name,
                                null_out ? ", null out" : ""));
            const HRESULT hr = factory->CreateInstance(aggregator, iid.iid, null_out ? nullptr : &out);
            Record(hr);
            Journal::Result(ticket, Hex(hr));
            HRESULT expected = S_OK;
            if (null_out) {
                expected = E_POINTER;
            } else if (aggregator != nullptr) {
                expected = CLASS_E_NOAGGREGATION;
            } else if (!Answers(Kind::PlugIn, iid.iid)) {
                expected = E_NOINTERFACE;
            }
            if (hr != expected) Journal::Fail("CreateInstance answered " + Hex(hr) + ", not " + Hex(expected));
            if (aggregator != nullptr && aggregator->references() != before) {
                Journal::Fail("CreateInstance kept a reference to the outer object it refused");
            }
            if (null_out) break;
            if (FAILED(hr)) {
                if (out != nullptr) Journal::Fail("a refused CreateInstance left its out-pointer set");
                break;
            }
            Hold(static_cast<IUnknown*>(out), iid.iid, iid.name, Kind::PlugIn);
            break;
        }
    }
    factory->Release();
}

void Session::QueryInterfaceCall() {
    Held* held = PickHeld([](const Held& h) { return h.kind != Kind::ModuleInfo; });
    if (held == nullptr) return CreatePlugIn();
    Count("QueryInterface calls");
    const NamedIid& iid = random_.Pick(kIids);
    const bool null_out = random_.Chance(5);
    IUnknown* pointer = held->pointer;
    const Kind kind = held->kind;
    const IUnknown* identity = held->identity;
    pointer->AddRef();
    void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    const std::uint64_t ticket = Journal::Call(
        depth(), Format("%s (%s)->QueryInterface(%s%s)", KindName(kind), held->iid_name, iid.name, null_out ? ", null" : ""));
    const HRESULT hr = pointer->QueryInterface(iid.iid, null_out ? nullptr : &out);
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    const HRESULT expected = null_out ? E_POINTER : Answers(kind, iid.iid) ? S_OK : E_NOINTERFACE;
    if (hr != expected) Journal::Fail("QueryInterface answered " + Hex(hr) + ", not " + Hex(expected));
    if (!null_out && SUCCEEDED(hr)) {
        auto* object = static_cast<IUnknown*>(out);
        if (IdentityOf(object) != identity) Journal::Fail("QueryInterface handed out another object");
        if (random_.Chance(60)) {
            Hold(object, iid.iid, iid.name, kind);
        } else {
            object->Release();
        }
    } else if (!null_out && out != nullptr) {
        Journal::Fail("a refused QueryInterface left its out-pointer set");
    }
    pointer->Release();
}

void Session::ReleaseOne() {
    if (held_.empty()) return Idle();
    const std::size_t index = random_.Below(held_.size());
    Journal::Note(depth(), Format("host releases a %s (%s)", KindName(held_[index].kind), held_[index].iid_name));
    Count("releases");
    Drop(index);
}

void Session::ReleaseEverything() {
    Journal::Note(depth(), "host releases everything it holds");
    Count("releases of everything");
    while (!held_.empty()) Drop(held_.size() - 1);
}

void Session::ExpectModuleInfo(HRESULT hr, IVELTModuleInfo* info, bool out_given, std::uint64_t ticket) {
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (!out_given) {
        if (hr != E_POINTER) Journal::Fail("ModuleInfo without an out-pointer did not give E_POINTER");
        return;
    }
    const std::optional<HRESULT> fault = std::exchange(module_info_fault_, std::nullopt);
    module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
    const HRESULT expected = fault.value_or(S_OK);
    if (hr != expected) Journal::Fail("ModuleInfo answered " + Hex(hr) + ", not " + Hex(expected));
    if (FAILED(hr) && info != nullptr) Journal::Fail("a failed ModuleInfo handed out an object");
    if (SUCCEEDED(hr) && info == nullptr) Journal::Fail("ModuleInfo succeeded without an object");
}

void Session::TakeModuleInfo(IVELTModuleInfo* info) {
    Hold(info, __uuidof(IVELTModuleInfo), "IVELTModuleInfo", Kind::ModuleInfo);
    if (!random_.Chance(70)) return;
    IDispatch* tool = nullptr;
    if (FAILED(info->get_ToolWindow(&tool)) || tool == nullptr) {
        Journal::Fail("the module information carries no tool window");
    }
    Hold(tool, IID_IDispatch, "IDispatch", Kind::Tool);
}

void Session::ReadModuleInfo() {
    IVELTPlugin* plugin = AnyPlugin();
    IVELTModule* module = nullptr;
    plugin->QueryInterface(__uuidof(IVELTModule), reinterpret_cast<void**>(&module));
    plugin->Release();
    Count("ModuleInfo reads");
    const bool out_given = !random_.Chance(5);
    auto* info = reinterpret_cast<IVELTModuleInfo*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, out_given ? "IVELTModule::get_ModuleInfo(&info)" : "IVELTModule::get_ModuleInfo(null)");
        ticket = scope.ticket();
        SetStale();
        hr = module->get_ModuleInfo(out_given ? &info : nullptr);
    }
    ExpectModuleInfo(hr, out_given ? info : nullptr, out_given, ticket);
    ExpectErrorInfo(hr, module, __uuidof(IVELTModule), "ModuleInfo");
    module->Release();
    if (out_given && SUCCEEDED(hr)) TakeModuleInfo(info);
}

void Session::DispatchCall() {
    Held* held = PickHeld([](const Held& h) {
        return (h.kind == Kind::PlugIn || h.kind == Kind::Tool) && h.iid != IID_IUnknown && h.iid != IID_ISupportErrorInfo;
    });
    if (held == nullptr) {
        if (random_.Chance(50)) return ReadModuleInfo();
        return CreatePlugIn();
    }
    Face face = Face::Default;
    if (held->kind == Kind::Tool) {
        face = Face::Tool;
    } else if (held->iid == __uuidof(IVELTModule)) {
        face = Face::Module;
    } else if (held->iid == __uuidof(IVELTPlugin)) {
        face = Face::Plugin;
    }
    auto* target = static_cast<IDispatch*>(static_cast<void*>(held->pointer));
    const Kind kind = held->kind;
    // The call holds its own reference, as a host's call does.
    target->AddRef();
    const unsigned which = random_.Below(100);
    if (which < 14) {
        NamesCall(target, face);
    } else if (which < 18) {
        TypeInfoCall(target);
    } else {
        InvokeCall(target, face, kind);
    }
    target->Release();
}

void Session::NamesCall(IDispatch* target, Face face) {
    Count("GetIDsOfNames calls");
    const Surface& surface = SurfaceOf(face);
    std::vector<std::wstring> texts;
    std::vector<bool> null_name;
    const Member* member = nullptr;
    const unsigned first = random_.Below(100);
    std::wstring name;
    if (first < 60) {
        member = &surface.members[random_.Below(surface.members.size())];
        name = member->name;
        for (wchar_t& c : name) {
            if (random_.Chance(30)) c = static_cast<wchar_t>(iswupper(c) ? towlower(c) : towupper(c));
        }
    } else if (first < 75) {
        name = AnyMember(random_).name;
    } else if (first < 82) {
        static const wchar_t* const kParameterNames[] = {L"Modal", L"OwnerForm", L"Left", L"Position", L"Msg"};
        name = random_.Pick(kParameterNames);
    } else {
        static const wchar_t* const kJunk[] = {L"", L"Unload", L"Show ", L"h\u00E4nde", L"\xD800", L"PluginName2"};
        name = random_.Chance(20) ? std::wstring(300, L'N') : std::wstring(random_.Pick(kJunk));
    }
    texts.push_back(name);
    null_name.push_back(random_.Chance(3));
    const UINT extra = random_.Chance(75) ? 0 : random_.Below(4);
    for (UINT i = 0; i < extra; ++i) {
        if (member != nullptr && member->ParameterCount() > 0 && random_.Chance(70)) {
            texts.emplace_back(member->parameters[random_.Below(member->ParameterCount())]);
        } else {
            texts.emplace_back(random_.Chance(50) ? L"Nirgends" : L"modal");
        }
        null_name.push_back(random_.Chance(3));
    }
    if (null_name[0]) member = nullptr;
    std::vector<LPOLESTR> names;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        names.push_back(null_name[i] ? nullptr : const_cast<LPOLESTR>(texts[i].c_str()));
    }
    const UINT count = random_.Chance(4) ? 0 : static_cast<UINT>(names.size());
    const bool null_names = random_.Chance(3);
    const bool null_ids = random_.Chance(3);
    const bool odd_iid = random_.Chance(4);
    std::vector<DISPID> ids(names.size() + 2, static_cast<DISPID>(0x5A5A5A5A));
    std::string line = Format("%s IDispatch::GetIDsOfNames(", surface.name);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) line += ", ";
        line += null_name[i] ? std::string("null") : Format("\"%s\"", Printable(texts[i]).c_str());
    }
    line += Format(") count %u%s%s%s", count, null_names ? ", names null" : "", null_ids ? ", ids null" : "",
                   odd_iid ? ", riid not IID_NULL" : "");
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, line);
        ticket = scope.ticket();
        SetStale();
        hr = target->GetIDsOfNames(odd_iid ? IID_IDispatch : IID_NULL, null_names ? nullptr : names.data(), count,
                                   LOCALE_USER_DEFAULT, null_ids ? nullptr : ids.data());
    }
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    SetErrorInfo(0, nullptr);
    if (null_names || null_ids) {
        if (hr != E_POINTER && hr != E_INVALIDARG) {
            Journal::Fail("GetIDsOfNames without its arrays did not give E_POINTER or E_INVALIDARG");
        }
        return;
    }
    if (count == 0) {
        if (hr != E_INVALIDARG && hr != S_OK) Journal::Fail("GetIDsOfNames of no names answered " + Hex(hr));
        return;
    }
    // riid is reserved; a server may refuse what is not IID_NULL, or look past it.
    if (odd_iid && (hr == DISP_E_UNKNOWNINTERFACE || hr == E_INVALIDARG)) return;
    const Member* found = null_name[0] ? nullptr : FindMemberNamed(surface, texts[0].c_str());
    if (found == nullptr) {
        if (hr != DISP_E_UNKNOWNNAME) Journal::Fail("an unknown name did not give DISP_E_UNKNOWNNAME");
        if (ids[0] != DISPID_UNKNOWN) Journal::Fail("an unknown name did not get DISPID_UNKNOWN");
        return;
    }
    if (ids[0] != found->id) {
        Journal::Fail(Format("the name %s got identifier 0x%lX, not 0x%lX", Printable(found->name).c_str(),
                             static_cast<unsigned long>(ids[0]), static_cast<unsigned long>(found->id)));
    }
    bool all_known = true;
    for (UINT i = 1; i < count; ++i) {
        DISPID expected = DISPID_UNKNOWN;
        for (std::size_t p = 0; p < found->ParameterCount() && !null_name[i]; ++p) {
            if (_wcsicmp(found->parameters[p], texts[i].c_str()) == 0) expected = static_cast<DISPID>(p);
        }
        if (expected == DISPID_UNKNOWN) all_known = false;
        if (ids[i] != expected) {
            Journal::Fail(Format("parameter name %u got identifier 0x%lX, not 0x%lX", i, static_cast<unsigned long>(ids[i]),
                                 static_cast<unsigned long>(expected)));
        }
    }
    const HRESULT expected = all_known ? S_OK : DISP_E_UNKNOWNNAME;
    if (hr != expected) Journal::Fail("GetIDsOfNames answered " + Hex(hr) + ", not " + Hex(expected));
}

void Session::TypeInfoCall(IDispatch* target) {
    Count("type information calls");
    if (random_.Chance(40)) {
        const bool null_out = random_.Chance(20);
        UINT count = 77;
        const std::uint64_t ticket = Journal::Call(depth(), null_out ? "GetTypeInfoCount(null)" : "GetTypeInfoCount(&n)");
        const HRESULT hr = target->GetTypeInfoCount(null_out ? nullptr : &count);
        Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (null_out ? (hr != E_POINTER && hr != E_INVALIDARG) : (hr != S_OK || count != 1)) {
            Journal::Fail("GetTypeInfoCount answered " + Hex(hr));
        }
        return;
    }
    const UINT index = random_.Chance(70) ? 0 : random_.Chance(50) ? 1 : random_.Bits();
    const bool null_out = random_.Chance(15);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    const std::uint64_t ticket = Journal::Call(depth(), Format("GetTypeInfo(%u%s)", index, null_out ? ", null" : ""));
    const HRESULT hr = target->GetTypeInfo(index, LOCALE_USER_DEFAULT, null_out ? nullptr : &info);
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (null_out) {
        if (hr != E_POINTER && hr != E_INVALIDARG && hr != DISP_E_BADINDEX) Journal::Fail("GetTypeInfo(null) answered " + Hex(hr));
        return;
    }
    if (index != 0) {
        if (hr != DISP_E_BADINDEX) Journal::Fail("GetTypeInfo of a bad index answered " + Hex(hr));
        if (info != nullptr) Journal::Fail("a refused GetTypeInfo left its out-pointer set");
        return;
    }
    if (hr != S_OK || info == nullptr) Journal::Fail("GetTypeInfo(0) answered " + Hex(hr));
    info->Release();
}

void Session::InvokeCall(IDispatch* target, Face face, Kind kind) {
    Count("Invoke calls");
    Surface& surface = SurfaceOf(face);
    const Member* member = nullptr;
    DISPID id = 0;
    const unsigned which = random_.Below(100);
    if (which < 78) {
        member = &surface.members[random_.Below(surface.members.size())];
        id = member->id;
    } else if (which < 88) {
        id = AnyMember(random_).id;
        member = FindMember(surface, id);
    } else {
        static const DISPID kOdd[] = {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, DISPID_EVALUATE,
                                      0x7FFFFFFF, 12345, -1000, DISPID_PROPERTYPUT};
        id = random_.Pick(kOdd);
        member = FindMember(surface, id);
    }

    // The flags: as the member wants them, or anything.
    WORD flags = 0;
    unsigned kind_wanted = 0;
    const bool proper = member != nullptr && random_.Chance(70);
    if (proper) {
        std::vector<unsigned> kinds;
        for (unsigned k : {kMethod, kGet, kPut}) {
            if (member->kinds & k) kinds.push_back(k);
        }
        kind_wanted = kinds[random_.Below(kinds.size())];
        flags = kind_wanted == kMethod ? DISPATCH_METHOD
                : kind_wanted == kGet  ? (random_.Chance(50) ? DISPATCH_PROPERTYGET : DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                                       : (random_.Chance(90) ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF);
    } else {
        static const WORD kFlags[] = {0, 1, 2, 3, 4, 8, 12, 5, 6, 15, 0x10, 0xFFFF};
        flags = random_.Chance(90) ? random_.Pick(kFlags) : static_cast<WORD>(random_.Bits());
    }

    ArgPack pack(Sources());
    if (proper && random_.Chance(75)) {
        // Arguments a host means well with, now and then named.
        if (kind_wanted == kPut) {
            pack.AddWanted(member->put);
            if (random_.Chance(85)) pack.Name(0, DISPID_PROPERTYPUT);
        } else {
            const std::size_t parameters = member->ParameterCount();
            const std::size_t count =
                member->required + (parameters > member->required ? random_.Below(parameters - member->required + 1) : 0);
            for (std::size_t i = 0; i < count; ++i) {
                if (i >= member->required && random_.Chance(15)) {
                    pack.AddMissing();
                } else {
                    pack.AddWanted(member->wants[i]);
                }
            }
            if (count > 0 && random_.Chance(15)) {
                for (std::size_t i = 0; i < count; ++i) pack.Name(i, static_cast<DISPID>(i));
            }
        }
    } else {
        const std::size_t count = random_.Below(5);
        for (std::size_t i = 0; i < count; ++i) pack.AddAny();
        if (count > 0 && random_.Chance(15)) {
            static const DISPID kNames[] = {0, 1, 2, 3, DISPID_PROPERTYPUT, 7, -5};
            const std::size_t named = 1 + random_.Below(count);
            for (std::size_t i = 0; i < named; ++i) pack.Name(i, random_.Pick(kNames));
        }
    }
    const unsigned shape = random_.Below(100);
    if (shape < 3) {
        pack.SetShape(ParamsShape::Null);
    } else if (shape < 5) {
        pack.SetShape(ParamsShape::NullArguments);
    } else if (shape < 6) {
        pack.SetShape(ParamsShape::NullNames);
    } else if (shape < 7) {
        pack.SetShape(ParamsShape::MoreNamesThanArguments);
    }
    pack.Seal();
    for (HostObject* object : pack.host_objects()) {
        if (member != nullptr && (member->effects & kStoresHelper)) {
            object->offered_to_init = true;
            if (object->other != nullptr) object->other->offered_to_init = true;
        }
    }
    if (member != nullptr && (member->effects & kStoresHelper)) {
        for (IDispatch* ours : sources_->ours) offered_ours_.insert(IdentityOf(ours));
        helper_known_ = false;
    }

    const bool odd_iid = random_.Chance(3);
    static const LCID kLocales[] = {LOCALE_USER_DEFAULT, LOCALE_USER_DEFAULT, LOCALE_USER_DEFAULT, 0, 0x0407, 0x0409};
    const LCID lcid = random_.Pick(kLocales);
    const bool result_given = !random_.Chance(20);
    const bool excep_given = !random_.Chance(25);
    const bool arg_error_given = !random_.Chance(25);
    VARIANT result;
    std::memset(&result, 0xCC, sizeof result);  // junk: the callee must set it
    EXCEPINFO excep{};
    UINT arg_error = 0xDEADBEEF;

    const unsigned effects = member != nullptr ? member->effects : 0;
    std::string line = Format("%s Invoke(%s 0x%lX, flags 0x%X, lcid 0x%lX) %s%s%s%s%s", surface.name,
                              member != nullptr ? Printable(member->name).c_str() : "id", static_cast<unsigned long>(id),
                              flags, static_cast<unsigned long>(lcid), pack.Describe().c_str(),
                              result_given ? "" : " result null", excep_given ? "" : " excep null",
                              arg_error_given ? "" : " argerr null", odd_iid ? " riid not IID_NULL" : "");
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    int input_boxes = 0;
    {
        Scope scope(*this, FrameKind::Call, line, effects);
        ticket = scope.ticket();
        if (face == Face::Tool && (effects & kMayBeModal)) ArmModalBreaker(scope.frame().serial);
        SetStale();
        hr = target->Invoke(id, odd_iid ? IID_IDispatch : IID_NULL, lcid, flags, pack.params(),
                            result_given ? &result : nullptr, excep_given ? &excep : nullptr,
                            arg_error_given ? &arg_error : nullptr);
        input_boxes = scope.frame().input_boxes;
        const auto breaker = breakers_.find(scope.frame().serial);
        if (breaker != breakers_.end()) {
            CancelDeferred(breaker->second);
            breakers_.erase(breaker);
        }
    }
    Record(hr);
    std::string outcome = Hex(hr);
    if (result_given && SUCCEEDED(hr)) outcome += Format(" vt 0x%X", V_VT(&result));
    if (hr == DISP_E_EXCEPTION && excep_given) outcome += " scode " + Hex(excep.scode);
    Journal::Result(ticket, outcome);

    // What the automation rules allow for what was asked.
    const DISPPARAMS* params = pack.params();
    const auto fail = [&](const std::string& why) { Journal::Fail(line + ": " + why + " (answered " + Hex(hr) + ")"); };
    const unsigned kind_called = member != nullptr ? KindCalled(*member, flags) : 0;
    if (odd_iid) {
        // A member that is not there may be told first.
        const bool unknown_member = member == nullptr && hr == DISP_E_MEMBERNOTFOUND;
        if (hr != DISP_E_UNKNOWNINTERFACE && !unknown_member) fail("riid not IID_NULL must give DISP_E_UNKNOWNINTERFACE");
    } else if (pack.shape() != ParamsShape::Normal) {
        if (hr != E_INVALIDARG && hr != E_POINTER && hr != DISP_E_MEMBERNOTFOUND) {
            fail("a malformed or missing DISPPARAMS must be refused");
        }
    } else if (member == nullptr || kind_called == 0) {
        if (hr != DISP_E_MEMBERNOTFOUND) fail("a member that is not there, or not so, must give DISP_E_MEMBERNOTFOUND");
    } else if (member->by == AnsweredBy::FormTable) {
        const Binding binding = Bind(*member, kind_called, *params);
        if (FAILED(binding.fault)) {
            if (hr != binding.fault) fail("the arguments do not bind: expected " + Hex(binding.fault));
            if (arg_error_given && binding.argument >= 0 && arg_error != static_cast<UINT>(binding.argument)) {
                fail(Format("puArgErr is %u, not %d", arg_error, binding.argument));
            }
        } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) {
            if (arg_error_given &&
                std::find(binding.bound.begin(), binding.bound.end(), static_cast<int>(arg_error)) == binding.bound.end()) {
                fail(Format("puArgErr %u names no argument bound to the member", arg_error));
            }
        } else if (hr == DISP_E_EXCEPTION) {
            if (!excep_given) fail("DISP_E_EXCEPTION without an EXCEPINFO to tell of it");
        } else if (FAILED(hr)) {
            if (IsDispatchProtocolCode(hr)) fail("a dispatch code the arguments do not explain");
            if (excep_given) fail("a failure of the member not as DISP_E_EXCEPTION though an EXCEPINFO was given");
        }
    } else {
        switch (hr) {
            case S_OK: case DISP_E_MEMBERNOTFOUND: case DISP_E_BADPARAMCOUNT: case DISP_E_PARAMNOTFOUND:
            case DISP_E_TYPEMISMATCH: case DISP_E_OVERFLOW: case DISP_E_BADVARTYPE: case DISP_E_NONAMEDARGS:
            case DISP_E_EXCEPTION: case DISP_E_NOTACOLLECTION: case E_INVALIDARG: case E_OUTOFMEMORY:
                break;
            default:
                fail("not a code the automation rules allow for this call");
        }
        if (hr == DISP_E_TYPEMISMATCH && arg_error_given && params->cArgs > 0 && arg_error >= params->cArgs) {
            fail(Format("DISP_E_TYPEMISMATCH with puArgErr %u, beyond the %u arguments", arg_error, params->cArgs));
        }
    }
    if (hr == DISP_E_EXCEPTION && excep_given) {
        if (excep.pfnDeferredFillIn != nullptr) {
            const auto fill = excep.pfnDeferredFillIn;
            excep.pfnDeferredFillIn = nullptr;
            fill(&excep);
        }
        if (excep.scode == 0 && excep.wCode == 0) fail("DISP_E_EXCEPTION with neither scode nor wCode");
        if (excep.bstrDescription == nullptr || SysStringLen(excep.bstrDescription) == 0) {
            fail("DISP_E_EXCEPTION without a description");
        }
    } else if (excep_given && !IsEmpty(excep)) {
        fail("EXCEPINFO filled though the answer is not DISP_E_EXCEPTION");
    }
    if (result_given) {
        if (FAILED(hr) && V_VT(&result) != VT_EMPTY) fail(Format("result left as vt 0x%X after a failure", V_VT(&result)));
        if (SUCCEEDED(hr) && member != nullptr && kind_called != 0) {
            const VARTYPE wanted = kind_called == kPut ? VARTYPE{VT_EMPTY} : member->gives;
            if (V_VT(&result) != wanted) fail(Format("result of vt 0x%X, not 0x%X", V_VT(&result), wanted));
        }
    }
    if (kind == Kind::Tool) ExpectErrorInfo(hr, target, IID_IDispatch, line);
    SetErrorInfo(0, nullptr);
    const std::string changes = pack.Changes();
    if (!changes.empty()) fail("the arguments were changed:" + changes);
    if (SUCCEEDED(hr) && (effects & kOpensInputBox) && input_boxes == 0) fail("no input box was shown");

    // What the call gave.
    if (SUCCEEDED(hr) && result_given && member != nullptr && V_VT(&result) == member->gives) {
        if (member->gives == VT_BSTR && face != Face::Tool) {
            if (wcscmp(V_BSTR(&result) ? V_BSTR(&result) : L"", L"Zorvane") != 0) fail("PluginName is not \"Zorvane\"");
        }
        if (member->gives == VT_BOOL && face == Face::Plugin) {
            const bool expected = wcscmp(member->name, L"Disable") != 0;
            if ((V_BOOL(&result) != VARIANT_FALSE) != expected) fail("the answer is not the member's fixed answer");
        }
        if (member->gives == VT_DISPATCH && V_DISPATCH(&result) != nullptr && (effects & kGivesModuleInfo)) {
            IVELTModuleInfo* info = nullptr;
            V_DISPATCH(&result)->QueryInterface(__uuidof(IVELTModuleInfo), reinterpret_cast<void**>(&info));
            if (info != nullptr) TakeModuleInfo(info);
        }
        if (wcscmp(member->name, L"Name") == 0 && wcscmp(V_BSTR(&result) ? V_BSTR(&result) : L"", L"frmZorvane") != 0) {
            fail("Name is not \"frmZorvane\"");
        }
    }
    if (effects & kGivesModuleInfo) {
        // A ModuleInfo read through Invoke consumes an armed fault as the vtable's does.
        if (module_info_fault_ && (hr == S_OK || hr == DISP_E_EXCEPTION || (!excep_given && hr == *module_info_fault_))) {
            if (hr == S_OK) fail("ModuleInfo succeeded though the host refuses it");
            module_info_fault_.reset();
            module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
        }
    }
    if (result_given && (SUCCEEDED(hr) || V_VT(&result) == VT_EMPTY)) VariantClear(&result);
    if (excep_given) FreeExcepInfo(excep);
}

void Session::ShowTool() {
    // The host shows its tool window as hosts do: plainly, owned by its frame, or modally.
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::Tool && h.iid == IID_IDispatch; });
    if (held == nullptr) return ReadModuleInfo();
    Count("the host shows the tool window");
    auto* tool = static_cast<IDispatch*>(static_cast<void*>(held->pointer));
    tool->AddRef();
    const Member& show = *FindMemberNamed(SurfaceOf(Face::Tool), L"Show");
    ArgPack pack(Sources());
    const unsigned way = random_.Below(10);
    VARIANT modal;
    V_VT(&modal) = VT_I4;
    V_I4(&modal) = way == 9 ? 1 : 0;
    VARIANT owner;
    V_VT(&owner) = VT_I4;
    V_I4(&owner) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_frame_));
    if (way >= 6) {
        pack.AddValue(modal, Format("I4 %ld", V_I4(&modal)));
        if (random_.Chance(50)) {
            pack.AddValue(owner, "the host's frame");
        } else {
            pack.AddWanted(Want::Object);  // the host's own form object, as it is
        }
    }
    pack.Seal();
    const std::string line = Format("frmZorvane Invoke(Show) %s", pack.Describe().c_str());
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, line, show.effects);
        ticket = scope.ticket();
        ArmModalBreaker(scope.frame().serial);
        hr = tool->Invoke(show.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, pack.params(), nullptr, nullptr, nullptr);
        const auto breaker = breakers_.find(scope.frame().serial);
        if (breaker != breakers_.end()) {
            CancelDeferred(breaker->second);
            breakers_.erase(breaker);
        }
    }
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    // Shown already, a modal Show is refused as a form refuses it; an owner that is no form
    // is a mismatch of that argument, one that is nothing needs an object.
    // (an object naming a window that is not there is an invalid call).
    const bool refused_owner = (hr == DISP_E_TYPEMISMATCH || hr == static_cast<HRESULT>(0x800A01A8) ||
                                hr == static_cast<HRESULT>(0x800A0005)) &&
                               pack.count() == 2;
    if (hr != S_OK && !refused_owner && !(way == 9 && hr == static_cast<HRESULT>(0x800A0190))) {
        Journal::Fail(line + " answered " + Hex(hr));
    }
    if (pack.Changes() != "") Journal::Fail(line + ": the arguments were changed");
    SetErrorInfo(0, nullptr);
    tool->Release();
}

void Session::VtableCall() {
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::PlugIn || h.kind == Kind::Tool; });
    if (held == nullptr) return CreatePlugIn();
    Count("vtable calls");
    IUnknown* object = held->pointer;
    object->AddRef();
    const bool null_out = random_.Chance(10);
    const auto call = [&](const std::string& line, unsigned effects, REFIID iid, const std::function<HRESULT()>& body,
                          HRESULT expected) {
        HRESULT hr = S_OK;
        std::uint64_t ticket = 0;
        int boxes = 0;
        {
            Scope scope(*this, FrameKind::Call, line, effects);
            ticket = scope.ticket();
            SetStale();
            hr = body();
            boxes = scope.frame().input_boxes;
        }
        Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (hr != expected) Journal::Fail(line + " answered " + Hex(hr) + ", not " + Hex(expected));
        ExpectErrorInfo(hr, object, iid, line);
        if (SUCCEEDED(hr) && (effects & kOpensInputBox) && boxes == 0) Journal::Fail(line + " showed no input box");
        if (FAILED(hr) && (effects & kOpensInputBox) && boxes != 0) Journal::Fail(line + " showed a box and failed");
        return hr;
    };
    if (held->kind == Kind::Tool) {
        IVELTTool* tool = nullptr;
        object->QueryInterface(__uuidof(IVELTTool), reinterpret_cast<void**>(&tool));
        switch (random_.Below(6)) {
            case 0: call("IVELTTool::ClearProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->ClearProjectData(); }, S_OK); break;
            case 1: call("IVELTTool::LoadProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->LoadProjectData(); }, S_OK); break;
            case 2: call("IVELTTool::SaveProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->SaveProjectData(); }, S_OK); break;
            case 3: {
                VARIANT_BOOL answer = 0x5A5A;
                call(null_out ? "IVELTTool::AskToSaveProjectData(null)" : "IVELTTool::AskToSaveProjectData(&b)", 0,
                     __uuidof(IVELTTool), [&] { return tool->AskToSaveProjectData(null_out ? nullptr : &answer); },
                     null_out ? E_POINTER : S_OK);
                if (!null_out && answer != VARIANT_FALSE) Journal::Fail("AskToSaveProjectData is not false");
                break;
            }
            case 4: {
                const LONG mode = static_cast<LONG>(random_.Bits());
                call(Format("IVELTTool::put_ViewMode(%ld)", mode), 0, __uuidof(IVELTTool), [&] { return tool->put_ViewMode(mode); }, S_OK);
                break;
            }
            default: {
                ISupportErrorInfo* supports = nullptr;
                object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports));
                const NamedIid& iid = random_.Pick(kIids);
                const std::uint64_t ticket = Journal::Call(depth(), std::string("rule editor InterfaceSupportsErrorInfo(") + iid.name + ")");
                const HRESULT hr = supports->InterfaceSupportsErrorInfo(iid.iid);
                Record(hr);
                Journal::Result(ticket, Hex(hr));
                if (hr != S_OK && hr != S_FALSE) Journal::Fail("InterfaceSupportsErrorInfo answered " + Hex(hr));
                supports->Release();
                break;
            }
        }
        tool->Release();
        object->Release();
        return;
    }
    IVELTPlugin* plugin = nullptr;
    object->QueryInterface(__uuidof(IVELTPlugin), reinterpret_cast<void**>(&plugin));
    REFIID plugin_iid = __uuidof(IVELTPlugin);
    VARIANT_BOOL answer = 0x5A5A;
    VARIANT_BOOL* out = null_out ? nullptr : &answer;
    const char* out_text = null_out ? "null" : "&b";
    switch (random_.Below(9)) {
        case 0:
            call(Format("IVELTPlugin::Disable(%s)", out_text), 0, plugin_iid, [&] { return plugin->Disable(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_FALSE) Journal::Fail("Disable is not false");
            break;
        case 1:
            call(Format("IVELTPlugin::Enable(%s)", out_text), 0, plugin_iid, [&] { return plugin->Enable(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Enable is not true");
            break;
        case 2:
            call(Format("IVELTPlugin::Term(%s)", out_text), 0, plugin_iid, [&] { return plugin->Term(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Term is not true");
            break;
        case 3:
            call(Format("IVELTPlugin::Configure(%s)", out_text), null_out ? 0u : unsigned{kOpensInputBox}, plugin_iid,
                 [&] { return plugin->Configure(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Configure is not true");
            break;
        case 4: {
            LONG value = 0x5A5A5A5A;
            const LONG message = static_cast<LONG>(random_.Bits());
            call(Format("IVELTPlugin::MessageHandle(%ld, ...%s)", message, null_out ? ", null" : ""), 0, plugin_iid,
                 [&] { return plugin->MessageHandle(message, -1, 0x7FFFFFFF, null_out ? nullptr : &value); },
                 null_out ? E_POINTER : S_OK);
            if (!null_out && value != 0) Journal::Fail("MessageHandle is not 0");
            break;
        }
        case 5:
        case 6: {
            BSTR name = reinterpret_cast<BSTR>(static_cast<std::uintptr_t>(0xDEADBEEF));
            const bool through_default = random_.Chance(50);
            if (through_default) {
                _clsVELTPlugIn* own = nullptr;
                object->QueryInterface(__uuidof(_clsVELTPlugIn), reinterpret_cast<void**>(&own));
                call(Format("_clsVELTPlugIn::get_PluginName(%s)", out_text), 0, __uuidof(_clsVELTPlugIn),
                     [&] { return own->get_PluginName(null_out ? nullptr : &name); }, null_out ? E_POINTER : S_OK);
                own->Release();
            } else {
                call(Format("IVELTPlugin::get_PluginName(%s)", out_text), 0, plugin_iid,
                     [&] { return plugin->get_PluginName(null_out ? nullptr : &name); }, null_out ? E_POINTER : S_OK);
            }
            if (!null_out) {
                if (name == nullptr || wcscmp(name, L"Zorvane") != 0) Journal::Fail("PluginName is not \"Zorvane\"");
                SysFreeString(name);
            }
            break;
        }
        default:
            plugin->Release();
            object->Release();
            return ReadModuleInfo();
    }
    plugin->Release();
    object->Release();
}

// ---- helpers handed to Init ----

IDispatch* Session::NewScriptedHelper() {
    static const unsigned kFail[] = {0, 0, 5, 20, 60, 100};
    static const unsigned kOdd[] = {0, 10, 30, 70};
    static const unsigned kMeddle[] = {0, 5, 15, 40};
    HelperProfile profile{random_.Pick(kFail), random_.Pick(kOdd), random_.Pick(kMeddle)};
    test::HelperScript script;
    script.channel_get_value = [this, profile](LONG, VARIANT& result) { return HelperValue(profile, result); };
    script.my_stream = [this, profile](IDispatch* stream, VARIANT& result) { return HelperStream(profile, stream, result); };
    script.during_call = [this, profile](const std::wstring&) { HelperMeddles(profile); };
    script.arguments_by_value = random_.Chance(30);
    script.new_stream_each_read = random_.Chance(40);
    script.writes_through_references = random_.Chance(30);
    helpers_.push_back({std::make_unique<test::ScriptedHelper>(std::move(script)), profile});
    Journal::Note(depth(), Format("a scripted helper #%zu: %u%% failing, %u%% odd answers, %u%% meddling", helpers_.size() - 1,
                                  profile.fail, profile.odd, profile.meddle));
    return helpers_.back().helper->object();
}

HRESULT Session::HelperValue(const HelperProfile& profile, VARIANT& result) {
    static const HRESULT kFailures[] = {E_FAIL, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH,
                                        static_cast<HRESULT>(0x800A01A8), E_OUTOFMEMORY, RPC_E_DISCONNECTED};
    if (random_.Chance(profile.fail)) return random_.Pick(kFailures);
    if (!random_.Chance(profile.odd)) {
        V_VT(&result) = VT_I4;
        V_I4(&result) = static_cast<LONG>(random_.Below(256));
        return S_OK;
    }
    switch (random_.Below(16)) {
        case 0: V_VT(&result) = VT_BSTR; V_BSTR(&result) = SysAllocString(L"12"); break;
        case 1: V_VT(&result) = VT_BSTR; V_BSTR(&result) = SysAllocString(L"n/a"); break;
        case 2: break;  // VT_EMPTY
        case 3: V_VT(&result) = VT_NULL; break;
        case 4: V_VT(&result) = VT_DISPATCH; V_DISPATCH(&result) = nullptr; break;
        case 5: {
            HostObject& value = objects_.value(random_.Below(objects_.value_count()));
            value.AddRef();
            V_VT(&result) = VT_DISPATCH;
            V_DISPATCH(&result) = &value;
            break;
        }
        case 6: V_VT(&result) = VT_I4 | VT_BYREF; V_I4REF(&result) = &byref_long_; break;
        case 7: V_VT(&result) = VT_I4 | VT_BYREF; V_I4REF(&result) = nullptr; break;
        case 8:
            V_VT(&byref_variant_) = VT_I2;
            V_I2(&byref_variant_) = 300;
            V_VT(&result) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&result) = &byref_variant_;
            break;
        case 9: V_VT(&result) = VT_VARIANT | VT_BYREF; V_VARIANTREF(&result) = nullptr; break;
        case 10:
            byref_object_ = &objects_.value(random_.Below(objects_.value_count()));
            V_VT(&result) = VT_DISPATCH | VT_BYREF;
            V_DISPATCHREF(&result) = &byref_object_;
            break;
        case 11: V_VT(&result) = VT_DISPATCH | VT_BYREF; V_DISPATCHREF(&result) = nullptr; break;
        case 12: V_VT(&result) = VT_R8; V_R8(&result) = random_.Chance(50) ? 1e300 : -0.5; break;
        case 13: V_VT(&result) = VT_DATE; V_DATE(&result) = 45000.25; break;
        case 14: {
            V_VT(&result) = VT_ARRAY | VT_I4;
            V_ARRAY(&result) = SafeArrayCreateVector(VT_I4, 0, 1);
            break;
        }
        default: V_VT(&result) = VT_ERROR; V_ERROR(&result) = DISP_E_PARAMNOTFOUND; break;
    }
    return S_OK;
}

HRESULT Session::HelperStream(const HelperProfile& profile, IDispatch* stream, VARIANT& result) {
    static const HRESULT kFailures[] = {E_FAIL, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND, E_ACCESSDENIED};
    if (random_.Chance(profile.fail)) return random_.Pick(kFailures);
    if (!random_.Chance(profile.odd)) {
        stream->AddRef();
        V_VT(&result) = VT_DISPATCH;
        V_DISPATCH(&result) = stream;
        return S_OK;
    }
    switch (random_.Below(6)) {
        case 0: break;  // VT_EMPTY
        case 1: V_VT(&result) = VT_DISPATCH; V_DISPATCH(&result) = nullptr; break;
        case 2:
            stream->AddRef();
            V_VT(&result) = VT_UNKNOWN;
            V_UNKNOWN(&result) = stream;
            break;
        case 3: V_VT(&result) = VT_I4; V_I4(&result) = 5; break;
        case 4: V_VT(&result) = VT_DISPATCH | VT_BYREF; V_DISPATCHREF(&result) = nullptr; break;
        default:
            // A reference to the stream, which the host keeps alive meanwhile.
            stream->AddRef();
            if (byref_stream_ != nullptr) byref_stream_->Release();
            byref_stream_ = stream;
            V_VT(&result) = VT_DISPATCH | VT_BYREF;
            V_DISPATCHREF(&result) = &byref_stream_;
            break;
    }
    return S_OK;
}

void Session::HelperMeddles(const HelperProfile& profile) {
    if (depth() >= kMaxDepth || !random_.Chance(profile.meddle)) return;
    Count("helper calls that meddle");
    switch (random_.Below(6)) {
        case 0: {
            Scope scope(*this, FrameKind::Host, "the helper lets messages run");
            test::DispatchPending();
            break;
        }
        case 1:
            if (HWND editor = Editor()) {
                Scope scope(*this, FrameKind::Tick, "a tick inside a tick");
                test::SendTick(editor);
            }
            break;
        case 2:
            if (HWND editor = Editor()) {
                Scope scope(*this, FrameKind::User, "the user closes the rule editor during a host call", 0, kOtherUser);
                SendMessageW(editor, WM_CLOSE, 0, 0);
            }
            break;
        case 3: InitCall(); break;
        case 4: ReleaseEverything(); CanUnloadNowCall(); break;
        default: Reenter(1 + static_cast<int>(random_.Below(2))); break;
    }
}

void Session::HostObjectCallsBack() {
    if (depth() >= kMaxDepth || !random_.Chance(60)) return;
    Count("host objects calling back");
    Reenter(1);
}

void Session::InitCall() {
    IVELTPlugin* plugin = AnyPlugin();
    Count("Init calls");
    IDispatch* helper = nullptr;
    std::string name;
    const unsigned way = random_.Below(100);
    bool pointer_to_nothing = false;
    if (way < 40 || (way < 55 && helpers_.empty())) {
        helper = NewScriptedHelper();
        name = Format("scripted helper #%zu", helpers_.size() - 1);
    } else if (way < 55) {
        const std::size_t which = random_.Below(helpers_.size());
        helper = helpers_[which].helper->object();
        name = Format("scripted helper #%zu", which);
    } else if (way < 75) {
        HostObject& object = objects_.at(random_.Below(objects_.size()));
        object.offered_to_init = true;
        helper = &object;
        name = object.Name();
    } else if (way < 85) {
        name = "null";
    } else if (way < 92) {
        pointer_to_nothing = true;
        name = "a null pointer to the helper";
    } else {
        Held* ours = PickHeld([](const Held& h) { return h.iid == IID_IDispatch && h.kind != Kind::ModuleInfo; });
        if (ours != nullptr) {
            helper = static_cast<IDispatch*>(static_cast<void*>(ours->pointer));
            offered_ours_.insert(ours->identity);
            name = std::string("our own ") + KindName(ours->kind);
        } else {
            name = "null";
        }
    }
    const bool null_result = random_.Chance(5);
    static const wchar_t* const kTitles[] = {L"Orbanel", L"", nullptr, L"\xD800"};
    BSTR title = random_.Pick(kTitles) != nullptr ? SysAllocString(random_.Pick(kTitles)) : nullptr;
    BSTR file = SysAllocString(L"Zorvane.dll");
    IDispatch* slot = helper;
    if (slot != nullptr) slot->AddRef();
    VARIANT_BOOL answer = 0x5A5A;
    HRESULT hr = S_OK;
    const std::string line = Format("IVELTPlugin::Init(title, file, %s%s)", name.c_str(), null_result ? ", null result" : "");
    std::uint64_t ticket = 0;
    IUnknown* stored = helper != nullptr ? IdentityOf(helper) : nullptr;
    {
        Scope scope(*this, FrameKind::Call, line);
        ticket = scope.ticket();
        SetStale();
        hr = plugin->Init(title, file, pointer_to_nothing ? nullptr : reinterpret_cast<IVELTPluginHelper**>(&slot),
                          null_result ? nullptr : &answer);
    }
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (slot != helper) Journal::Fail("Init wrote through its helper argument");
    if (slot != nullptr) slot->Release();
    SysFreeString(title);
    SysFreeString(file);
    if (hr != (null_result ? E_POINTER : S_OK)) Journal::Fail(line + " answered " + Hex(hr));
    ExpectErrorInfo(hr, plugin, __uuidof(IVELTPlugin), line);
    if (!null_result) {
        if (answer != VARIANT_TRUE) Journal::Fail("Init is not true");
        helper_known_ = true;
        helper_identity_ = pointer_to_nothing ? nullptr : stored;
    }
    plugin->Release();
}

// ---- the user, the timer, boxes ----

void Session::UserAction() {
    HWND editor = Editor();
    HWND about = About();
    const bool usable = editor != nullptr && IsWindowVisible(editor) && IsWindowEnabled(editor);
    enum { kType, kAdd, kDelete, kPress, kCheck, kHelp, kClose, kRule, kAboutClose, kSpot, kKinds };
    unsigned weights[kKinds] = {};
    if (usable) {
        const unsigned editor_weights[] = {20, 10, 8, 10, 8, 3, 4, 25};
        for (int i = 0; i < 8; ++i) weights[i] = editor_weights[i];
    }
    if (about != nullptr && IsWindowVisible(about)) {
        weights[kAboutClose] = 4;
        weights[kSpot] = 3;
    }
    unsigned total = 0;
    for (unsigned w : weights) total += w;
    if (total == 0) return Tick();
    Count("user actions");
    const auto action = random_.Weighted(weights);
    std::optional<test::RuleEditor> controls;
    if (usable) {
        try {
            controls.emplace(editor);
        } catch (...) {
            Journal::Fail("the rule editor lacks one of its controls");
        }
    }
    switch (action) {
        case kType: {
            HWND fields[] = {controls->channel_text, controls->minimum_text, controls->maximum_text};
            const int field = static_cast<int>(random_.Below(3));
            const std::wstring text = WithSeparator(random_.Pick(kRuleTexts), decimal_);
            const bool keys = random_.Chance(20);
            Scope scope(*this, FrameKind::User, Format("user types \"%s\" into Text%d%s", Printable(text).c_str(), field + 1,
                                                       keys ? " key by key" : ""), 0, kOtherUser);
            if (keys) {
                test::TypeInto(fields[field], text);
            } else {
                test::SetText(fields[field], text);
            }
            break;
        }
        case kAdd: {
            Scope scope(*this, FrameKind::User, "user clicks \"Werte hinzuf\\u00FCgen\"", 0, kAddClick);
            test::Click(controls->add_button);
            break;
        }
        case kDelete: {
            Scope scope(*this, FrameKind::User, "user clicks \"Markierten Eintrag l\\u00F6schen\"", 0, kOtherUser);
            test::Click(controls->delete_button);
            break;
        }
        case kPress: {
            const std::size_t rows = controls->RowCount();
            if (rows == 0) break;
            HWND lists[] = {controls->channel_list, controls->minimum_list, controls->maximum_list};
            const int list = static_cast<int>(random_.Below(3));
            const int row = static_cast<int>(random_.Below(rows));
            const bool right = random_.Chance(20);
            Scope scope(*this, FrameKind::User, Format("user presses on row %d of List%d%s", row, list + 1, right ? " (right)" : ""),
                        0, kOtherUser);
            test::PressOnRow(lists[list], row, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN);
            break;
        }
        case kCheck: {
            Scope scope(*this, FrameKind::User, "user clicks \"Plugin aktiviert\"", 0, kCheckClick);
            test::Click(controls->enabled_check);
            break;
        }
        case kHelp: {
            Scope scope(*this, FrameKind::User, "user clicks \"Hilfe\"", 0, kOtherUser);
            test::Click(controls->help_button);
            break;
        }
        case kClose: {
            Scope scope(*this, FrameKind::User, "user closes the rule editor", 0, kOtherUser);
            SendMessageW(editor, WM_CLOSE, 0, 0);
            break;
        }
        case kRule: {
            // A whole rule, mostly a good one: channel, minimum, maximum, then the button.
            static const wchar_t* const kChannels[] = {L"1", L"5", L"7", L"512", L"9", L"300"};
            static const wchar_t* const kBounds[] = {L"0", L"10", L"100", L"200", L"255", L"50"};
            std::wstring texts[] = {random_.Pick(kChannels), random_.Pick(kBounds), random_.Pick(kBounds)};
            if (std::stoi(texts[2]) < std::stoi(texts[1])) std::swap(texts[1], texts[2]);
            if (random_.Chance(15)) texts[random_.Below(3)] = WithSeparator(random_.Pick(kRuleTexts), decimal_);
            Scope scope(*this, FrameKind::User,
                        Format("user adds the rule \"%s\" \"%s\" \"%s\"", Printable(texts[0]).c_str(),
                               Printable(texts[1]).c_str(), Printable(texts[2]).c_str()),
                        0, kAddClick);
            controls->Type(texts[0], texts[1], texts[2], test::Typing::SetText);
            test::Click(controls->add_button);
            break;
        }
        case kAboutClose: {
            const bool ok = random_.Chance(50);
            Scope scope(*this, FrameKind::User, ok ? "user clicks OK in the about window" : "user closes the about window", 0,
                        kOtherUser);
            if (ok) {
                test::Click(GetDlgItem(about, IDOK));
            } else {
                SendMessageW(about, WM_CLOSE, 0, 0);
            }
            break;
        }
        default: {
            Scope scope(*this, FrameKind::User, "user clicks the about window's spot", 0, kSpotClick);
            HWND spot = GetDlgItem(about, ui::kAboutLabel1);
            SendMessageW(spot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(spot, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            break;
        }
    }
}

void Session::Tick() {
    HWND editor = Editor();
    if (editor == nullptr || !ImportWatch::TimerOf(editor).running) return Idle();
    Count("ticks");
    Scope scope(*this, FrameKind::Tick, "Timer1 ticks");
    test::SendTick(editor);
}

void Session::Idle() {
    Scope scope(*this, FrameKind::Host, "the host's loop runs");
    test::DispatchPending();
}

void Session::OnBox(const test::SeenBox& box) {
    const Frame* top = frames_.empty() ? nullptr : frames_.back().get();
    const bool input_box = box.title == kInputBoxTitle;
    Journal::Note(depth(), Format("a box: \"%s\" \"%s\"", Printable(box.title).c_str(), Printable(box.text, 60).c_str()));
    bool allowed = false;
    if (top != nullptr) {
        if (input_box) {
            allowed = (top->effects & kOpensInputBox) != 0;
            if (allowed) ++frames_.back()->input_boxes;
            Count("input boxes");
        } else if (box.title == L"Fehler") {
            allowed = (top->effects & kOpensInputBox) != 0 && top->input_boxes > 0;
            Count("message boxes");
        } else if (box.title == L"Fehler!") {
            allowed = top->kind == FrameKind::User && top->user == kAddClick;
            Count("message boxes");
        } else if (box.title == L"Die Wei\u00DFhaarige...") {
            allowed = top->kind == FrameKind::User && top->user == kSpotClick;
            Count("message boxes");
        }
    }
    if (!allowed) {
        Journal::Fail(Format("a box \"%s\" (\"%s\") came up where none may", Printable(box.title).c_str(),
                             Printable(box.text, 80).c_str()));
    }
    boxes_.Then([this, input_box](HWND window) {
        Defer([this, window, input_box] { AnswerBox(window, input_box); });
    });
}

void Session::AnswerBox(HWND box, bool input_box) {
    if (!IsWindow(box)) return;
    if (depth() < kMaxDepth && random_.Chance(30)) {
        Journal::Note(depth(), "the host calls while a box is up");
        Count("calls while a box is up");
        Reenter(1 + static_cast<int>(random_.Below(2)));
    }
    if (!IsWindow(box)) return;
    if (!input_box) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
    }
    if (random_.Chance(15)) {
        Journal::Note(depth(), "the user cancels the input box");
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    const IntervalAnswer& answer = random_.Pick(kIntervalAnswers);
    const std::wstring text = WithSeparator(answer.text, decimal_);
    Journal::Note(depth(), Format("the user answers the input box with \"%s\"", Printable(text).c_str()));
    HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    if (edit == nullptr) Journal::Fail("the input box has no edit");
    test::SetText(edit, text);
    if (answer.interval != 0) pending_interval_ = answer.interval;
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

void Session::ArmModalBreaker(std::uint64_t serial) {
    breakers_[serial] = Defer([this, serial] { ModalBreaker(serial); });
}

void Session::ModalBreaker(std::uint64_t serial) {
    breakers_.erase(serial);
    if (!FrameActive(serial)) return;
    HWND editor = Editor();
    if (editor != nullptr && IsWindowVisible(editor)) {
        Count("modal shows ended");
        if (depth() < kMaxDepth && random_.Chance(40)) {
            Journal::Note(depth(), "the host calls while the rule editor is shown modally");
            Reenter(1 + static_cast<int>(random_.Below(2)));
        }
        editor = Editor();
        if (editor != nullptr && IsWindowVisible(editor)) {
            switch (random_.Below(3)) {
                case 0: {
                    Scope scope(*this, FrameKind::User, "the user closes the modal rule editor", 0, kOtherUser);
                    SendMessageW(editor, WM_CLOSE, 0, 0);
                    break;
                }
                case 1: {
                    Scope scope(*this, FrameKind::Host, "the host hides the modal rule editor");
                    ShowWindow(editor, SW_HIDE);
                    break;
                }
                default: {
                    Held* tool = PickHeld([](const Held& h) { return h.kind == Kind::Tool && h.iid == IID_IDispatch; });
                    Scope scope(*this, FrameKind::Call, "the host calls Hide on the modal rule editor");
                    if (tool != nullptr) {
                        auto* dispatch = static_cast<IDispatch*>(static_cast<void*>(tool->pointer));
                        DISPID id = DISPID_UNKNOWN;
                        LPOLESTR names[] = {const_cast<LPOLESTR>(L"Hide")};
                        dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
                        DISPPARAMS none{nullptr, nullptr, 0, 0};
                        const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                            nullptr, nullptr, nullptr);
                        Record(hr);
                        if (hr != S_OK) Journal::Fail("Hide failed: " + Hex(hr));
                    } else {
                        ShowWindow(editor, SW_HIDE);
                    }
                    break;
                }
            }
        }
    }
    if (FrameActive(serial)) ArmModalBreaker(serial);
}

// ---- the module's lifetime ----

bool Session::ModelInUse() const {
    // Frames below this call: code of ours is running, or a call of ours holds an object.
    return depth() > 0 || !held_.empty() || locks_ > 0 || Editor() != nullptr || About() != nullptr;
}

void Session::CanUnloadNowCall() {
    Count("DllCanUnloadNow calls");
    const bool in_use = ModelInUse();
    // A helper of ours (a plug-in or the rule editor offered to Init) keeps the module too.
    const bool maybe_held_by_helper = !helper_known_ || offered_ours_.count(helper_identity_) != 0;
    const std::uint64_t ticket = Journal::Call(depth(), "DllCanUnloadNow()");
    const HRESULT hr = can_unload_now_();
    Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (hr != S_OK && hr != S_FALSE) Journal::Fail("DllCanUnloadNow answered " + Hex(hr));
    if (hr == S_OK && in_use) Journal::Fail("DllCanUnloadNow answered S_OK while something of the DLL is in use");
    if (hr == S_FALSE && !in_use && !maybe_held_by_helper) {
        Journal::Fail("DllCanUnloadNow answered S_FALSE though nothing of the DLL is in use");
    }
    if (hr == S_OK) Unloaded();
}

void Session::LetGo() {
    // The host closes the windows, lets go of everything and asks whether the module may go.
    Count("host lets go of everything");
    if (HWND about = About()) {
        Scope scope(*this, FrameKind::User, "user closes the about window", 0, kOtherUser);
        SendMessageW(about, WM_CLOSE, 0, 0);
    }
    if (HWND editor = Editor()) {
        Scope scope(*this, FrameKind::User, "user closes the rule editor", 0, kOtherUser);
        SendMessageW(editor, WM_CLOSE, 0, 0);
    }
    ReleaseEverything();
    if (locks_ > 0 && random_.Chance(70)) {
        IClassFactory* factory = nullptr;
        get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        Journal::Note(depth(), "the host unlocks the class object");
        while (locks_ > 0) {
            factory->LockServer(FALSE);
            --locks_;
        }
        factory->Release();
    }
    CanUnloadNowCall();
}

void Session::Unloaded() {
    Count("unloadable");
    helper_known_ = true;
    helper_identity_ = nullptr;
    tool_identity_ = nullptr;
    offered_ours_.clear();
    editor_ = nullptr;
    pending_interval_.reset();
    // The helper and the channel value are let go of now.
    const std::string surplus = objects_.Surpluses([](const HostObject&, long surplus) { return surplus == 0; });
    if (!surplus.empty()) Journal::Fail("the module let go of its state and still holds host objects:" + surplus);
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
        if (RefCount(helpers_[i].helper->object()) != 1) {
            Journal::Fail(Format("the module let go of its state and still holds scripted helper #%zu", i));
        }
    }
}

void Session::ArmModuleInfoFault() {
    const unsigned call = random_.Below(17);
    const HRESULT code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0300 + call);
    Journal::Note(depth(), call == 0 ? "the host's module-information class will refuse its next creation"
                                     : Format("the host's next module information will refuse call %u", call));
    // One fault armed at a time.
    module_info_class_->factory().FailNextCreate(S_OK);
    module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
    if (call == 0) {
        module_info_class_->factory().FailNextCreate(code, random_.Chance(50));
    } else {
        module_info_class_->factory().FailCallOfNewObjects(call, code, random_.Chance(70));
    }
    module_info_fault_ = code;
}

void Session::CheckObjects(const char* when) {
    // Our objects: each counts exactly the references the host holds (the rule editor also
    // its own and one for each module information that carries it), one more when it may
    // be the stored helper.
    std::map<IUnknown*, std::pair<Kind, long>> ours;
    std::map<IUnknown*, IUnknown*> pointer_of;
    for (const Held& held : held_) {
        auto& entry = ours[held.identity];
        entry.first = held.kind;
        ++entry.second;
        pointer_of[held.identity] = held.pointer;
    }
    const auto& records = module_info_class_->factory().created();
    long alive_infos = 0;
    for (const auto& record : records) alive_infos += record->alive ? 1 : 0;
    long held_infos = 0;
    for (const auto& [identity, entry] : ours) {
        long expected = entry.second;
        if (entry.first == Kind::ModuleInfo) ++held_infos;
        if (entry.first == Kind::Tool) {
            ++expected;  // the component's own
            for (const auto& record : records) {
                if (record->alive && record->values.tool_window != nullptr) ++expected;
            }
        }
        const long actual = static_cast<long>(RefCount(pointer_of[identity]));
        const bool may_be_helper = offered_ours_.count(identity) != 0 && (!helper_known_ || helper_identity_ == identity);
        if (actual != expected && !(may_be_helper && actual == expected + 1)) {
            Journal::Fail(Format("%s: the %s has %ld references, the host accounts for %ld", when, KindName(entry.first), actual,
                                 expected));
        }
    }
    if (alive_infos != held_infos) {
        Journal::Fail(Format("%s: %ld module-information objects live, the host holds %ld", when, alive_infos, held_infos));
    }

    // The host's objects: what the DLL holds of them is the stored helper and the last
    // channel value read, nothing else.
    int helpers_held = 0;
    std::string wrong;
    long values_held = 0;
    const auto is_value = [&](const HostObject& object) { return object.number() >= 100; };
    wrong += objects_.Surpluses([&](const HostObject& object, long surplus) {
        if (is_value(object)) {
            values_held += surplus;
            return surplus == 0 || surplus == 1;
        }
        if (surplus == 0) return true;
        if (surplus != 1 || !object.offered_to_init) return false;
        ++helpers_held;
        if (helper_known_ && helper_identity_ != static_cast<const IUnknown*>(static_cast<const IDispatch*>(&object))) return false;
        return true;
    });
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
        IDispatch* object = helpers_[i].helper->object();
        const long surplus = static_cast<long>(RefCount(object)) - 1;
        if (surplus == 0) continue;
        if (surplus == 1 && (!helper_known_ || helper_identity_ == object)) {
            ++helpers_held;
            continue;
        }
        wrong += Format(" scripted helper #%zu holds %+ld;", i, surplus);
    }
    if (helper_known_ && helper_identity_ != nullptr && helpers_held == 0 && offered_ours_.count(helper_identity_) == 0) {
        wrong += " the helper stored by the last Init is not held;";
    }
    if (helpers_held > 1) wrong += Format(" %d helpers are held at once;", helpers_held);
    if (values_held > 1) wrong += Format(" %ld channel values are held at once;", values_held);
    if (!wrong.empty()) Journal::Fail(std::string(when) + ": references of host objects:" + wrong);
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
        if (helpers_[i].helper->depth() != 0) Journal::Fail("a scripted helper call is still in progress");
    }
}

// ---- the run ----

Figures Session::Run() {
    const ULONGLONG start = GetTickCount64();
    std::uint64_t step = 0;
    for (;; ++step) {
        if (options_.steps != 0 && step >= options_.steps) break;
        if (options_.seconds > 0 && static_cast<double>(GetTickCount64() - start) / 1000.0 >= options_.seconds) break;
        Journal::Step(step);
        if (options_.verbose) Journal::Note(0, Format("-- step %llu", static_cast<unsigned long long>(step)));
        Step();
        // Whatever the step left in the queue runs as the host's loop would run it.
        test::DispatchPending();
        Sync(true);
        CheckObjects("after the step");
        if (!IsWindowEnabled(host_frame_)) Journal::Fail("the host's window was left disabled");
    }
    figures_.steps = step;
    Finish();
    figures_.calls = Journal::calls();
    return figures_;
}

void Session::Finish() {
    Journal::Step(figures_.steps);
    Journal::Note(0, "-- the host shuts down");
    if (HWND about = About()) SendMessageW(about, WM_CLOSE, 0, 0);
    if (HWND editor = Editor()) {
        ++users_;
        SendMessageW(editor, WM_CLOSE, 0, 0);
    }
    test::DispatchPending();
    ReleaseEverything();
    // An empty Init breaks a helper of ours (a plug-in or the rule editor as helper).
    IVELTPlugin* plugin = AnyPlugin();
    IVELTPluginHelper* none = nullptr;
    VARIANT_BOOL answer = VARIANT_FALSE;
    if (FAILED(plugin->Init(nullptr, nullptr, &none, &answer))) Journal::Fail("the last Init failed");
    plugin->Release();
    helper_known_ = true;
    helper_identity_ = nullptr;
    IClassFactory* factory = nullptr;
    get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    for (long i = 0; i < locks_; ++i) factory->LockServer(FALSE);
    factory->Release();
    locks_ = 0;
    CheckObjects("at the end");
    const HRESULT hr = can_unload_now_();
    Record(hr);
    if (hr != S_OK) Journal::Fail("DllCanUnloadNow is not S_OK once the host let go of everything");
    Unloaded();
}

}  // namespace

Figures RunSeed(const RunOptions& options) {
    Session session(options);
    return session.Run();
}

}  // namespace zorvane::fuzz
