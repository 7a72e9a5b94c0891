// A CPU load of known shape: one thread per share of a core, each busy for its share of every 1 ms
// slice and asleep for the rest, until the given number of seconds has passed.
#include <pthread.h>
#include <time.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr std::int64_t sliceNs = 1'000'000;
constexpr std::int64_t nsPerSecond = 1'000'000'000;
constexpr int maxThreads = 8;
constexpr int maxSeconds = 3600;

std::int64_t now(clockid_t clock) {
  timespec time{};
  ::clock_gettime(clock, &time);
  return static_cast<std::int64_t>(time.tv_sec) * nsPerSecond + time.tv_nsec;
}

struct Duty {
  double share = 0.0;  // of one core, 0..1
  std::int64_t endNs = 0;
};

// Busy until this thread has used its share of the slice (or the slice is over), then asleep until the
// slice ends. A slice missed under contention is not made up later, so no burst follows a stall.
void* burn(void* argument) {
  const Duty& duty = *static_cast<const Duty*>(argument);
  const auto busyNs = static_cast<std::int64_t>(duty.share * static_cast<double>(sliceNs));
  std::int64_t sliceStart = now(CLOCK_MONOTONIC);
  while (sliceStart < duty.endNs) {
    const std::int64_t sliceEnd = sliceStart + sliceNs;
    const std::int64_t cpuStart = now(CLOCK_THREAD_CPUTIME_ID);
    while (now(CLOCK_THREAD_CPUTIME_ID) - cpuStart < busyNs && now(CLOCK_MONOTONIC) < sliceEnd) {
    }
    const timespec wake{static_cast<time_t>(sliceEnd / nsPerSecond),
                        static_cast<long>(sliceEnd % nsPerSecond)};
    ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
    const std::int64_t current = now(CLOCK_MONOTONIC);
    sliceStart = current - sliceEnd >= sliceNs ? current : sliceEnd;
  }
  return nullptr;
}

bool parseWhole(std::string_view text, int limit, int& number) {
  const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && last == text.data() + text.size() && number >= 0 && number <= limit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc - 2 > maxThreads) {
    std::fprintf(stderr, "usage: %s SECONDS PERCENT [PERCENT...]\n", argv[0]);
    return 2;
  }
  int seconds = 0;
  if (!parseWhole(argv[1], maxSeconds, seconds)) return 2;
  std::vector<Duty> duties(static_cast<std::size_t>(argc - 2));
  const std::int64_t endNs = now(CLOCK_MONOTONIC) + seconds * nsPerSecond;
  for (std::size_t k = 0; k < duties.size(); ++k) {
    int percent = 0;
    if (!parseWhole(argv[k + 2], 100, percent)) return 2;
    duties[k] = {percent / 100.0, endNs};
  }
  std::vector<pthread_t> threads(duties.size());
  for (std::size_t k = 0; k < duties.size(); ++k) {
    if (::pthread_create(&threads[k], nullptr, burn, &duties[k]) != 0) return 1;
  }
  for (const pthread_t thread : threads) ::pthread_join(thread, nullptr);
  return 0;
}
