// The one door through which the Windows headers enter the backend, with small owners of OS resources.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Lean mode drops these; each serves one service of the backend.
#include <commctrl.h>
#include <mmsystem.h>
#include <pdh.h>
#include <tlhelp32.h>

#include "platform/ProcessRecord.h"

#include <cstddef>
#include <cstdint>

namespace proccpu::platform::win32 {

// The snapshot routines fill our record in place, so it must be PROCESSENTRY32 byte for byte.
using SystemProcessRecord = tagPROCESSENTRY32;
static_assert(sizeof(SystemProcessRecord) == sizeof(ProcessRecord));
static_assert(offsetof(SystemProcessRecord, dwSize) == offsetof(ProcessRecord, dwSize));
static_assert(offsetof(SystemProcessRecord, cntUsage) == offsetof(ProcessRecord, cntUsage));
static_assert(offsetof(SystemProcessRecord, th32ProcessID) == offsetof(ProcessRecord, th32ProcessID));
static_assert(offsetof(SystemProcessRecord, th32DefaultHeapID) == offsetof(ProcessRecord, th32DefaultHeapID));
static_assert(offsetof(SystemProcessRecord, th32ModuleID) == offsetof(ProcessRecord, th32ModuleID));
static_assert(offsetof(SystemProcessRecord, cntThreads) == offsetof(ProcessRecord, cntThreads));
static_assert(offsetof(SystemProcessRecord, th32ParentProcessID) ==
              offsetof(ProcessRecord, th32ParentProcessID));
static_assert(offsetof(SystemProcessRecord, pcPriClassBase) == offsetof(ProcessRecord, pcPriClassBase));
static_assert(offsetof(SystemProcessRecord, dwFlags) == offsetof(ProcessRecord, dwFlags));
static_assert(offsetof(SystemProcessRecord, szExeFile) == offsetof(ProcessRecord, szExeFile));
static_assert(sizeof(SystemProcessRecord::szExeFile) == imageNameCapacity);

// The counter value crosses the interface field by field, so only the two fields we copy must exist.
static_assert(sizeof(PDH_FMT_COUNTERVALUE::CStatus) == sizeof(std::uint32_t));
static_assert(sizeof(PDH_FMT_COUNTERVALUE::doubleValue) == sizeof(double));

/// Integer ids of the interfaces and the handles they stand for.
template <typename Handle>
Handle fromId(std::uintptr_t id) {
  return reinterpret_cast<Handle>(id);
}
template <typename Handle>
std::uintptr_t toId(Handle handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

/// Owns one OS resource and releases it once; movable so that owners can sit in containers.
template <typename Handle, typename Release>
class Owned {
 public:
  explicit Owned(Handle handle) : handle_(handle) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  Handle get() const { return handle_; }

 private:
  void reset() {
    if (handle_ != nullptr) Release{}(handle_);
    handle_ = nullptr;
  }
  Handle handle_;
};

struct CloseKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct ReleaseLibrary {
  void operator()(HMODULE library) const { FreeLibrary(library); }
};
using OwnedHandle = Owned<HANDLE, CloseKernelHandle>;
using OwnedLibrary = Owned<HMODULE, ReleaseLibrary>;

/// Raises the system timer resolution to 1 ms for the lifetime of the object.
class TimerPeriod {
 public:
  TimerPeriod() : raised_(timeBeginPeriod(periodMs) == TIMERR_NOERROR) {}
  ~TimerPeriod() {
    if (raised_) timeEndPeriod(periodMs);
  }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;

 private:
  static constexpr UINT periodMs = 1;
  bool raised_;
};

/// Backend-internal: what the toolkit's shutdown releases on behalf of the other services.
void closeThreadHandles();
void freeLoadedLibraries();

}  // namespace proccpu::platform::win32
