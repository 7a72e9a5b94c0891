// The reference for our own cost: a minimal tick-based refresher that, every 0.5 s, reads
// /proc/PID/stat of every process and writes one formatted line per process, as terminal process lists
// do. It reports its CPU time per process refresh when the given number of seconds is over.
#include "bench/StatLine.h"

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace {

using proccpu::bench::StatLine;

constexpr std::int64_t refreshNs = 500'000'000;
constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr double percent = 100.0;

std::int64_t readNs(clockid_t clock) {
  timespec time{};
  ::clock_gettime(clock, &time);
  return static_cast<std::int64_t>(time.tv_sec) * nsPerSecond + time.tv_nsec;
}

void appendLine(std::string& screen, const StatLine& line, double cpu) {
  char text[160];
  const int length = std::snprintf(text, sizeof text, "%7u %-16.*s %c %7u %3d %3d %5u %6.1f\n", line.pid,
                                   static_cast<int>(line.comm.size()), line.comm.data(), line.state,
                                   line.parentPid, line.priority, line.nice, line.threadCount, cpu);
  if (length > 0) screen.append(text, std::min(static_cast<std::size_t>(length), sizeof text - 1));
}

// One refresh: every process's line, its CPU share from the ticks since the previous refresh.
int refresh(std::unordered_map<std::uint32_t, std::uint64_t>& previousTicks, double elapsedNs) {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return 0;
  std::string screen;
  std::string buffer;
  std::unordered_map<std::uint32_t, std::uint64_t> ticks;
  int processes = 0;
  while (const dirent* entry = ::readdir(proc)) {
    std::uint32_t pid = 0;
    const std::string_view name = entry->d_name;
    if (std::from_chars(name.data(), name.data() + name.size(), pid).ptr != name.data() + name.size())
      continue;
    const auto line = proccpu::bench::readStatLine(pid, buffer);
    if (!line) continue;
    const std::uint64_t used = line->userTicks + line->systemTicks;
    const auto before = previousTicks.find(pid);
    const double cpu = before == previousTicks.end() || elapsedNs <= 0.0
                           ? 0.0
                           : percent *
                                 static_cast<double>((used - before->second) *
                                                     static_cast<std::uint64_t>(proccpu::bench::tickNs())) /
                                 elapsedNs;
    appendLine(screen, *line, cpu);
    ticks.emplace(pid, used);
    ++processes;
  }
  ::closedir(proc);
  previousTicks.swap(ticks);
  ssize_t written = ::write(STDOUT_FILENO, screen.data(), screen.size());
  static_cast<void>(written);
  return processes;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 0;
  if (argc != 2 ||
      std::from_chars(argv[1], argv[1] + std::string_view(argv[1]).size(), seconds).ec != std::errc{} ||
      seconds <= 0) {
    std::fprintf(stderr, "usage: %s SECONDS\n", argv[0]);
    return 2;
  }
  std::unordered_map<std::uint32_t, std::uint64_t> previousTicks;
  const std::int64_t cpuStart = readNs(CLOCK_PROCESS_CPUTIME_ID);
  const std::int64_t start = readNs(CLOCK_MONOTONIC);
  long refreshes = 0;
  long processRefreshes = 0;
  for (std::int64_t wakeNs = start; wakeNs < start + seconds * nsPerSecond; wakeNs += refreshNs) {
    const timespec wake{static_cast<time_t>(wakeNs / nsPerSecond), static_cast<long>(wakeNs % nsPerSecond)};
    ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
    processRefreshes += refresh(previousTicks, refreshes == 0 ? 0.0 : static_cast<double>(refreshNs));
    ++refreshes;
  }
  const std::int64_t cpuNs = readNs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  std::fprintf(stderr, "refresher refreshes=%ld process_refreshes=%ld cpu_ns=%lld\n", refreshes,
               processRefreshes, static_cast<long long>(cpuNs));
  return 0;
}
