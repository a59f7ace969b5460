// A soak run: 512 rules at the shortest interval against a universe whose every channel
// drifts before every tick, for a bounded time (ZORVANE_SOAK_SECONDS, 30 by default;
// scripts/soak.sh runs it for minutes). After every tick each channel that was out of its
// band has been written back, and nothing else; handles, GDI and USER objects and private
// memory end where they were after the warm-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/standin/module_info.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/box_watcher.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/resource_usage.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"
#include "ui/win32/control_ids.h"

namespace zorvane::reliability {
namespace {

using namespace test;
using standin::ChannelWrite;
using standin::Universe;

constexpr std::uint32_t kSeed = 512'2024;
constexpr int kDriftStep = 24;
// Growth allowed from the end of the warm-up to the end of the run: nothing of ours may
// hold a handle, a GDI object or a window more; private memory is counted in the
// allocator's 64 KiB regions.
constexpr std::size_t kPrivateSlack = 256 * 1024;

int SoakSeconds() {
    wchar_t text[16] = {};
    if (GetEnvironmentVariableW(L"ZORVANE_SOAK_SECONDS", text, 16) == 0) return 30;
    const long seconds = std::wcstol(text, nullptr, 10);
    return seconds > 0 ? static_cast<int>(seconds) : 30;
}

struct Band {
    int minimum;
    int maximum;
};

// A channel's value brought into its band, as the standard library says it.
int Clamped(int value, Band band) { return std::clamp(value, band.minimum, band.maximum); }

// What the tick must have done, told from the universe alone: every channel now holds its
// value of before the tick brought into its band, and exactly the channels whose value
// that changed were written, once each, in channel order (the rules' order), with the
// value they now hold. Empty when the tick did just that; otherwise what went wrong first.
std::string Misclamped(const std::array<int, Universe::kChannels + 1>& before, const Universe& universe,
                       const std::array<Band, Universe::kChannels + 1>& bands) {
    std::vector<ChannelWrite> due;
    for (int channel = 1; channel <= Universe::kChannels; ++channel) {
        const auto at = static_cast<std::size_t>(channel);
        const int clamped = Clamped(before[at], bands[at]);
        if (universe.Value(channel) != clamped) {
            return "channel " + std::to_string(channel) + " holds " + std::to_string(universe.Value(channel)) +
                   ", not " + std::to_string(clamped);
        }
        if (clamped != before[at]) due.push_back({channel, clamped, true});
    }
    if (universe.PluginWrites() != due) {
        return std::to_string(due.size()) + " writes due, " + std::to_string(universe.PluginWrites().size()) +
               " made";
    }
    return {};
}

TEST(SoakTest, EveryDriftedChannelIsWrittenBackAndNothingGrows) {
    const int seconds = SoakSeconds();
    const int warm_up_ms = std::clamp(seconds * 100, 3'000, 60'000);

    standin::ModuleInfoClassOverride module_info_class;
    const auto host = std::make_shared<standin::StandinHost>();
    host->trace.enabled = false;  // a record of every call would grow by itself
    const ComPtr<IVELTPluginHelper> helper = standin::MakePluginHelper(host);
    OpenedPlugIn opened = OpenedPlugIn::Open(helper.Get());
    const RuleEditor editor(opened.window);

    std::mt19937 random(kSeed);
    std::array<Band, Universe::kChannels + 1> bands{};
    for (int channel = 1; channel <= Universe::kChannels; ++channel) {
        const int minimum = std::uniform_int_distribution<int>(0, 200)(random);
        const int maximum = minimum + std::uniform_int_distribution<int>(0, 55)(random);
        bands[static_cast<std::size_t>(channel)] = {minimum, maximum};
        editor.Add(std::to_wstring(channel), std::to_wstring(minimum), std::to_wstring(maximum), Typing::SetText);
    }
    ASSERT_EQ(editor.RowCount(), static_cast<std::size_t>(Universe::kChannels));
    {
        BoxWatcher boxes;
        boxes.Then(TypeAndClick(L"1", IDOK));
        ASSERT_TRUE(Configure(opened.plugin.Get()));
        ASSERT_EQ(boxes.boxes().size(), 1u) << "the interval box and no refusal";
    }
    host->universe.StartDrift(kSeed, kDriftStep);

    long long ticks = 0;
    long long corrections = 0;
    long long wrong_ticks = 0;
    std::string first_wrong;
    ResourceUsage after_warm_up;
    ResourceUsage peak;
    std::array<int, Universe::kChannels + 1> before{};
    // A 1 ms timer of ours beside the editor's, to tell a timer that hardly ticks from a
    // busy machine.
    const ReferenceTimer reference(1);
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG warm_up_end = start + static_cast<ULONGLONG>(warm_up_ms);
    const ULONGLONG end = start + static_cast<ULONGLONG>(seconds) * 1000;
    ULONGLONG next_sample = warm_up_end;
    bool warmed_up = false;

    // The host's own message loop: the drift happens just before each tick is dispatched,
    // so that every tick meets values it has not seen.
    for (ULONGLONG now = start; now < end; now = GetTickCount64()) {
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        const bool tick = message.message == WM_TIMER && message.hwnd == opened.window &&
                          message.wParam == ui::kTimer1;
        if (tick) {
            host->universe.Wander();
            for (int channel = 1; channel <= Universe::kChannels; ++channel)
                before[static_cast<std::size_t>(channel)] = host->universe.Value(channel);
            host->universe.ClearPluginWrites();
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (!tick) continue;

        ++ticks;
        corrections += static_cast<long long>(host->universe.PluginWrites().size());
        const std::string wrong = Misclamped(before, host->universe, bands);
        if (!wrong.empty() && wrong_ticks++ == 0) first_wrong = "tick " + std::to_string(ticks) + ": " + wrong;
        if (now >= next_sample) {
            const ResourceUsage usage = SampleResources();
            if (!warmed_up) {
                after_warm_up = peak = usage;
                warmed_up = true;
            }
            peak.kernel_handles = std::max(peak.kernel_handles, usage.kernel_handles);
            peak.gdi_objects = std::max(peak.gdi_objects, usage.gdi_objects);
            peak.user_objects = std::max(peak.user_objects, usage.user_objects);
            peak.private_bytes = std::max(peak.private_bytes, usage.private_bytes);
            next_sample = now + 5'000;
        }
    }
    const double elapsed = static_cast<double>(GetTickCount64() - start) / 1000.0;
    const ResourceUsage last = SampleResources();
    opened.Close();
    Pump(20);
    EXPECT_EQ(CanUnloadNow(LoadedModule()), S_OK);

    std::printf("soak: %.1f s, %lld ticks (%.1f a second, %.1f ms apart), %lld reads, %lld corrections, "
                "%lld ticks wrong\n",
                elapsed, ticks, static_cast<double>(ticks) / elapsed, elapsed * 1000.0 / static_cast<double>(ticks),
                ticks * Universe::kChannels, corrections, wrong_ticks);
    std::printf("soak: after %.1f s warm-up %s; peak %s; end %s\n", warm_up_ms / 1000.0,
                Describe(after_warm_up).c_str(), Describe(peak).c_str(), Describe(last).c_str());
    std::printf("(%ls)\n", ResourceSources().c_str());

    ASSERT_TRUE(warmed_up) << "the run ended before its warm-up did";
    EXPECT_GE(ticks * 2, reference.ticks()) << "the timer hardly ticked: " << ticks << " ticks while a 1 ms timer "
                                            << "of ours ticked " << reference.ticks() << " times";
    EXPECT_EQ(wrong_ticks, 0) << first_wrong;
    EXPECT_GT(corrections, ticks) << "the drift left too little to correct";
    EXPECT_LE(last.kernel_handles, after_warm_up.kernel_handles);
    EXPECT_LE(last.gdi_objects, after_warm_up.gdi_objects);
    EXPECT_LE(last.user_objects, after_warm_up.user_objects);
    EXPECT_LE(last.private_bytes, after_warm_up.private_bytes + kPrivateSlack);
}

}  // namespace
}  // namespace zorvane::reliability
