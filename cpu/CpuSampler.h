// The sampling thread that keeps the CPU column current.
#pragma once

namespace proccpu {

inline constexpr int cpuColumn = 3;

/// One pass: one collect, then each row's reading, a 5 ms wait and the row's CPU cell, then a 10 ms
/// wait. Returns false, at once, when the counter query has been closed.
bool samplerPass();

/// The thread body: passes until the counter query is closed at shutdown.
void samplerLoop();

}  // namespace proccpu
