// Accuracy of the CPU readings: a load of known shape read through our counter service and through the
// tick-based utime+stime of /proc/PID/stat over the same windows, against the load's own CPU clock.
#include "bench/Accuracy.h"

#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

using proccpu::bench::IntervalTotals;

constexpr int scenarioSeconds = 10;
// Where allowed, the load runs under a real-time policy so that it gets the processor time it asks for
// even on a busy machine, and the readings next to the collects, one step higher, are not delayed.
constexpr int loadPriority = 1;
constexpr int driverPriority = 2;
constexpr int warmUpMs = 1200;  // longer than the counter service's instance table stays fresh

struct Scenario {
  const char* name;
  std::vector<std::string> percents;
};

pid_t startLoad(const std::string& loadPath, const Scenario& scenario) {
  std::vector<std::string> arguments{loadPath, std::to_string(scenarioSeconds + 5)};
  arguments.insert(arguments.end(), scenario.percents.begin(), scenario.percents.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  if (::sched_getscheduler(0) == SCHED_FIFO) {
    const sched_param load{loadPriority};
    ::posix_spawnattr_setschedpolicy(&attributes, SCHED_FIFO);
    ::posix_spawnattr_setschedparam(&attributes, &load);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
  }
  pid_t pid = 0;
  const int result = ::posix_spawn(&pid, loadPath.c_str(), nullptr, &attributes, argv.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  return result == 0 ? pid : 0;
}

void stopLoad(pid_t pid) {
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

void printTotals(const char* label, const IntervalTotals& totals) {
  std::printf(
      "%s interval_ms=%d readings=%d service_mae=%.4f tick_mae=%.4f service_zero=%.4f tick_zero=%.4f "
      "ratio=%.2f window_within=%.4f window_max=%.4f\n",
      label, totals.intervalMs, totals.readings, totals.serviceMae(), totals.tickMae(),
      totals.serviceZeroShare(), totals.tickZeroShare(), totals.errorRatio(), totals.windowWithinShare(),
      totals.windowMaxDeviation);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LOAD_PROGRAM\n", argv[0]);
    return 2;
  }
  const sched_param driver{driverPriority};
  const bool realTime = ::sched_setscheduler(0, SCHED_FIFO, &driver) == 0;
  std::printf("accuracy-setup policy=%s\n", realTime ? "fifo" : "normal");
  const std::string loadPath = argv[1];
  const std::string instance = loadPath.substr(loadPath.rfind('/') + 1);
  const std::vector<Scenario> scenarios{{"30", {"30"}}, {"70", {"70"}}, {"20+50", {"20", "50"}}};
  std::vector<IntervalTotals> pooled = proccpu::bench::emptyTotals();
  for (const Scenario& scenario : scenarios) {
    const pid_t load = startLoad(loadPath, scenario);
    if (load == 0) {
      std::fprintf(stderr, "cannot start %s\n", loadPath.c_str());
      return 1;
    }
    ::usleep(warmUpMs * 1000);
    const std::vector<IntervalTotals> totals =
        proccpu::bench::measureLoad(static_cast<std::uint32_t>(load), instance, scenarioSeconds);
    stopLoad(load);
    for (std::size_t k = 0; k < totals.size(); ++k) {
      if (totals[k].readings == 0) {
        std::fprintf(stderr, "no readings of %s at %d ms\n", instance.c_str(), totals[k].intervalMs);
        return 1;
      }
      printTotals((std::string("accuracy-load load=") + scenario.name).c_str(), totals[k]);
      pooled[k].add(totals[k]);
    }
  }
  for (const IntervalTotals& totals : pooled) printTotals("accuracy", totals);
  return 0;
}
