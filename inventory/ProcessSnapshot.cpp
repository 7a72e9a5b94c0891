// One snapshot of the running processes, kept as whole records in two ordered lists.
#include "inventory/ProcessSnapshot.h"

#include "platform/SnapshotService.h"

#include <cstring>

namespace proccpu {

namespace pf = platform;

std::list<ProcessRecord> snapshotList;
std::list<ProcessRecord> workList;

namespace {

// Written by the user-interface thread between openSnapshotLibrary and closeSnapshotLibrary.
pf::LibraryId snapshotLibrary = 0;

// The routine is looked up anew at every call, as the library could have been replaced meanwhile.
pf::RoutineAddress routine(const char* name) {
  if (snapshotLibrary == 0) return 0;
  return pf::findRoutine(snapshotLibrary, name);
}

std::int32_t readProcess(const char* routineName, std::uint32_t snapshot) {
  ProcessRecord& record = snapshotList.emplace_back();
  std::memset(&record, 0, sizeof record);
  record.dwSize = processRecordSize;
  const pf::RoutineAddress read = routine(routineName);
  if (read != 0 && pf::callReadProcess(read, snapshot, &record) != 0) return 1;
  snapshotList.pop_back();
  return 0;
}

}  // namespace

void setUpSnapshotLists() {
  snapshotList.clear();
  workList.clear();
  snapshotLibrary = 0;
}

std::uintptr_t openSnapshotLibrary() {
  snapshotLibrary = pf::loadLibrary(pf::snapshotLibraryName);
  return snapshotLibrary;
}

std::uint32_t takeSnapshot() {
  snapshotList.clear();
  const pf::RoutineAddress create = routine("CreateToolhelp32Snapshot");
  if (create == 0) return 0;
  return pf::callCreateSnapshot(create, pf::th32csSnapProcess, 0);
}

std::int32_t readFirstProcess(std::uint32_t snapshot) { return readProcess("Process32First", snapshot); }

std::int32_t readNextProcess(std::uint32_t snapshot) { return readProcess("Process32Next", snapshot); }

void copyToWorkList() {
  for (const ProcessRecord& record : snapshotList) {
    ProcessRecord& copy = workList.emplace_back();
    std::memcpy(&copy, &record, sizeof record);
  }
}

void clearWorkList() { workList.clear(); }

void releaseSnapshot(std::uint32_t snapshot) {
  snapshotList.clear();
  pf::closeHandle(snapshot);
}

void closeSnapshotLibrary() {
  pf::freeLibrary(snapshotLibrary);
  snapshotLibrary = 0;
}

}  // namespace proccpu
