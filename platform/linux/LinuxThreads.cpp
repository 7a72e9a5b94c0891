// The worker thread and millisecond waits on Linux.
#include "platform/Threads.h"
#include "platform/linux/LastError.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>

namespace proccpu::platform {

namespace {
void* runBody(void* body) {
  reinterpret_cast<void (*)()>(body)();
  return nullptr;
}
}  // namespace

bool startThread(void (*body)()) {
  if (body == nullptr) {
    return false;
  }
  // pthread_create reports failure as a value, where std::thread would throw.
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) {
    return false;
  }
  ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int result = ::pthread_create(&thread, &attributes, runBody, reinterpret_cast<void*>(body));
  ::pthread_attr_destroy(&attributes);
  if (result != 0) {
    linux_services::setLastError(result);
    return false;
  }
  return true;
}

// Linux timers are already fine-grained, so there is no timer resolution to raise around the wait.
void waitMilliseconds(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000u),
                     static_cast<long>(milliseconds % 1000u) * 1'000'000L};
  while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &remaining, &remaining) == EINTR) {
  }
}

}  // namespace proccpu::platform
