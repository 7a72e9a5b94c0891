// Fake by-name libraries and process snapshot service, fed from the script's process table.
#include "platform/DynamicLibrary.h"
#include "platform/SnapshotService.h"
#include "platform/fake/FakePlatform.h"

#include <array>
#include <map>

namespace proccpu {

namespace {

struct KnownLibrary {
  const char* fileName;
  std::vector<std::string> routines;
};

const std::array<KnownLibrary, 2>& knownLibraries() {
  static const std::array<KnownLibrary, 2> libraries{{
      {"kernel32.dll", {"CreateToolhelp32Snapshot", "Process32First", "Process32Next"}},
      {"pdh.dll", {"PdhLookupPerfNameByIndexA"}},
  }};
  return libraries;
}

constexpr platform::RoutineAddress routineBase = 0x1000;

struct SnapshotCursor {
  std::size_t next = 0;
};

// Touched by the user-interface thread only.
std::map<std::uint32_t, SnapshotCursor> snapshots;
std::uint32_t nextSnapshotHandle = 0x40;
int readsDone = 0;

const std::string& routineName(platform::RoutineAddress address) {
  static const std::string none;
  for (const KnownLibrary& library : knownLibraries()) {
    for (std::size_t i = 0; i < library.routines.size(); ++i) {
      const auto libraryIndex = static_cast<platform::RoutineAddress>(&library - knownLibraries().data());
      if (address == routineBase + libraryIndex * 0x100 + i) return library.routines[i];
    }
  }
  return none;
}

}  // namespace

namespace fake {

void resetSnapshots() {
  snapshots.clear();
  nextSnapshotHandle = 0x40;
  readsDone = 0;
}

}  // namespace fake

namespace platform {

LibraryId loadLibrary(const std::string& fileName) {
  fake::log("LoadLibraryA " + fileName);
  if (fake::script().missingLibraries.count(fileName) != 0) return 0;
  for (std::size_t i = 0; i < knownLibraries().size(); ++i) {
    if (fileName != knownLibraries()[i].fileName) continue;
    fake::change([&](fake::Recorded& record) { ++record.loadedLibraries[fileName]; });
    return i + 1;
  }
  return 0;
}

RoutineAddress findRoutine(LibraryId library, const std::string& name) {
  fake::log("GetProcAddress " + name);
  if (library == 0 || library > knownLibraries().size()) return 0;
  if (fake::script().missingRoutines.count(name) != 0) return 0;
  const std::vector<std::string>& routines = knownLibraries()[library - 1].routines;
  for (std::size_t i = 0; i < routines.size(); ++i) {
    if (routines[i] == name) return routineBase + (library - 1) * 0x100 + i;
  }
  return 0;
}

bool freeLibrary(LibraryId library) {
  if (library == 0 || library > knownLibraries().size()) {
    fake::log("FreeLibrary 0");
    return false;
  }
  const std::string fileName = knownLibraries()[library - 1].fileName;
  fake::log("FreeLibrary " + fileName);
  fake::change([&](fake::Recorded& record) { --record.loadedLibraries[fileName]; });
  return true;
}

std::uint32_t callCreateSnapshot(RoutineAddress routine, std::uint32_t flags, std::uint32_t processId) {
  if (routineName(routine) != "CreateToolhelp32Snapshot") return 0;
  fake::log("CreateToolhelp32Snapshot " + std::to_string(flags) + " " + std::to_string(processId));
  if (fake::script().refuseSnapshot) return invalidHandleValue;
  const std::uint32_t handle = nextSnapshotHandle++;
  snapshots[handle] = SnapshotCursor{};
  fake::change([&](fake::Recorded& record) { record.openSnapshots.insert(handle); });
  return handle;
}

std::uint32_t callReadProcess(RoutineAddress routine, std::uint32_t snapshot, ProcessRecord* record) {
  const std::string& name = routineName(routine);
  if (name != "Process32First" && name != "Process32Next") return 0;
  fake::log(name);
  const auto found = snapshots.find(snapshot);
  if (found == snapshots.end() || record->dwSize != processRecordSize) return 0;
  if (name == "Process32First") found->second.next = 0;
  const std::vector<ProcessRecord>& processes = fake::script().processes;
  if (readsDone++ == fake::script().failingRead || found->second.next >= processes.size()) return 0;
  *record = processes[found->second.next++];
  return 1;
}

bool closeHandle(std::uint32_t handle) {
  fake::log("CloseHandle " + std::to_string(handle));
  bool wasOpen = false;
  fake::change([&](fake::Recorded& record) { wasOpen = record.openSnapshots.erase(handle) != 0; });
  snapshots.erase(handle);
  return wasOpen;
}

std::string_view imagePathSeparators() { return "\\/"; }

}  // namespace platform
}  // namespace proccpu
