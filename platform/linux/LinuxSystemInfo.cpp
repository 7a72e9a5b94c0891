// System information and error texts on Linux: online processors, errno texts, a per-thread last error.
#include "platform/SystemInfo.h"
#include "platform/linux/LastError.h"

#include <string.h>
#include <unistd.h>

#include <climits>

namespace proccpu::platform {

namespace {
// Written only by the services running on this thread.
thread_local std::uint32_t lastError = 0;
constexpr std::size_t maxErrorTextBytes = 255;
}  // namespace

void linux_services::setLastError(int code) { lastError = static_cast<std::uint32_t>(code); }

std::uint32_t processorCount() {
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online < 1 ? 1u : static_cast<std::uint32_t>(online);
}

std::uint32_t lastErrorCode() { return lastError; }

std::string systemErrorText(std::uint32_t code) {
  if (code > static_cast<std::uint32_t>(INT_MAX)) {
    return {};
  }
  // strerrordesc_np gives no "Unknown error N" filler, so an unknown code reads as empty.
  const char* text = ::strerrordesc_np(static_cast<int>(code));
  if (text == nullptr) {
    return {};
  }
  std::string result(text);
  if (result.size() > maxErrorTextBytes) {
    result.resize(maxErrorTextBytes);
  }
  return result;
}

}  // namespace proccpu::platform
