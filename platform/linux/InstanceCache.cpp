// One instance table read from /proc and reused while fresh, so adding counters does not rescan.
#include "platform/linux/InstanceCache.h"

namespace proccpu::platform::linux_services {

namespace {
constexpr std::chrono::milliseconds staleAfter{1000};
// How old a table may grow while each name looked up in it is confirmed (see stillFirstOfName).
constexpr std::chrono::milliseconds confirmedStaleAfter{10000};
}  // namespace

// A name missed once is not looked for again until the table goes stale, so names of processes that
// have ended cost at most one reread each, and a run of them cannot reread /proc per counter.
std::optional<InstanceKey> InstanceCache::resolve(std::string_view instance) {
  const auto now = std::chrono::steady_clock::now();
  const auto age = readAt_ ? now - *readAt_ : std::chrono::steady_clock::duration::max();
  if (age > confirmedStaleAfter || (age > staleAfter && !stillFirstOfName(instance, now))) {
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

// A plain name stands for the earliest-started process of that name, which a process started later
// cannot displace: while that process still runs, the entry is right however old the table is. So a
// long run of additions rereads /proc only when a name's process has ended, not every second.
// Numbered names ("name#k") shift whenever an earlier process of the name ends, so they are not
// confirmed this way. A confirmation holds as long as a reread would.
bool InstanceCache::stillFirstOfName(std::string_view instance, std::chrono::steady_clock::time_point now) {
  if (instance.find('#') != std::string_view::npos) return false;
  if (const auto confirmed = confirmedAt_.find(instance);
      confirmed != confirmedAt_.end() && now - confirmed->second <= staleAfter) {
    return true;
  }
  const std::optional<InstanceKey> found = table_.resolve(instance);
  if (!found || readStartTime(procRoot_, found->pid) != found->startTime) return false;
  confirmedAt_.insert_or_assign(std::string(instance), now);
  return true;
}

void InstanceCache::refresh() {
  confirmedAt_.clear();
  table_ = InstanceTable(readProcessTable(procRoot_).value_or(std::vector<ProcessEntry>{}));
}

}  // namespace proccpu::platform::linux_services
