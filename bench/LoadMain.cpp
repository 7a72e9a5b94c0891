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
constexpr std::int64_t maxOwedNs = 4'000'000;
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

// Busy while this thread has used less than its share of the time since it started, then asleep until
// the slice ends, so every window of a few slices gets its share. Time taken from the thread (by other
// work or by the host of a virtual machine) is made up in the following slices, but never more than
// maxOwedNs of it, so a long stall is not followed by a long burst.
void* burn(void* argument) {
  const Duty& duty = *static_cast<const Duty*>(argument);
  std::int64_t startNs = now(CLOCK_MONOTONIC);
  const std::int64_t cpuStartNs = now(CLOCK_THREAD_CPUTIME_ID);
  const auto owed = [&](std::int64_t wallNs) {
    return static_cast<std::int64_t>(duty.share * static_cast<double>(wallNs - startNs)) -
           (now(CLOCK_THREAD_CPUTIME_ID) - cpuStartNs);
  };
  for (std::int64_t sliceEnd = startNs + sliceNs; sliceEnd < duty.endNs; sliceEnd += sliceNs) {
    std::int64_t current = now(CLOCK_MONOTONIC);
    if (const std::int64_t excess = owed(current) - maxOwedNs; excess > 0) {
      startNs += static_cast<std::int64_t>(static_cast<double>(excess) / duty.share);
    }
    while (current < sliceEnd && owed(current) > 0) current = now(CLOCK_MONOTONIC);
    const timespec wake{static_cast<time_t>(sliceEnd / nsPerSecond),
                        static_cast<long>(sliceEnd % nsPerSecond)};
    ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
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
