// The fields of a /proc/PID/stat line that a process list shows, read the way tick-based tools read them.
#pragma once

#include "platform/linux/ProcReader.h"

#include <cstdint>
#include <optional>
#include <string>

namespace proccpu::bench {

using StatLine = platform::linux_services::StatFields;

/// Reads /proc/PID/stat into buffer and parses it; empty when the process is gone.
std::optional<StatLine> readStatLine(std::uint32_t pid, std::string& buffer);

/// utime + stime of a process in clock ticks; empty when the process is gone.
std::optional<std::uint64_t> readCpuTicks(std::uint32_t pid);

/// Nanoseconds per clock tick of utime and stime (USER_HZ).
std::int64_t tickNs();

}  // namespace proccpu::bench
