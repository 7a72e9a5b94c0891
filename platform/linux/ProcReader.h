// Reading processes from a /proc tree (a parameter, so tests can point it at a fixture tree).
#pragma once

#include "platform/ProcessRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace proccpu::platform::linux_services {

/// The fields of /proc/PID/stat that the snapshot, the counters and the benchmarks use.
struct StatFields {
  std::uint32_t pid = 0;
  std::string comm;
  char state = '?';
  std::uint32_t parentPid = 0;
  std::uint32_t flags = 0;
  std::uint64_t userTicks = 0;    // utime, in clock ticks
  std::uint64_t systemTicks = 0;  // stime, in clock ticks
  std::int32_t priority = 0;
  std::int32_t nice = 0;
  std::uint32_t threadCount = 0;
  std::uint64_t startTime = 0;  // clock ticks after boot
  std::uint32_t policy = 0;
};

/// One process as read: its record and its start time, which tells a reused PID from the original.
struct ProcessEntry {
  ProcessRecord record;
  std::uint64_t startTime;
};

/// Parses one /proc/PID/stat line; the name ends at the last ')'. Empty when a field is missing or bad.
std::optional<StatFields> parseStat(std::string_view text);

/// The Windows base priority for a scheduling policy and nice value (table in ProcReader.cpp).
std::int32_t basePriority(std::uint32_t policy, std::int32_t nice);

/// The image name shown for a process: its whole executable file name where known, else its comm.
/// exeLink is the target of /proc/PID/exe (empty when unreadable), argv0 the first argument.
std::string chooseImageName(const StatFields& stat, std::string_view exeLink, std::string_view argv0);

/// Reads one process under procRoot; empty when it vanished or its stat is unreadable or malformed.
std::optional<ProcessEntry> readProcessEntry(const std::string& procRoot, std::uint32_t pid);

/// Reads every process under procRoot in directory order, skipping the ones that vanish meanwhile.
/// Empty with the last error set when procRoot cannot be read.
std::optional<std::vector<ProcessEntry>> readProcessTable(const std::string& procRoot);

/// The start time of the process that now holds this PID; empty when there is none.
std::optional<std::uint64_t> readStartTime(const std::string& procRoot, std::uint32_t pid);

}  // namespace proccpu::platform::linux_services
