// The fields of a /proc/PID/stat line that a process list shows, read the way tick-based tools read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace proccpu::bench {

struct StatLine {
  std::uint32_t pid = 0;
  std::string_view comm;  // points into the parsed text
  char state = '?';
  std::uint32_t parentPid = 0;
  std::uint64_t userTicks = 0;    // utime, in clock ticks
  std::uint64_t systemTicks = 0;  // stime, in clock ticks
  std::int32_t priority = 0;
  std::int32_t nice = 0;
  std::uint32_t threads = 0;
};

/// Parses one stat line; the name ends at the last ')'. Empty when a field is missing or malformed.
std::optional<StatLine> parseStatLine(std::string_view text);

/// Reads /proc/PID/stat into buffer and parses it; empty when the process is gone.
std::optional<StatLine> readStatLine(std::uint32_t pid, std::string& buffer);

/// utime + stime of a process in clock ticks; empty when the process is gone.
std::optional<std::uint64_t> readCpuTicks(std::uint32_t pid);

/// Nanoseconds per clock tick of utime and stime (USER_HZ).
std::int64_t tickNs();

}  // namespace proccpu::bench
