// Readings of one process at several collect intervals, from the counter service and from ticks.
#include "bench/Accuracy.h"

#include "bench/StatLine.h"
#include "platform/CounterService.h"
#include "platform/linux/CounterNames.h"

#include <time.h>

#include <cmath>
#include <optional>

namespace proccpu::bench {

namespace {

namespace pf = platform;

constexpr std::int64_t baseStepNs = 5'000'000;  // every interval is a whole number of steps
constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr std::int64_t nsPerMs = 1'000'000;
constexpr int intervalsMs[] = {15, 60, 1000};
constexpr double percent = 100.0;

std::int64_t readNs(clockid_t clock) {
  timespec time{};
  if (::clock_gettime(clock, &time) != 0) return -1;
  return static_cast<std::int64_t>(time.tv_sec) * nsPerSecond + time.tv_nsec;
}

// Where a process stood at one moment: wall time, CPU clock and utime+stime.
struct Mark {
  std::int64_t wallNs;
  std::int64_t cpuNs;
  std::uint64_t ticks;
};

struct Reading {
  double service;
  double ticks;
  double windowLow;  // the least and most the CPU clock can show over the service's own window
  double windowHigh;
};

// One query with one counter of the process, collected every intervalMs. The marks taken right before
// and right after each collect bracket the moments at which the service read its clocks.
struct IntervalRun {
  int intervalMs = 0;
  pf::QueryId query = 0;
  pf::CounterId counter = 0;
  std::optional<Mark> previousBefore;
  std::optional<Mark> previousAfter;
  std::vector<Reading> readings;
};

// The clocks are read next to the collect, and the slower ticks on the far side of them.
std::optional<Mark> markOf(std::uint32_t pid, clockid_t cpuClock, bool beforeCollect) {
  const std::optional<std::uint64_t> ticksFirst = beforeCollect ? readCpuTicks(pid) : std::nullopt;
  const std::int64_t cpuNs = readNs(cpuClock);
  const std::int64_t wallNs = readNs(CLOCK_MONOTONIC);
  const std::optional<std::uint64_t> ticks = beforeCollect ? ticksFirst : readCpuTicks(pid);
  if (cpuNs < 0 || !ticks) return std::nullopt;
  return Mark{wallNs, cpuNs, *ticks};
}

double percentOf(std::int64_t cpuNs, std::int64_t wallNs) {
  return wallNs > 0 ? percent * static_cast<double>(cpuNs) / static_cast<double>(wallNs) : 0.0;
}

Reading readingOf(const IntervalRun& run, const Mark& before, const Mark& after, double service) {
  const Mark& startBefore = *run.previousBefore;
  const Mark& startAfter = *run.previousAfter;
  const auto usedNs =
      static_cast<std::int64_t>((after.ticks - startAfter.ticks) * static_cast<std::uint64_t>(tickNs()));
  return {service, percentOf(usedNs, after.wallNs - startAfter.wallNs),
          percentOf(before.cpuNs - startAfter.cpuNs, after.wallNs - startBefore.wallNs),
          percentOf(after.cpuNs - startBefore.cpuNs, before.wallNs - startAfter.wallNs)};
}

void collect(IntervalRun& run, std::uint32_t pid, clockid_t cpuClock) {
  const std::optional<Mark> before = markOf(pid, cpuClock, true);
  pf::collectQueryData(run.query);
  const std::optional<Mark> after = markOf(pid, cpuClock, false);
  if (!before || !after) return;
  std::uint32_t type = 0;
  pf::FormattedValue value{};
  const pf::PdhStatus status = pf::getFormattedCounterValue(run.counter, pf::pdhFmtDouble, &type, &value);
  if (run.previousAfter && status == 0)
    run.readings.push_back(readingOf(run, *before, *after, value.doubleValue));
  run.previousBefore = before;
  run.previousAfter = after;
}

IntervalTotals totalsOf(const IntervalRun& run, double truth) {
  IntervalTotals totals;
  totals.intervalMs = run.intervalMs;
  for (const Reading& reading : run.readings) {
    ++totals.readings;
    totals.serviceError += std::abs(reading.service - truth);
    totals.tickError += std::abs(reading.ticks - truth);
    totals.serviceZeros += reading.service == 0.0 ? 1 : 0;
    totals.tickZeros += reading.ticks == 0.0 ? 1 : 0;
    const double deviation =
        std::max({0.0, reading.windowLow - reading.service, reading.service - reading.windowHigh});
    totals.windowsWithin += deviation <= windowTolerance ? 1 : 0;
    totals.windowMaxDeviation = std::max(totals.windowMaxDeviation, deviation);
  }
  return totals;
}

bool openRuns(std::vector<IntervalRun>& runs, const std::string& instance) {
  const std::string path = "\\" + std::string(pf::linux_services::processObjectName) + "(" + instance +
                           ")\\" + std::string(pf::linux_services::processorTimeName);
  for (IntervalRun& run : runs) {
    if (pf::openQuery(&run.query) != 0 || pf::addCounter(run.query, path, &run.counter) != 0) return false;
  }
  return true;
}

void sleepUntil(std::int64_t wakeNs) {
  const timespec wake{static_cast<time_t>(wakeNs / nsPerSecond), static_cast<long>(wakeNs % nsPerSecond)};
  ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
}

}  // namespace

std::vector<IntervalTotals> emptyTotals() {
  std::vector<IntervalTotals> totals;
  for (const int intervalMs : intervalsMs) {
    totals.emplace_back();
    totals.back().intervalMs = intervalMs;
  }
  return totals;
}

std::vector<IntervalTotals> measureLoad(std::uint32_t pid, const std::string& instance, int seconds) {
  std::vector<IntervalRun> runs;
  for (const int intervalMs : intervalsMs) {
    runs.emplace_back();
    runs.back().intervalMs = intervalMs;
  }
  clockid_t cpuClock{};
  if (::clock_getcpuclockid(static_cast<pid_t>(pid), &cpuClock) != 0 || !openRuns(runs, instance)) {
    return emptyTotals();
  }
  const std::int64_t start = readNs(CLOCK_MONOTONIC);
  const std::int64_t steps = seconds * nsPerSecond / baseStepNs;
  const std::optional<Mark> first = markOf(pid, cpuClock, false);
  for (std::int64_t step = 0; step <= steps; ++step) {
    sleepUntil(start + step * baseStepNs);
    for (IntervalRun& run : runs) {
      if (step % (run.intervalMs * nsPerMs / baseStepNs) == 0) collect(run, pid, cpuClock);
    }
  }
  const std::optional<Mark> last = markOf(pid, cpuClock, false);
  std::vector<IntervalTotals> totals = emptyTotals();
  if (!first || !last) return totals;
  // The whole-run truth: the process's CPU clock from the first collect to the last.
  const double truth = percent * static_cast<double>(last->cpuNs - first->cpuNs) /
                       static_cast<double>(last->wallNs - first->wallNs);
  for (std::size_t k = 0; k < runs.size(); ++k) {
    totals[k] = totalsOf(runs[k], truth);
    pf::closeQuery(runs[k].query);
  }
  return totals;
}

}  // namespace proccpu::bench
