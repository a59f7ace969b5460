#pragma once
// The floor of a tick: the very host calls a tick over the same rules makes, made
// directly through IDispatch::Invoke with the helper's known DISPIDs, from a plain array.
#include <windows.h>
#include <oaidl.h>

#include <vector>

namespace zorvane::bench {

struct FloorRule {
    LONG channel;
    LONG minimum;
    LONG maximum;
};

// For each rule: ChannelGetValue (the channel VT_I4|VT_BYREF, the result cleared); out of
// the band, MyStream, UserInteraction, MyStream, SetChannel(channel, bound, true).
// Returns the number of writes; throws std::runtime_error when a call fails.
unsigned FloorTick(IDispatch* helper, const std::vector<FloorRule>& rules);

}  // namespace zorvane::bench
