// Libraries loaded by file name and routines found by name, and the three snapshot routines called by
// address.
#include "platform/DynamicLibrary.h"
#include "platform/SnapshotService.h"
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <vector>

namespace proccpu::platform {

namespace {

// Loaded by the user-interface thread only; the toolkit's shutdown frees what is still loaded.
std::vector<win32::OwnedLibrary>& loadedLibraries() {
  static auto* libraries =
      new std::vector<win32::OwnedLibrary>();  // never destroyed: the shutdown may run late
  return *libraries;
}

using CreateSnapshotRoutine = HANDLE(WINAPI*)(DWORD, DWORD);
using ReadProcessRoutine = BOOL(WINAPI*)(HANDLE, win32::SystemProcessRecord*);

}  // namespace

LibraryId loadLibrary(const std::string& fileName) {
  HMODULE library = LoadLibraryA(fileName.c_str());
  if (library != nullptr) loadedLibraries().emplace_back(library);
  return win32::toId(library);
}

RoutineAddress findRoutine(LibraryId library, const std::string& routineName) {
  if (library == 0) return 0;
  return reinterpret_cast<RoutineAddress>(
      GetProcAddress(win32::fromId<HMODULE>(library), routineName.c_str()));
}

bool freeLibrary(LibraryId library) {
  auto& loaded = loadedLibraries();
  const auto found = std::find_if(loaded.begin(), loaded.end(), [library](const win32::OwnedLibrary& owned) {
    return win32::toId(owned.get()) == library;
  });
  // An unknown id is refused rather than handed to the system, which may not check it.
  if (library == 0 || found == loaded.end()) return false;
  loaded.erase(found);  // its owner releases the library
  return true;
}

std::uint32_t callCreateSnapshot(RoutineAddress routine, std::uint32_t flags, std::uint32_t processId) {
  if (routine == 0) return 0;
  const auto createSnapshot = reinterpret_cast<CreateSnapshotRoutine>(routine);
  // Handles are 32 bits wide in this 32-bit program.
  return static_cast<std::uint32_t>(win32::toId(createSnapshot(flags, processId)));
}

std::uint32_t callReadProcess(RoutineAddress routine, std::uint32_t snapshot, ProcessRecord* record) {
  if (routine == 0) return 0;
  const auto readProcess = reinterpret_cast<ReadProcessRoutine>(routine);
  // The layouts are asserted equal in WinApi.h, so the system fills our record in place.
  auto* systemRecord = reinterpret_cast<win32::SystemProcessRecord*>(record);
  return static_cast<std::uint32_t>(readProcess(win32::fromId<HANDLE>(snapshot), systemRecord));
}

bool closeHandle(std::uint32_t handle) { return CloseHandle(win32::fromId<HANDLE>(handle)) != FALSE; }

std::string_view imagePathSeparators() { return "\\/"; }

namespace win32 {

void freeLoadedLibraries() { loadedLibraries().clear(); }

}  // namespace win32

}  // namespace proccpu::platform
