// The box handling: every box that comes up is checked against what is running (the input
// box only inside a call that may open it, an error box only after it, the rule editor's
// and the about window's boxes only after the user's click), answered later from the
// box's own loop, now and then after the host called in while it was up; and modal shows
// of the rule editor, ended by the user, the host or a Hide.
#include <cstdint>
#include <string>

#include "tests/support/input.h"
#include "tests/wine/fuzz/deferred.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {
namespace {

constexpr wchar_t kInputBoxTitle[] = L"Plugin: Zorvane Einstellungen";

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

}  // namespace

void Session::OnBox(const test::SeenBox& box) {
    const Frame* top = frames_.empty() ? nullptr : frames_.back().get();
    const bool input_box = box.title == kInputBoxTitle;
    Journal::Note(depth(), Format("a box: \"%s\" \"%s\"", Printable(box.title).c_str(), Printable(box.text, 60).c_str()));
    bool allowed = false;
    if (top != nullptr) {
        if (input_box) {
            allowed = (top->effects & kOpensInputBox) != 0;
            if (allowed) ++frames_.back()->input_boxes;
            tally_.Count("input boxes");
        } else if (box.title == L"Fehler") {
            allowed = (top->effects & kOpensInputBox) != 0 && top->input_boxes > 0;
            tally_.Count("message boxes");
        } else if (box.title == L"Fehler!") {
            allowed = top->kind == FrameKind::User && top->user == kAddClick;
            tally_.Count("message boxes");
        } else if (box.title == L"Die Wei\u00DFhaarige...") {
            allowed = top->kind == FrameKind::User && top->user == kSpotClick;
            tally_.Count("message boxes");
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
        tally_.Count("calls while a box is up");
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
    if (answer.interval != 0) window_.IntervalAccepted(answer.interval);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

void Session::ArmModalBreaker(std::uint64_t serial) {
    breakers_[serial] = Defer([this, serial] { ModalBreaker(serial); });
}

void Session::EndModalBreaker(std::uint64_t serial) {
    const auto breaker = breakers_.find(serial);
    if (breaker == breakers_.end()) return;
    CancelDeferred(breaker->second);
    breakers_.erase(breaker);
}

void Session::ModalBreaker(std::uint64_t serial) {
    breakers_.erase(serial);
    if (!FrameActive(serial)) return;
    HWND editor = EditorWindow();
    if (editor != nullptr && IsWindowVisible(editor)) {
        tally_.Count("modal shows ended");
        if (depth() < kMaxDepth && random_.Chance(40)) {
            Journal::Note(depth(), "the host calls while the rule editor is shown modally");
            Reenter(1 + static_cast<int>(random_.Below(2)));
        }
        editor = EditorWindow();
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
                        tally_.Record(hr);
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
}  // namespace zorvane::fuzz
