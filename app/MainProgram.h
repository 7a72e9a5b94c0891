// The program from start to end: startup order, event loop and shutdown order.
#pragma once

namespace proccpu {

inline constexpr int clientWidth = 700;
inline constexpr int clientHeight = 500;
inline constexpr const char* initialTitle = "Process cpu usage";

/// Runs the program on the calling thread, which becomes the user-interface thread, until the window
/// is closed. Returns the exit code, 0 on every path.
int runProgram();

}  // namespace proccpu
