// Loaded into the program under test with LD_PRELOAD: counts its 5 ms and 10 ms relative sleeps in a
// shared file, so the benchmark knows exactly how many rows the sampler refreshed. Adds one atomic
// increment to each sleep and changes nothing else.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr long fiveMsNs = 5'000'000;
constexpr long tenMsNs = 10'000'000;

constexpr std::size_t slots = 4;

// [0], [1]: the number of 5 ms sleeps (one per row the sampler reads) and of 10 ms sleeps (one per pass
// and per listed row); [2], [3]: the nanoseconds they took.
std::atomic<std::uint64_t>* counts() {
  static std::atomic<std::uint64_t>* const shared = []() -> std::atomic<std::uint64_t>* {
    const char* path = std::getenv("PROCCPU_SLEEP_COUNTS");
    const int fd = path != nullptr ? ::open(path, O_RDWR | O_CLOEXEC) : -1;
    if (fd < 0) return nullptr;
    void* mapped = ::mmap(nullptr, slots * sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return mapped == MAP_FAILED ? nullptr : static_cast<std::atomic<std::uint64_t>*>(mapped);
  }();
  return shared;
}

using Sleep = int (*)(clockid_t, int, const timespec*, timespec*);

std::uint64_t monotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

}  // namespace

extern "C" int clock_nanosleep(clockid_t clock, int flags, const timespec* request, timespec* remaining) {
  static const auto next = reinterpret_cast<Sleep>(::dlsym(RTLD_NEXT, "clock_nanosleep"));
  std::atomic<std::uint64_t>* shared = counts();
  const bool relative = flags == 0 && request != nullptr && request->tv_sec == 0;
  const std::size_t kind = !relative                      ? slots
                           : request->tv_nsec == fiveMsNs ? 0
                           : request->tv_nsec == tenMsNs  ? 1
                                                          : slots;
  if (shared == nullptr || kind == slots) return next(clock, flags, request, remaining);
  const std::uint64_t start = monotonicNs();
  const int result = next(clock, flags, request, remaining);
  shared[kind].fetch_add(1, std::memory_order_relaxed);
  shared[kind + 2].fetch_add(monotonicNs() - start, std::memory_order_relaxed);
  return result;
}
