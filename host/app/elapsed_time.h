#pragma once
// The time stamps of the host's log.

namespace zorvane::host_app {

// Seconds since the first call.
double ElapsedSeconds();

}  // namespace zorvane::host_app
