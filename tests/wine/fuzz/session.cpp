#include "tests/wine/fuzz/session.h"

#include <objbase.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "plugin/plugin_identity.h"
#include "tests/support/pump.h"
#include "tests/wine/fuzz/deferred.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {

Session::Scope::Scope(Session& session, FrameKind kind, const std::string& line, unsigned effects, UserKind user)
    : session_(session) {
    auto frame = std::make_unique<Frame>();
    frame->kind = kind;
    frame->serial = session.next_serial_++;
    frame->users_at_start = session.users_;
    frame->effects = effects;
    frame->user = user;
    frame->editor_at_start = EditorWindow();
    if (frame->editor_at_start != nullptr) {
        frame->lists = ListsOf(frame->editor_at_start);
        frame->check = CheckOf(frame->editor_at_start);
    }
    frame->ticket = kind == FrameKind::User || kind == FrameKind::Host ? (Journal::Note(session.depth(), line), 0)
                                                                       : Journal::Call(session.depth(), line);
    if (kind == FrameKind::User) ++session.users_;
    session.frames_.push_back(std::move(frame));
}

Session::Scope::~Scope() {
    session_.EndFrame(*session_.frames_.back());
    session_.frames_.pop_back();
}

Session::Session(const RunOptions& options) : options_(options), random_(options.seed) {
    dll_ = LoadLibraryW(L"Zorvane.dll");
    if (dll_ == nullptr) throw std::runtime_error("Zorvane.dll does not load");
    Journal::SetModule(dll_);
    get_class_object_ = reinterpret_cast<decltype(get_class_object_)>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
    can_unload_now_ =
        reinterpret_cast<decltype(can_unload_now_)>(reinterpret_cast<void*>(GetProcAddress(dll_, "DllCanUnloadNow")));
    if (get_class_object_ == nullptr || can_unload_now_ == nullptr) throw std::runtime_error("exports missing");
    watch_ = std::make_unique<ImportWatch>(dll_);
    ImportWatch::OnSetTimer([this](HWND editor, UINT interval) { window_.OnSetTimer(editor, interval); });
    ImportWatch::OnViolation([](const std::string& what) { Journal::Fail(what); });
    module_info_class_ = std::make_unique<standin::ModuleInfoClassOverride>();

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
    objects_.Populate(random_, 12, windows, [this] {
        if (depth() >= kMaxDepth || !random_.Chance(60)) return;
        tally_.Count("host objects calling back");
        Reenter(1);
    });
    objects_.PopulateValues(3);
    sources_.emplace(ValueSources{random_, objects_, {}, windows, decimal_});
    helpers_ = std::make_unique<ScriptedHost>(random_, objects_, [this] { Meddle(); });
    lifetime_ = std::make_unique<LifetimeModel>(objects_, *helpers_, module_info_class_->factory());

    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<wchar_t*>(kStaleDescription));
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&stale_));
        create->Release();
    }
    boxes_.OnBox([this](const test::SeenBox& box) { OnBox(box); });
    tally_.figures().counts["seed"] = options.seed;
}

Session::~Session() {
    for (const auto& [serial, id] : breakers_) CancelDeferred(id);
    if (stale_ != nullptr) stale_->Release();
    if (host_frame_ != nullptr) DestroyWindow(host_frame_);
}

bool Session::FrameActive(std::uint64_t serial) const {
    return std::any_of(frames_.begin(), frames_.end(), [&](const auto& frame) { return frame->serial == serial; });
}

void Session::EndFrame(Frame& frame) {
    const bool users = users_ != frame.users_at_start;
    if (frame.kind == FrameKind::User) {
        if (frame.user == kCheckClick) window_.CheckClicked(frame.editor_at_start);
        window_.Sync(true);
        return;
    }
    if (frame.effects & kOpensInputBox) window_.InputBoxCallEnded();
    window_.Sync(users);
    HWND editor = EditorWindow();
    if (!users && editor != nullptr && editor == frame.editor_at_start) {
        if (ListsOf(editor) != frame.lists) Journal::Fail("the rules changed, and no user changed them");
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
    if (HWND editor = EditorWindow()) sources.windows.push_back(static_cast<LONG>(reinterpret_cast<LONG_PTR>(editor)));
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

void Session::Hold(IUnknown* pointer, REFIID iid, const char* iid_name, Kind kind) {
    Held held{pointer, iid, iid_name, kind, IdentityOf(pointer)};
    if (kind == Kind::Tool) {
        if (!tool_ids_known_) KnowToolIds(static_cast<IDispatch*>(static_cast<void*>(pointer)));
        lifetime_->SawTool(held.identity, held_);
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

void Session::Unloaded() {
    tally_.Count("unloadable");
    window_.Forget();
    lifetime_->Unloaded();
}

void Session::CheckAfterStep() {
    window_.Sync(true);
    lifetime_->CheckObjects("after the step", held_);
    if (!IsWindowEnabled(host_frame_)) Journal::Fail("the host's window was left disabled");
}

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
        CheckAfterStep();
    }
    tally_.figures().steps = step;
    Finish();
    tally_.figures().calls = Journal::calls();
    return tally_.figures();
}

void Session::Finish() {
    Journal::Step(tally_.figures().steps);
    Journal::Note(0, "-- the host shuts down");
    if (HWND about = AboutWindow()) SendMessageW(about, WM_CLOSE, 0, 0);
    if (HWND editor = EditorWindow()) {
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
    lifetime_->HelperStored(nullptr);
    IClassFactory* factory = nullptr;
    get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    for (long i = 0; i < lifetime_->locks(); ++i) factory->LockServer(FALSE);
    factory->Release();
    lifetime_->Unlocked();
    lifetime_->CheckObjects("at the end", held_);
    const HRESULT hr = can_unload_now_();
    tally_.Record(hr);
    if (hr != S_OK) Journal::Fail("DllCanUnloadNow is not S_OK once the host let go of everything");
    Unloaded();
}

Figures RunSeed(const RunOptions& options) {
    Session session(options);
    return session.Run();
}

}  // namespace zorvane::fuzz
