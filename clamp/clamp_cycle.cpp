#include "clamp/clamp_cycle.h"

namespace zorvane {

void RunClampTick(const RuleSource& rules, ChannelPort& channels) {
    const std::int16_t count = rules.RowCount();
    for (std::int16_t row = 0; row < count; ++row) {
        const RuleReading reading = rules.Row(row);
        if (reading.fault != RuleFault::None) continue;
        const RuleValues& rule = reading.values;
        // The port takes its arguments by reference; fresh copies keep the rule intact
        // whatever the host does with them.
        std::int32_t channel = rule.channel;
        const double value = channels.ReadChannelValue(channel);
        // Both bounds are tested against the one value read; with minimum <= maximum at
        // most one of them can apply.
        if (value < rule.minimum) {
            std::int32_t target_channel = rule.channel;
            std::int32_t target = rule.minimum;
            channels.SetChannelValue(target_channel, target);
        }
        if (value > rule.maximum) {
            std::int32_t target_channel = rule.channel;
            std::int32_t target = rule.maximum;
            channels.SetChannelValue(target_channel, target);
        }
    }
}

}  // namespace zorvane
