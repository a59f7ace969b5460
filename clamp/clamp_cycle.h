#pragma once
// One tick of the clamp cycle: every rule's channel read from the host, and the
// minimum or maximum written back when the value has left the band.
#include <cstdint>

#include "clamp/rule_reading.h"

namespace zorvane {

// The rule table as the tick sees it: each row read under the separators in force.
class RuleSource {
public:
    virtual std::int16_t RowCount() const = 0;
    virtual RuleReading Row(std::int16_t row) const = 0;

protected:
    ~RuleSource() = default;
};

// The host's channels as the tick sees them. Every call throws HostError on failure.
class ChannelPort {
public:
    // Reads the channel into ChannelValue and returns that value as a number; throws
    // when the call fails (ChannelValue unchanged) or when the value read is no number
    // (ChannelValue holds it all the same).
    virtual double ReadChannelValue(std::int32_t& channel) = 0;
    virtual void SetChannelValue(std::int32_t& channel, std::int32_t& value) = 0;

protected:
    ~ChannelPort() = default;
};

// Walks rows 0..n-1 of the table, n read once. A row that reads as no rule gets no host
// call: the host never sees a channel outside 1..512 or a value outside 0..255, and a
// channel is written at most once a row. The first failure ends the tick by propagating
// its HostError; writes made before it stay made.
void RunClampTick(const RuleSource& rules, ChannelPort& channels);

}  // namespace zorvane
