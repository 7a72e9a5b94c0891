// System information and the system's error texts.
#pragma once

#include <cstdint>
#include <string>

namespace proccpu::platform {

/// The number of processors (GetSystemInfo's dwNumberOfProcessors). Never fails; at least 1.
std::uint32_t processorCount();

/// The calling thread's last system error code (GetLastError); 0 when none was set.
std::uint32_t lastErrorCode();

/// The system's text for this error code (FormatMessageA from the system table, language 0), at most 255
/// bytes. Insertion markers such as %1 are left as they stand: no insertion value is ever read. Returns
/// the empty text when the system has no text for the code or the request fails.
std::string systemErrorText(std::uint32_t code);

}  // namespace proccpu::platform
