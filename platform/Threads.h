// Starting the one worker thread and millisecond waits.
#pragma once

#include <cstdint>

namespace proccpu::platform {

/// Starts a thread that runs body (CreateThread). The thread is not waited for; the toolkit's shutdown
/// closes its handle. Returns false when the thread cannot be started.
bool startThread(void (*body)());

/// Sleeps for this many milliseconds with the system timer resolution raised to 1 ms for exactly the
/// time of the wait (timeBeginPeriod(1), Sleep, timeEndPeriod(1)).
void waitMilliseconds(std::uint32_t milliseconds);

}  // namespace proccpu::platform
