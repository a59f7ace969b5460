#include "host/standin/universe.h"

#include <algorithm>
#include <stdexcept>

namespace zorvane::standin {

std::size_t Universe::Index(int channel) {
    if (!IsChannel(channel)) throw std::out_of_range("no such DMX channel");
    return static_cast<std::size_t>(channel - 1);
}

int Universe::Value(int channel) const { return values_[Index(channel)]; }

void Universe::SetFromFader(int channel, int value) {
    const std::size_t index = Index(channel);
    if (!IsValue(value)) throw std::out_of_range("DMX value outside 0..255");
    values_[index] = static_cast<std::uint8_t>(value);
}

void Universe::WriteFromPlugin(int channel, int value, bool immediate) {
    const std::size_t index = Index(channel);
    if (!IsValue(value)) throw std::out_of_range("DMX value outside 0..255");
    writes_.push_back({channel, value, immediate});
    values_[index] = static_cast<std::uint8_t>(value);
}

void Universe::ClearPluginWrites() noexcept { writes_.clear(); }

void Universe::StartDrift(std::uint32_t seed, int max_step) {
    if (max_step < 1 || max_step > kMaxValue) throw std::out_of_range("drift step outside 1..255");
    random_.seed(seed);
    max_step_ = max_step;
    drifting_ = true;
}

void Universe::Wander() {
    if (!drifting_) return;
    // A plain modulo keeps the walk the same with every standard library.
    const std::uint32_t span = static_cast<std::uint32_t>(2 * max_step_ + 1);
    for (auto& value : values_) {
        const int step = static_cast<int>(random_() % span) - max_step_;
        value = static_cast<std::uint8_t>(std::clamp(value + step, 0, kMaxValue));
    }
}

}  // namespace zorvane::standin
