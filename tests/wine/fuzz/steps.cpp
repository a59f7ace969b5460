// The step generator: one weighted table of what a host may do next, with the weights of
// a step taken at the top and of one taken inside a call of ours (a box, a modal show, a
// helper or host object calling back).
#include <array>
#include <iterator>

#include "tests/support/pump.h"
#include "tests/support/ticks.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {
namespace {

struct Action {
    const char* name;
    unsigned top;     // weight at the top
    unsigned nested;  // weight inside a call of ours
    void (Session::*run)();
};

}  // namespace

void Session::Step() {
    static const Action kActions[] = {
        {"create a plug-in", 6, 2, &Session::CreatePlugIn},
        {"call the class object", 5, 2, &Session::ClassObjectCall},
        {"QueryInterface", 4, 2, &Session::QueryInterfaceCall},
        {"release one", 5, 3, &Session::ReleaseOne},
        {"release everything", 1, 1, &Session::ReleaseEverything},
        {"read ModuleInfo", 5, 2, &Session::ReadModuleInfo},
        {"IDispatch", 32, 30, &Session::DispatchCall},
        {"a vtable", 12, 10, &Session::VtableCall},
        {"the user", 16, 14, &Session::UserAction},
        {"a tick", 10, 6, &Session::Tick},
        {"Init", 5, 4, &Session::InitCall},
        {"DllCanUnloadNow", 2, 3, &Session::CanUnloadNowCall},
        {"arm a module-information fault", 2, 0, &Session::ArmModuleInfoFault},
        {"let go of everything", 1, 1, &Session::LetGo},
        {"show the tool window", 5, 2, &Session::ShowTool},
    };
    constexpr std::size_t kCount = std::size(kActions);
    static const auto weights = [] {
        std::array<std::array<unsigned, kCount>, 2> all{};
        for (std::size_t i = 0; i < kCount; ++i) {
            all[0][i] = kActions[i].top;
            all[1][i] = kActions[i].nested;
        }
        return all;
    }();
    const Action& action = kActions[random_.Weighted(weights[depth() > 0 ? 1 : 0])];
    (this->*action.run)();
}

void Session::Reenter(int steps) {
    if (depth() >= kMaxDepth) return;
    tally_.Count("reentrant steps");
    for (int i = 0; i < steps; ++i) Step();
}

void Session::Meddle() {
    // What the host does inside a call of its helper.
    if (depth() >= kMaxDepth) return;
    tally_.Count("helper calls that meddle");
    switch (random_.Below(6)) {
        case 0: {
            Scope scope(*this, FrameKind::Host, "the helper lets messages run");
            test::DispatchPending();
            break;
        }
        case 1:
            if (HWND editor = EditorWindow()) {
                Scope scope(*this, FrameKind::Tick, "a tick inside a tick");
                test::SendTick(editor);
            }
            break;
        case 2:
            if (HWND editor = EditorWindow()) {
                Scope scope(*this, FrameKind::User, "the user closes the rule editor during a host call", 0, kOtherUser);
                SendMessageW(editor, WM_CLOSE, 0, 0);
            }
            break;
        case 3: InitCall(); break;
        case 4: ReleaseEverything(); CanUnloadNowCall(); break;
        default: Reenter(1 + static_cast<int>(random_.Below(2))); break;
    }
}

}  // namespace zorvane::fuzz
