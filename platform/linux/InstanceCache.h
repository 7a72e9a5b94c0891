// One instance table read from /proc and reused while fresh, so adding counters does not rescan.
#pragma once

#include "platform/linux/CounterNames.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace proccpu::platform::linux_services {

/// Not thread-safe: the counter service calls it under its own lock.
class InstanceCache {
 public:
  explicit InstanceCache(std::string procRoot) : procRoot_(std::move(procRoot)) {}

  /// The process of an instance name; rereads /proc when the table is stale (unless the name's entry
  /// is confirmed still right), or on the first miss of a name since then (the process may have started
  /// after the last read).
  std::optional<InstanceKey> resolve(std::string_view instance);

 private:
  bool stillFirstOfName(std::string_view instance, std::chrono::steady_clock::time_point now);
  void refresh();

  std::string procRoot_;
  InstanceTable table_;
  std::optional<std::chrono::steady_clock::time_point> readAt_;  // of the last reread for staleness
  std::set<std::string, std::less<>> missed_;  // names looked for in vain since the last stale reread
  std::map<std::string, std::chrono::steady_clock::time_point, std::less<>> confirmedAt_;  // since the reread
};

}  // namespace proccpu::platform::linux_services
