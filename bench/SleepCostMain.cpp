// The floor under the sampler's cost per row: the processor time that one 5 ms sleep and the wake-up
// after it cost on this machine, with nothing else done.
#include <time.h>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int sleeps = 400;
constexpr long sleepNs = 5'000'000;

std::int64_t cpuNs() {
  timespec time{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

int main() {
  const std::int64_t start = cpuNs();
  for (int k = 0; k < sleeps; ++k) {
    timespec remaining{0, sleepNs};
    ::clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining);
  }
  std::printf("sleepcost us_per_sleep=%.2f\n", static_cast<double>(cpuNs() - start) / 1000.0 / sleeps);
  return 0;
}
