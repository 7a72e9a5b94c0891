// The processor-time counter service on Linux: one CPU clock read per counter and collect.
#include "platform/CounterService.h"

#include "platform/linux/CounterNames.h"
#include "platform/linux/FileDescriptor.h"
#include "platform/linux/InstanceCache.h"
#include "platform/linux/LastError.h"

#include <poll.h>
#include <sys/pidfd.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace proccpu::platform {

namespace {

using linux_services::FileDescriptor;
using linux_services::InstanceKey;

constexpr PdhStatus pdhInvalidData = 0xC0000BC6u;        // PDH_INVALID_DATA / PDH_CSTATUS_INVALID_DATA
constexpr std::uint32_t perf100NsecTimer = 0x20510500u;  // the counter type of "% Processor Time"
constexpr double percent = 100.0;

struct Counter {
  QueryId query = 0;
  std::optional<InstanceKey> process;  // empty once the process is gone
  clockid_t clock = 0;
  FileDescriptor processHandle;  // pidfd: readable once the process has ended
  int samples = 0;               // collects seen, counted up to 2
  std::uint64_t previousCpu = 0;
  std::uint64_t latestCpu = 0;
};

struct Query {
  std::vector<CounterId> counters;
  std::uint64_t previousTime = 0;
  std::uint64_t latestTime = 0;
};

// Everything below is written by any thread that calls the service, always under serviceMutex.
std::mutex serviceMutex;
std::map<QueryId, Query> queries;
std::map<CounterId, Counter> counters;
std::uintptr_t lastId = 0;
int pidDescriptors = 0;
linux_services::InstanceCache instanceCache("/proc");

std::optional<std::uint64_t> readClock(clockid_t clock) {
  timespec now{};
  if (::clock_gettime(clock, &now) != 0) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

using Reading = std::pair<Counter*, std::optional<std::uint64_t>>;

// Which of the read counters' processes still run under their PID: one poll for all pidfds, and the
// start time from /proc for counters that have none.
std::vector<bool> stillRunning(const std::vector<Reading>& readings) {
  std::vector<bool> running(readings.size(), false);
  std::vector<pollfd> handles;
  std::vector<std::size_t> polled;
  for (std::size_t index = 0; index < readings.size(); ++index) {
    const auto& [counter, cpu] = readings[index];
    if (!cpu) {
      continue;
    }
    if (counter->processHandle.valid()) {
      handles.push_back({counter->processHandle.get(), POLLIN, 0});
      polled.push_back(index);
    } else {
      running[index] =
          linux_services::readStartTime("/proc", counter->process->pid) == counter->process->startTime;
    }
  }
  // A failed poll leaves every revents 0: no process is taken for ended on no information.
  if (!handles.empty()) {
    ::poll(handles.data(), handles.size(), 0);
  }
  for (std::size_t k = 0; k < polled.size(); ++k) {
    running[polled[k]] = (handles[k].revents & POLLIN) == 0;
  }
  return running;
}

// A quarter of the descriptors this process may open, so the toolkit keeps plenty for itself.
int pidDescriptorLimit() {
  static const int limit = [] {
    constexpr rlim_t ceiling = 65536;
    rlimit files{};
    return ::getrlimit(RLIMIT_NOFILE, &files) == 0 ? static_cast<int>(std::min(files.rlim_cur, ceiling) / 4)
                                                   : 0;
  }();
  return limit;
}

// From here on the counter reads as gone; its pidfd is given back at once.
void forgetProcess(Counter& counter) {
  pidDescriptors -= counter.processHandle.valid() ? 1 : 0;
  counter.processHandle = FileDescriptor();
  counter.process.reset();
}

// Binds the counter to its process's CPU clock; the pidfd opened before the start time is checked
// pins exactly that process.
void attachProcess(Counter& counter, InstanceKey key) {
  const auto pid = static_cast<pid_t>(key.pid);
  if (::clock_getcpuclockid(pid, &counter.clock) != 0) {
    return;
  }
  if (pidDescriptors < pidDescriptorLimit()) {
    counter.processHandle = FileDescriptor(::pidfd_open(pid, 0));
    pidDescriptors += counter.processHandle.valid() ? 1 : 0;
  }
  counter.process = key;
  if (linux_services::readStartTime("/proc", key.pid) != key.startTime) {
    forgetProcess(counter);
  }
}

void releaseCounter(std::map<CounterId, Counter>::iterator counter) {
  forgetProcess(counter->second);
  counters.erase(counter);
}

// Every clock is read before the liveness check, so a value read from a PID reused meanwhile is never
// taken.
void sampleCounters(const std::vector<CounterId>& ids) {
  std::vector<Reading> readings;
  readings.reserve(ids.size());
  for (const CounterId id : ids) {
    Counter& counter = counters.at(id);
    readings.emplace_back(&counter, counter.process ? readClock(counter.clock) : std::nullopt);
  }
  const std::vector<bool> running = stillRunning(readings);
  for (std::size_t index = 0; index < readings.size(); ++index) {
    auto& [counter, cpu] = readings[index];
    if (!running[index]) {
      forgetProcess(*counter);
      continue;
    }
    counter->previousCpu = counter->latestCpu;
    counter->latestCpu = *cpu;
    counter->samples = counter->samples < 2 ? counter->samples + 1 : 2;
  }
}

PdhStatus checkPath(const std::string& counterPath, std::optional<InstanceKey>* process) {
  const std::optional<linux_services::CounterPath> path = linux_services::parseCounterPath(counterPath);
  if (!path) {
    linux_services::setLastError(EINVAL);
    return pdhCstatusBadPath;
  }
  if (const PdhStatus status = linux_services::checkObjectAndCounter(*path); status != 0) {
    linux_services::setLastError(ENOENT);
    return status;
  }
  *process = instanceCache.resolve(path->instance);
  return 0;
}

// The formatted value of a counter and its status: valid data needs two samples of a running process.
FormattedValue formatValue(const Counter& counter) {
  if (!counter.process) {
    return {pdhCstatusNoInstance, 0.0};
  }
  const Query& query = queries.at(counter.query);
  if (counter.samples < 2 || query.latestTime <= query.previousTime) {
    return {pdhInvalidData, 0.0};
  }
  const double cpu = static_cast<double>(counter.latestCpu - counter.previousCpu);
  return {0, percent * cpu / static_cast<double>(query.latestTime - query.previousTime)};
}

}  // namespace

PdhStatus openQuery(QueryId* query) {
  if (query == nullptr) {
    return pdhInvalidArgument;
  }
  const std::lock_guard lock(serviceMutex);
  *query = ++lastId;
  queries.emplace(*query, Query{});
  return 0;
}

PdhStatus validatePath(const std::string& counterPath) {
  const std::lock_guard lock(serviceMutex);
  std::optional<InstanceKey> process;
  if (const PdhStatus status = checkPath(counterPath, &process); status != 0) {
    return status;
  }
  return process ? 0 : pdhCstatusNoInstance;
}

// An instance that does not exist still gets a counter, which reads as gone: the process may
// simply have ended since the snapshot.
PdhStatus addCounter(QueryId query, const std::string& counterPath, CounterId* counter) {
  if (counter == nullptr) {
    return pdhInvalidArgument;
  }
  const std::lock_guard lock(serviceMutex);
  const auto owner = queries.find(query);
  if (owner == queries.end()) {
    linux_services::setLastError(EBADF);
    return pdhInvalidHandle;
  }
  std::optional<InstanceKey> process;
  if (const PdhStatus status = checkPath(counterPath, &process); status != 0) {
    return status;
  }
  Counter added;
  added.query = query;
  if (process) {
    attachProcess(added, *process);
  }
  *counter = ++lastId;
  counters.emplace(*counter, std::move(added));
  owner->second.counters.push_back(*counter);
  return 0;
}

PdhStatus collectQueryData(QueryId query) {
  const std::lock_guard lock(serviceMutex);
  const auto found = queries.find(query);
  if (found == queries.end()) {
    return pdhInvalidHandle;
  }
  Query& collected = found->second;
  if (collected.counters.empty()) {
    return pdhCstatusNoData;
  }
  collected.previousTime = collected.latestTime;
  collected.latestTime = readClock(CLOCK_MONOTONIC).value_or(collected.latestTime);
  sampleCounters(collected.counters);
  return 0;
}

PdhStatus getFormattedCounterValue(CounterId counter, std::uint32_t format, std::uint32_t* type,
                                   FormattedValue* value) {
  const std::lock_guard lock(serviceMutex);
  const auto found = counters.find(counter);
  if (found == counters.end()) {
    return pdhInvalidHandle;
  }
  if (value == nullptr || (format & pdhFmtDouble) == 0) {
    return pdhInvalidArgument;
  }
  if (type != nullptr) {
    *type = perf100NsecTimer;
  }
  *value = formatValue(found->second);
  return value->cStatus;
}

PdhStatus closeQuery(QueryId query) {
  const std::lock_guard lock(serviceMutex);
  const auto found = queries.find(query);
  if (found == queries.end()) {
    return pdhInvalidHandle;
  }
  for (const CounterId id : found->second.counters) {
    releaseCounter(counters.find(id));
  }
  queries.erase(found);
  return 0;
}

PdhStatus callLookupPerfNameByIndex(RoutineAddress routine, std::uint32_t nameIndex, char* buffer,
                                    std::uint32_t* capacity) {
  if (routine == 0) {
    return pdhInvalidArgument;
  }
  using Lookup = PdhStatus (*)(const char*, std::uint32_t, char*, std::uint32_t*);
  return reinterpret_cast<Lookup>(routine)(nullptr, nameIndex, buffer, capacity);
}

}  // namespace proccpu::platform
