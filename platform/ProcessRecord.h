// The 296-byte process record that the snapshot service fills, laid out identically on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace proccpu {

inline constexpr std::size_t imageNameCapacity = 260;

// Field names follow the record of the Windows snapshot service, so the Win32 backend can hand it the
// record's address unchanged. Only pid, parent, threads, priority and image name are read.
struct ProcessRecord {
  std::uint32_t dwSize;
  std::uint32_t cntUsage;
  std::uint32_t th32ProcessID;
  std::uint32_t th32DefaultHeapID;  // a pointer-sized field on 32-bit Windows, carried along unread
  std::uint32_t th32ModuleID;
  std::uint32_t cntThreads;
  std::uint32_t th32ParentProcessID;
  std::int32_t pcPriClassBase;
  std::uint32_t dwFlags;
  char szExeFile[imageNameCapacity];
};

inline constexpr std::uint32_t processRecordSize = 296;

static_assert(sizeof(ProcessRecord) == processRecordSize);
static_assert(offsetof(ProcessRecord, dwSize) == 0);
static_assert(offsetof(ProcessRecord, th32ProcessID) == 8);
static_assert(offsetof(ProcessRecord, cntThreads) == 20);
static_assert(offsetof(ProcessRecord, th32ParentProcessID) == 24);
static_assert(offsetof(ProcessRecord, pcPriClassBase) == 28);
static_assert(offsetof(ProcessRecord, dwFlags) == 32);
static_assert(offsetof(ProcessRecord, szExeFile) == 36);

}  // namespace proccpu
