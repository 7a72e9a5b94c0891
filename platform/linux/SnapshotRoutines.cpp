// Process snapshots held in a handle table, read whole from /proc when taken.
#include "platform/linux/SnapshotRoutines.h"

#include "platform/SnapshotService.h"
#include "platform/linux/LastError.h"
#include "platform/linux/ProcReader.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace proccpu::platform {

namespace {

struct Snapshot {
  std::vector<ProcessRecord> records;
  std::size_t next = 0;
};

// Written by whichever thread takes, reads or closes a snapshot, always under snapshotMutex.
std::mutex snapshotMutex;
std::map<std::uint32_t, Snapshot> snapshots;
std::uint32_t lastHandle = 0;

std::uint32_t newHandle() {
  do {
    ++lastHandle;
  } while (lastHandle == 0 || lastHandle == invalidHandleValue || snapshots.contains(lastHandle));
  return lastHandle;
}

std::uint32_t copyRecord(std::uint32_t snapshot, ProcessRecord* record, bool first) {
  if (record == nullptr || record->dwSize != processRecordSize) {
    linux_services::setLastError(EINVAL);
    return 0;
  }
  const std::lock_guard lock(snapshotMutex);
  const auto found = snapshots.find(snapshot);
  if (found == snapshots.end()) {
    linux_services::setLastError(EBADF);
    return 0;
  }
  Snapshot& taken = found->second;
  if (first) {
    taken.next = 0;
  }
  if (taken.next >= taken.records.size()) {
    return 0;
  }
  *record = taken.records[taken.next++];
  return 1;
}

}  // namespace

namespace linux_services {

std::uint32_t createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t /*processId*/) {
  Snapshot snapshot;
  if ((flags & th32csSnapProcess) != 0) {
    const std::optional<std::vector<ProcessEntry>> entries = readProcessTable("/proc");
    if (!entries) {
      return invalidHandleValue;
    }
    snapshot.records.reserve(entries->size());
    for (const ProcessEntry& entry : *entries) {
      snapshot.records.push_back(entry.record);
    }
  }
  const std::lock_guard lock(snapshotMutex);
  const std::uint32_t handle = newHandle();
  snapshots.emplace(handle, std::move(snapshot));
  return handle;
}

std::uint32_t process32First(std::uint32_t snapshot, ProcessRecord* record) {
  return copyRecord(snapshot, record, true);
}

std::uint32_t process32Next(std::uint32_t snapshot, ProcessRecord* record) {
  return copyRecord(snapshot, record, false);
}

}  // namespace linux_services

std::uint32_t callCreateSnapshot(RoutineAddress routine, std::uint32_t flags, std::uint32_t processId) {
  if (routine == 0) {
    return 0;
  }
  return reinterpret_cast<std::uint32_t (*)(std::uint32_t, std::uint32_t)>(routine)(flags, processId);
}

std::uint32_t callReadProcess(RoutineAddress routine, std::uint32_t snapshot, ProcessRecord* record) {
  if (routine == 0) {
    return 0;
  }
  return reinterpret_cast<std::uint32_t (*)(std::uint32_t, ProcessRecord*)>(routine)(snapshot, record);
}

bool closeHandle(std::uint32_t handle) {
  const std::lock_guard lock(snapshotMutex);
  if (snapshots.erase(handle) == 0) {
    linux_services::setLastError(EBADF);
    return false;
  }
  return true;
}

// Records hold bare file names, which may contain '/' (kernel threads) or '\'.
std::string_view imagePathSeparators() { return {}; }

}  // namespace proccpu::platform
