#pragma once
// A fresh component for every test: no windows loaded, the stand-in host's helper stored
// as the host's helper, a watcher for modal boxes. The rule editor is reached as the host
// reaches it, through its IDispatch; the windows are found as a person sees them, by
// caption; the timer is seen through the host calls of its ticks.
#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "clamp/win32/velt_zorvane.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/box_watcher.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/references.h"
#include "tests/support/rule_editor.h"
#include "tests/support/screen_capture.h"
#include "tests/support/ticks.h"
#include "tests/support/windows.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/plugin_configuration.h"
#include "ui/win32/rule_editor_tool.h"
#include "ui/win32/window_instances.h"
#include "win/module_count.h"

namespace zorvane::ui::test {

using namespace zorvane::test;
using Microsoft::WRL::ComPtr;

inline constexpr wchar_t kEditorCaption[] = L"Zorvane";
inline constexpr wchar_t kAboutCaption[] = L"Info zu Zorvane";

// A control where the layout puts it, in twips of the parent's client area.
struct ControlLayout {
    int id;
    const wchar_t* window_class;
    const wchar_t* text;
    int left, top, width, height;  // width 0: sized to its content
};

// The resolutions the test command runs these tests at, and the twips (1/1440 inch) that
// make a pixel at each. Tables of expected values have a column for each, in this order.
struct Resolution {
    int dpi;
    int twips_per_pixel;
};
inline constexpr Resolution kResolutions[] = {{96, 15}, {120, 12}, {144, 10}};

// The resolution this run is meant for: ZORVANE_LOGPIXELS, which the test command also
// gives to the prefix it runs in; without it 96, Wine's own. Every UI test fails at once
// when the screen has another, so that no test passes at a resolution it did not mean.
int ExpectedDpi();
// The screen's pixels per logical inch, as the system says them.
int ScreenDpi(int axis = LOGPIXELSX);
// This run's column of kResolutions.
std::size_t ResolutionColumn();

// Twips as whole pixels at this run's resolution, the nearest (a half away from zero),
// and whole pixels as twips.
int Pixels(int twips);
int Twips(int pixels);

// The window's children, in Z-order (which is the tab order), against the layout.
void ExpectControls(HWND window, const ControlLayout* first, const ControlLayout* last);

// A window as the screen shows it, frame included; kept in screenshots/<name>.png for a
// person to look at.
class Screenshot {
public:
    Screenshot(HWND window, const wchar_t* name);

    const Image& image() const noexcept { return image_; }
    // The pixel at a point of the screen, or of a window's client area.
    COLORREF At(POINT screen) const;
    COLORREF At(HWND window, int x, int y) const;

private:
    Image image_;
    RECT frame_{};
};

class UiTest : public ::testing::Test {
protected:
    static void ExpectResolution();

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ExpectResolution());
        helper_ = standin::MakePluginHelper(host_);
        velt_zorvane::StorePluginHelper(helper_.Get());
    }
    void TearDown() override {
        ReleaseWindowInstances();
        velt_zorvane::StorePluginHelper(nullptr);
        Pump(10);
    }

    // The rule editor object, as the host holds it.
    static ComPtr<IDispatch> Editor() { return RuleEditorInstance(); }
    // Its window: reading hWnd loads it.
    static HWND EditorWindow() { return WindowOf(Editor().Get()); }
    // Whether the window exists, asked without loading it.
    static bool EditorLoaded() { return !ThreadWindows(kEditorCaption).empty(); }
    static HWND ShowEditor() {
        CallByName(Editor().Get(), L"Show");
        Pump(30);
        return EditorWindow();
    }
    static HWND Control(int id) { return GetDlgItem(EditorWindow(), id); }
    static RuleEditor Controls() { return RuleEditor(EditorWindow()); }

    // The open about window, or null.
    static HWND AboutWindow() {
        const std::vector<HWND> windows = ThreadWindows(kAboutCaption);
        return windows.empty() ? nullptr : windows.front();
    }

    static std::vector<std::wstring> Rows(int list_id) { return ListRows(Control(list_id)); }
    static int SelectionOf(int list_id) { return Selection(Control(list_id)); }
    static std::vector<int> Selections() { return Controls().Selections(); }

    static void TypeRule(const std::wstring& channel, const std::wstring& minimum, const std::wstring& maximum) {
        Controls().Type(channel, minimum, maximum, Typing::SetText);
    }
    static void AddRule(const std::wstring& channel, const std::wstring& minimum, const std::wstring& maximum) {
        Controls().Add(channel, minimum, maximum, Typing::SetText);
    }

    // The poll interval as the host's Configure sets it: the input box answered.
    void SetInterval(const std::wstring& typed) {
        boxes_.Then(TypeAndClick(typed, IDOK));
        RunPluginConfigurationData();
        EXPECT_EQ(boxes_.boxes().size(), 1u) << "the interval box and no refusal for " << typed.c_str();
        boxes_.Clear();
    }

    // How long a test waits for what must come; only a fault makes it wait that long.
    static constexpr DWORD kPatienceMs = 5000;
    // Waits for the host to see a write; false when none came.
    bool WriteComes() {
        host_->universe.ClearPluginWrites();
        return PumpUntil([this] { return !Writes().empty(); }, kPatienceMs);
    }
    const std::vector<standin::ChannelWrite>& Writes() const { return host_->universe.PluginWrites(); }
    void SetChannel(int channel, int value) { host_->universe.SetFromFader(channel, value); }
    int Channel(int channel) const { return host_->universe.Value(channel); }

    // ChannelGetValue calls since the trace was last cleared; of one channel, one a tick.
    std::size_t Reads() const { return ReadsOf(0); }
    std::size_t ReadsOf(int channel) const {
        const std::wstring head = channel == 0 ? L"ChannelGetValue " : L"ChannelGetValue " + std::to_wstring(channel) + L" ";
        std::size_t reads = 0;
        for (const standin::HostCall& call : host_->trace.calls()) {
            if (call.text.rfind(head, 0) == 0) ++reads;
        }
        return reads;
    }
    void ClearReads() { host_->trace.Clear(); }

    // The ticks the host sees (reads of a ruled channel) while a timer of ours ticks
    // `periods` times at interval_ms.
    int TicksSeenOver(int channel, UINT interval_ms, int periods) {
        return GrowthOver(interval_ms, periods, [&] { return static_cast<int>(ReadsOf(channel)); });
    }
    // The host sees the ticks of a rule on the channel as often as a timer of ours with
    // that interval ticks.
    ::testing::AssertionResult TicksEvery(int channel, UINT interval_ms) {
        const int periods = interval_ms >= 500 ? 2 : interval_ms >= 100 ? 4 : 10;
        const int seen = TicksSeenOver(channel, interval_ms, periods);
        if (AboutAsMany(seen, periods)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the host saw " << seen << " ticks while a " << interval_ms
                                             << " ms timer ticked " << periods << " times";
    }

    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    ComPtr<IVELTPluginHelper> helper_;
    BoxWatcher boxes_;
};

}  // namespace zorvane::ui::test
