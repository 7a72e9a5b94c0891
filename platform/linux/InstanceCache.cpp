// One instance table read from /proc and reused while fresh, so adding counters does not rescan.
#include "platform/linux/InstanceCache.h"

namespace proccpu::platform::linux_services {

namespace {
constexpr std::chrono::milliseconds staleAfter{1000};
}  // namespace

// A name missed once is not looked for again until the table goes stale, so names of processes that
// have ended cost at most one reread each, and a run of them cannot reread /proc per counter.
std::optional<InstanceKey> InstanceCache::resolve(std::string_view instance) {
  const auto now = std::chrono::steady_clock::now();
  if (!readAt_ || now - *readAt_ > staleAfter) {
    missed_.clear();
    refresh();
    readAt_ = now;
  }
  std::optional<InstanceKey> found = table_.resolve(instance);
  if (!found && !missed_.contains(instance)) {
    refresh();
    found = table_.resolve(instance);
    if (!found) {
      missed_.emplace(instance);
    }
  }
  return found;
}

void InstanceCache::refresh() {
  table_ = InstanceTable(readProcessTable(procRoot_).value_or(std::vector<ProcessEntry>{}));
}

}  // namespace proccpu::platform::linux_services
