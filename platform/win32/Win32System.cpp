// System information, last error codes and the system's error texts.
#include "platform/SystemInfo.h"
#include "platform/win32/WinApi.h"

#include <array>

namespace proccpu::platform {

namespace {

constexpr DWORD errorTextCapacity = 256;

}  // namespace

std::uint32_t processorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

std::uint32_t lastErrorCode() { return GetLastError(); }

std::string systemErrorText(std::uint32_t code) {
  std::array<char, errorTextCapacity> buffer{};
  // Without IGNORE_INSERTS a text such as "%1 is not a valid application" would make the system read
  // insertion values from an argument list that we do not pass; ignoring them keeps the markers as text.
  constexpr DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = FormatMessageA(flags, nullptr, code, 0, buffer.data(), errorTextCapacity, nullptr);
  if (length == 0) return {};
  return std::string(buffer.data(), length < errorTextCapacity ? length : errorTextCapacity - 1);
}

}  // namespace proccpu::platform
