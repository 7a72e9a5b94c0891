// Burns a known share of one core for the end-to-end test, with two idle threads and one child.
// Usage: proccpu_e2e_busy PERCENT SLEEPER  (SLEEPER is a sleep binary started as this process's child)
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

constexpr long periodNanoseconds = 20'000'000;
constexpr int idleThreads = 2;
constexpr char sleepSeconds[] = "300";

long processCpuNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1'000'000'000L + now.tv_nsec;
}

// Spins on processor time, not wall time, so a busy machine lowers the duty cycle less.
[[noreturn]] void burn(int percent) {
  const long busy = periodNanoseconds * percent / 100;
  const auto idle = std::chrono::nanoseconds(periodNanoseconds - busy);
  for (;;) {
    const long start = processCpuNanoseconds();
    while (processCpuNanoseconds() - start < busy) {
    }
    std::this_thread::sleep_for(idle);
  }
}

pid_t startSleeper(char* path) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  char* args[] = {path, const_cast<char*>(sleepSeconds), nullptr};
  execv(path, args);
  _exit(127);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int percent = std::atoi(argv[1]);
  if (percent < 0 || percent > 100) return 2;
  const pid_t sleeper = startSleeper(argv[2]);
  // The sleeper ends with this process: it dies with its parent.
  std::printf("sleeper %d\n", static_cast<int>(sleeper));
  std::fflush(stdout);
  for (int i = 0; i < idleThreads; ++i) {
    std::thread([] { pause(); }).detach();
  }
  burn(percent);
}
