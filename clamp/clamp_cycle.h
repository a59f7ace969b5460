#pragma once
// One tick of the clamp cycle: every rule's channel read from the host, and the
// minimum or maximum written back when the value has left the band.
#include <cstdint>

namespace zorvane {

struct RuleValues {
    std::int32_t channel;
    std::int32_t minimum;
    std::int32_t maximum;

    friend bool operator==(const RuleValues&, const RuleValues&) = default;
};

// The rule table as the tick sees it. Row throws HostError when a row's texts do not
// convert (not a number, outside 32 bits).
class RuleSource {
public:
    virtual std::int16_t RowCount() const = 0;
    virtual RuleValues Row(std::int16_t row) const = 0;

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

// Walks rows 0..n-1 of the table, n read once. The first failure ends the tick by
// propagating its HostError; writes made before it stay made.
void RunClampTick(const RuleSource& rules, ChannelPort& channels);

}  // namespace zorvane
