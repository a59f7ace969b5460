#pragma once
// The helper's members a clamp tick calls, for tests that walk a tick call by call.

namespace zorvane::test {

enum class HostMember { ChannelGetValue, MyStream, UserInteraction, SetChannel };

// The member's name as the helper knows it; each call's line in a trace starts with it.
inline const wchar_t* NameOf(HostMember member) {
    switch (member) {
        case HostMember::ChannelGetValue: return L"ChannelGetValue";
        case HostMember::MyStream: return L"MyStream";
        case HostMember::UserInteraction: return L"UserInteraction";
        case HostMember::SetChannel: return L"SetChannel";
    }
    return L"";
}

}  // namespace zorvane::test
