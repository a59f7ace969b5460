#pragma once
// The host calls a plug-in made, as the stand-in host saw them.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace zorvane::standin {

struct ArgumentSeen {
    VARTYPE type;
    const void* reference;  // the caller's variable for a by-reference argument, else null
};

struct HostCall {
    // `ChannelGetValue 5 -> 3`, `MyStream`, `UserInteraction`, `SetChannel 5, 10, true`;
    // a call that failed ends in ` -> error 0x80020009`.
    std::wstring text;
    WORD flags = 0;  // the DISPATCH_* flags; 0 for a call through the vtable
    std::vector<ArgumentSeen> arguments;  // in the caller's order (first parameter first)
    HRESULT result = S_OK;  // what the host answered
};

class CallTrace {
public:
    // Recording costs time; a benchmark switches it off.
    bool enabled = true;

    void Add(HostCall call) {
        if (enabled) calls_.push_back(std::move(call));
    }
    const std::vector<HostCall>& calls() const noexcept { return calls_; }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> texts;
        texts.reserve(calls_.size());
        for (const auto& call : calls_) texts.push_back(call.text);
        return texts;
    }
    void Clear() noexcept { calls_.clear(); }

private:
    std::vector<HostCall> calls_;
};

// The arguments of a dispatch call in the caller's order (DISPPARAMS holds them last first).
std::vector<ArgumentSeen> ArgumentsOf(const DISPPARAMS* params);

}  // namespace zorvane::standin
