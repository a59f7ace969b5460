#pragma once
// Host helpers unlike the stand-in's, for proving the plug-in against hosts that are not
// ours: a plain IDispatch without type information whose answers the test scripts. Its
// members are ChannelGetValue and MyStream; the stream answers UserInteraction and
// SetChannel. Every call is recorded in the one-line form of the stand-in's trace.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "VELTTypeLib.h"

namespace zorvane::test {

struct HelperScript {
    // What ChannelGetValue answers for a channel; by default the value in `values` as VT_I4.
    std::function<HRESULT(LONG channel, VARIANT& result)> channel_get_value;
    // What a read of MyStream answers; by default `stream` as VT_DISPATCH.
    std::function<HRESULT(IDispatch* stream, VARIANT& result)> my_stream;
    // Runs inside every call, once it is recorded and before it answers: a host whose
    // calls let messages run, close windows or release things.
    std::function<void(const std::wstring& member)> during_call;
    // Reads its arguments as a method declared to take them by value would get them:
    // coerced copies; otherwise it insists on references to 32-bit integers.
    bool arguments_by_value = false;
    // A new stream object for every read of MyStream, or always the same one.
    bool new_stream_each_read = false;
    // Writes other numbers through the references it was given, once it has read them.
    bool writes_through_references = false;
};

struct ScriptedState;

class ScriptedHelper {
public:
    explicit ScriptedHelper(HelperScript script = {});
    ~ScriptedHelper();
    ScriptedHelper(const ScriptedHelper&) = delete;
    ScriptedHelper& operator=(const ScriptedHelper&) = delete;

    // The helper object as the host hands it to Init.
    IDispatch* object() const noexcept { return object_.Get(); }
    IVELTPluginHelper* as_helper() const noexcept;

    // The script as it stands; a test may change it between calls, never inside one.
    HelperScript& script() noexcept;
    // Channel values the default ChannelGetValue answers and SetChannel writes.
    std::map<LONG, LONG>& values() noexcept;
    // "ChannelGetValue 5", "MyStream", "UserInteraction", "SetChannel 5, 10, true".
    const std::vector<std::wstring>& calls() const noexcept;
    void ClearCalls();
    // Calls in progress right now, and the most there ever were at once.
    int depth() const noexcept;
    int deepest() const noexcept;
    // Stream objects alive.
    int live_streams() const noexcept;
    // References to the one stream a helper that keeps it hands out (its own among
    // them); 0 before the first read or when every read makes a new one.
    ULONG kept_stream_references() const noexcept;

private:
    std::shared_ptr<ScriptedState> state_;
    Microsoft::WRL::ComPtr<IDispatch> object_;
};

}  // namespace zorvane::test
