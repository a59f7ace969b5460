#pragma once
// The run of one seed, shared by the files of its parts: the step generator
// (steps.cpp), the calls it makes (object_calls.cpp, dispatch_calls.cpp, invoke_call.cpp,
// vtable_calls.cpp), the user (user_actions.cpp) and the boxes (boxes.cpp). What the DLL
// must show is modelled apart (lifetime_model, window_model, invoke_rules), and so are the
// host's scripted objects (scripted_host, host_objects, counting_objects) and the figures.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "host/standin/module_info.h"
#include "tests/support/box_watcher.h"
#include "tests/wine/fuzz/host_objects.h"
#include "tests/wine/fuzz/import_watch.h"
#include "tests/wine/fuzz/lifetime_model.h"
#include "tests/wine/fuzz/our_objects.h"
#include "tests/wine/fuzz/random.h"
#include "tests/wine/fuzz/scripted_host.h"
#include "tests/wine/fuzz/session.h"
#include "tests/wine/fuzz/surface.h"
#include "tests/wine/fuzz/values.h"
#include "tests/wine/fuzz/window_model.h"

namespace zorvane::fuzz {

inline constexpr int kMaxDepth = 3;

// What is running now, innermost last: a call of ours, a user action, a tick, the host.
enum class FrameKind { Call, User, Tick, Host };
enum UserKind { kNoUser, kAddClick, kSpotClick, kCheckClick, kOtherUser };

struct Frame {
    FrameKind kind = FrameKind::Call;
    std::uint64_t serial = 0;
    std::uint64_t ticket = 0;
    std::uint64_t users_at_start = 0;
    HWND editor_at_start = nullptr;
    Lists lists;
    LRESULT check = -1;
    unsigned effects = 0;
    UserKind user = kNoUser;
    int input_boxes = 0;
};

// The figures of a run, kept apart from its checks.
class Tally {
public:
    void Record(HRESULT hr) { figures_.codes.insert(hr); }
    void Count(const char* what) { ++figures_.counts[what]; }
    Figures& figures() noexcept { return figures_; }

private:
    Figures figures_;
};

class Session {
public:
    explicit Session(const RunOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    Figures Run();

private:
    // frames (session.cpp)
    class Scope;
    int depth() const { return static_cast<int>(frames_.size()); }
    bool FrameActive(std::uint64_t serial) const;
    void EndFrame(Frame& frame);

    // the step generator (steps.cpp)
    void Step();
    void Reenter(int steps);
    void Meddle();

    // calls on our objects (object_calls.cpp)
    void CreatePlugIn();
    void ClassObjectCall();
    void QueryInterfaceCall();
    void ReleaseOne();
    void ReleaseEverything();
    void ReadModuleInfo();
    void ExpectModuleInfo(HRESULT hr, IVELTModuleInfo* info, bool out_given, std::uint64_t ticket);
    void TakeModuleInfo(IVELTModuleInfo* info);
    void InitCall();
    void CanUnloadNowCall();
    void LetGo();
    void ArmModuleInfoFault();
    // IDispatch (dispatch_calls.cpp, invoke_call.cpp)
    void DispatchCall();
    void NamesCall(IDispatch* target, Face face);
    void TypeInfoCall(IDispatch* target);
    void InvokeCall(IDispatch* target, Face face, Kind kind);
    void ShowTool();
    // the vtables (vtable_calls.cpp)
    void VtableCall();
    // the user and the timer (user_actions.cpp)
    void UserAction();
    void Tick();
    void Idle();
    // boxes and modal shows (boxes.cpp)
    void OnBox(const test::SeenBox& box);
    void AnswerBox(HWND box, bool input_box);
    void ArmModalBreaker(std::uint64_t serial);
    void EndModalBreaker(std::uint64_t serial);
    void ModalBreaker(std::uint64_t serial);

    // holding our objects (session.cpp)
    Held* PickHeld(const std::function<bool(const Held&)>& fits);
    void Hold(IUnknown* pointer, REFIID iid, const char* iid_name, Kind kind);
    void KnowToolIds(IDispatch* tool);
    void Drop(std::size_t index);
    IVELTPlugin* AnyPlugin();  // a reference of its own, or null
    ValueSources& Sources();
    void SetStale();
    void ExpectErrorInfo(HRESULT hr, IUnknown* object, REFIID iid, const std::string& call);
    void CheckAfterStep();
    void Unloaded();
    void Finish();

    RunOptions options_;
    Random random_;
    Tally tally_;
    HMODULE dll_ = nullptr;
    HRESULT(STDAPICALLTYPE* get_class_object_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* can_unload_now_)() = nullptr;
    std::unique_ptr<ImportWatch> watch_;
    std::unique_ptr<standin::ModuleInfoClassOverride> module_info_class_;
    test::BoxWatcher boxes_;
    EditorTicksDropped ticks_dropped_;
    HWND host_frame_ = nullptr;
    HWND host_pane_ = nullptr;
    wchar_t decimal_ = L'.';
    ObjectPool objects_;
    std::optional<ValueSources> sources_;
    std::unique_ptr<ScriptedHost> helpers_;
    std::unique_ptr<LifetimeModel> lifetime_;
    WindowModel window_;
    std::vector<Held> held_;
    std::vector<std::unique_ptr<Frame>> frames_;
    std::uint64_t next_serial_ = 1;
    std::uint64_t users_ = 0;  // user actions so far
    std::map<std::uint64_t, UINT_PTR> breakers_;
    IErrorInfo* stale_ = nullptr;
    bool tool_ids_known_ = false;
};

// A frame for as long as it lives: pushed with what the window looked like, checked
// against the models when popped.
class Session::Scope {
public:
    Scope(Session& session, FrameKind kind, const std::string& line, unsigned effects = 0, UserKind user = kNoUser);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    Frame& frame() { return *session_.frames_.back(); }
    std::uint64_t ticket() { return frame().ticket; }

private:
    Session& session_;
};

}  // namespace zorvane::fuzz
