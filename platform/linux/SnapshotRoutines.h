// The Linux bodies of the snapshot routines that the core finds by name in "kernel32.dll".
#pragma once

#include "platform/ProcessRecord.h"

#include <cstdint>

namespace proccpu::platform::linux_services {

/// CreateToolhelp32Snapshot: reads /proc whole now. Returns a new handle, or invalidHandleValue with the
/// last error set when /proc cannot be read.
std::uint32_t createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId);

/// Process32First: copies the snapshot's first record. 0 for an unknown handle, a bad dwSize or none.
std::uint32_t process32First(std::uint32_t snapshot, ProcessRecord* record);

/// Process32Next: copies the record after the last one copied. 0 when there are no more.
std::uint32_t process32Next(std::uint32_t snapshot, ProcessRecord* record);

}  // namespace proccpu::platform::linux_services
