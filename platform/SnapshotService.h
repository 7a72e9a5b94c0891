// The process snapshot service: the three snapshot routines, called through addresses found by name.
#pragma once

#include "platform/DynamicLibrary.h"
#include "platform/ProcessRecord.h"

#include <cstdint>
#include <string_view>

namespace proccpu::platform {

/// Name of the library that holds the snapshot routines.
inline constexpr const char* snapshotLibraryName = "kernel32.dll";
inline constexpr std::uint32_t th32csSnapProcess = 2;
/// The value the snapshot routine returns when the system refuses a snapshot (not 0).
inline constexpr std::uint32_t invalidHandleValue = 0xFFFFFFFFu;

/// Calls "CreateToolhelp32Snapshot" at this address with (flags, processId). Returns the routine's
/// result unchanged: a snapshot handle, or invalidHandleValue when the system refuses. 0 if routine is 0.
std::uint32_t callCreateSnapshot(RoutineAddress routine, std::uint32_t flags, std::uint32_t processId);

/// Calls "Process32First" or "Process32Next" at this address with the snapshot handle and the
/// record's address. The record's dwSize must be 296. Returns nonzero when the record was filled,
/// 0 when there are no more records, the handle is not a snapshot, or the routine is 0.
std::uint32_t callReadProcess(RoutineAddress routine, std::uint32_t snapshot, ProcessRecord* record);

/// Closes a snapshot handle (CloseHandle). Returns false when the handle is not open.
bool closeHandle(std::uint32_t handle);

/// The characters that end a directory part in szExeFile: "\\/" where records may hold paths. Empty
/// where records hold bare names that may contain any byte but NUL (so no character is a separator).
std::string_view imagePathSeparators();

}  // namespace proccpu::platform
