#pragma once
// The stand-in host as a plug-in meets it: its universe, the record of the calls made to
// it, and the faults a test asks it to show. Helper and stream objects share one of these.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "host/standin/call_trace.h"
#include "host/standin/faults.h"
#include "host/standin/universe.h"
#include "win/handles.h"

namespace zorvane::standin {

class StandinHost {
public:
    Universe universe;
    CallTrace trace;
    // A new stream object for every read of MyStream, or one stream for all of them.
    bool fresh_stream_per_read = true;

    void InjectFault(Fault fault) { fault_ = std::move(fault); }
    void ClearFault() noexcept { fault_.reset(); }
    const std::optional<Fault>& pending_fault() const noexcept { return fault_; }

    // Host calls made so far, failed ones included; traced or not.
    unsigned calls_made() const noexcept { return calls_; }
    // Names looked up with GetIDsOfNames on the helper and its streams.
    unsigned name_lookups() const noexcept { return lookups_; }
    // Stream objects still alive: a plug-in that keeps none leaves this at 0 (or at 1
    // while one stream serves every read).
    int live_streams() const noexcept { return live_streams_; }

    // ChannelGetValue answers channel with a copy of reply instead of the universe's value
    // (a text, a fraction, an empty value...), until cleared.
    void SetChannelReply(int channel, const VARIANT& reply);
    void ClearChannelReplies() noexcept { replies_.clear(); }
    // The reply set for channel, or null.
    const VARIANT* ChannelReply(int channel) const noexcept {
        if (replies_.empty()) return nullptr;
        const auto found = replies_.find(channel);
        return found == replies_.end() ? nullptr : found->second.get();
    }

    // For the host's own objects: counts a call and hands out the fault meant for it.
    std::optional<Fault> StartCall() {
        ++calls_;
        if (fault_ && fault_->call == calls_) return std::exchange(fault_, std::nullopt);
        return std::nullopt;
    }
    // True when the call about to be made is to find its member missing; that call is
    // then counted as made (and failed).
    bool MissingAtLookup() noexcept {
        if (!fault_ || fault_->kind != FaultKind::MissingMember || fault_->call != calls_ + 1)
            return false;
        ++calls_;
        fault_.reset();
        return true;
    }

    void CountLookup() noexcept { ++lookups_; }
    void StreamMade() noexcept { ++live_streams_; }
    void StreamGone() noexcept { --live_streams_; }

private:
    std::optional<Fault> fault_;
    std::map<int, win::Variant> replies_;
    unsigned calls_ = 0;
    unsigned lookups_ = 0;
    int live_streams_ = 0;
};

}  // namespace zorvane::standin
