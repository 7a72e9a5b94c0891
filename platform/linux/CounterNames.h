// Counter names by number, counter path parsing and the instance names of processes.
#pragma once

#include "platform/CounterService.h"
#include "platform/linux/ProcReader.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace proccpu::platform::linux_services {

inline constexpr std::uint32_t processObjectIndex = 230;
inline constexpr std::uint32_t processorTimeIndex = 6;
inline constexpr std::string_view processObjectName = "Process";
inline constexpr std::string_view processorTimeName = "% Processor Time";

/// Equal but for ASCII case: Windows compares object, counter and library file names so.
bool sameNameIgnoringCase(std::string_view left, std::string_view right);

/// PdhLookupPerfNameByIndexA: the name of number nameIndex on the local machine (machine null or "").
PdhStatus lookupPerfNameByIndex(const char* machine, std::uint32_t nameIndex, char* buffer,
                                std::uint32_t* capacity);

/// The three parts of a path "\Object(Instance)\Counter".
struct CounterPath {
  std::string object;
  std::string instance;
  std::string counter;
};

/// Splits a path; the counter follows the last '\' and the instance runs from the first '(' to the ')'
/// just before that '\', so an instance may hold '(', ')', blanks and '\'. Empty when malformed.
std::optional<CounterPath> parseCounterPath(std::string_view path);

/// 0 when the path names the processor-time counter of the process object, else why not.
PdhStatus checkObjectAndCounter(const CounterPath& path);

/// The instance name of an image name: less its last '.' and what follows.
std::string instanceBaseName(std::string_view imageName);

/// Identifies one process for its whole life: a reused PID comes with another start time.
struct InstanceKey {
  std::uint32_t pid;
  std::uint64_t startTime;
};

/// The processes by instance name: several of one name are "name", "name#1", ... by start time, then PID.
class InstanceTable {
 public:
  explicit InstanceTable(const std::vector<ProcessEntry>& entries = {});

  /// The process of an instance name ("name" is the first of its name); empty when there is none.
  std::optional<InstanceKey> resolve(std::string_view instance) const;

  /// Every instance name with its PID, in name order, as the counter service offers them.
  std::vector<std::pair<std::string, std::uint32_t>> instanceNames() const;

 private:
  std::map<std::string, std::vector<InstanceKey>, std::less<>> byName_;
};

}  // namespace proccpu::platform::linux_services
