#include "host/standin/standin_host.h"

#include "win/com_error.h"

namespace zorvane::standin {

void StandinHost::SetChannelReply(int channel, const VARIANT& reply) {
    win::Variant copy;
    // VariantCopy leaves its source alone; it is declared to take it mutable.
    win::ThrowIfFailed(VariantCopy(copy.get(), const_cast<VARIANT*>(&reply)));
    replies_.insert_or_assign(channel, std::move(copy));
}

}  // namespace zorvane::standin
