#pragma once
// The stand-in host's 512 DMX channels: what a desk would hold, the plug-in's writes, and
// an optional wander of the values so that a plug-in has something to correct.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace zorvane::standin {

struct ChannelWrite {
    int channel;
    int value;
    bool immediate;

    friend bool operator==(const ChannelWrite&, const ChannelWrite&) = default;
};

class Universe {
public:
    static constexpr int kChannels = 512;
    static constexpr int kMaxValue = 255;

    static bool IsChannel(int channel) noexcept { return channel >= 1 && channel <= kChannels; }
    static bool IsValue(int value) noexcept { return value >= 0 && value <= kMaxValue; }

    // Channel and value outside their ranges throw std::out_of_range.
    int Value(int channel) const;
    // A person moving a fader: the value changes, no plug-in write is recorded.
    void SetFromFader(int channel, int value);
    // A plug-in's SetChannel.
    void WriteFromPlugin(int channel, int value, bool immediate);

    // The plug-in's writes in the order they came, since the last ClearPluginWrites.
    const std::vector<ChannelWrite>& PluginWrites() const noexcept { return writes_; }
    void ClearPluginWrites() noexcept;

    // Drift: every Wander moves each channel by a random step of at most max_step
    // either way, staying in 0..255. The same seed gives the same walk.
    void StartDrift(std::uint32_t seed, int max_step);
    void StopDrift() noexcept { drifting_ = false; }
    void Wander();

private:
    static std::size_t Index(int channel);

    std::array<std::uint8_t, kChannels> values_{};
    std::vector<ChannelWrite> writes_;
    std::mt19937 random_;
    int max_step_ = 0;
    bool drifting_ = false;
};

}  // namespace zorvane::standin
