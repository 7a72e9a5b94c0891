// One snapshot of the running processes, kept as whole records in two ordered lists.
#pragma once

#include "platform/ProcessRecord.h"

#include <cstdint>
#include <list>

namespace proccpu {

// Both lists are written by the user-interface thread during the listing pass only.
extern std::list<ProcessRecord> snapshotList;
extern std::list<ProcessRecord> workList;

/// Startup state: both lists empty and no library loaded.
void setUpSnapshotLists();

/// Loads the snapshot library. Returns its handle, or 0 when it cannot be loaded.
std::uintptr_t openSnapshotLibrary();

/// Empties snapshotList and takes a snapshot. Returns the routine's result unchanged: a handle, the
/// invalid-handle value when the system refuses, or 0 when the library or the routine is missing.
std::uint32_t takeSnapshot();

/// Appends a record filled by "Process32First". Returns 1, or 0 with the record removed again.
std::int32_t readFirstProcess(std::uint32_t snapshot);

/// Appends a record filled by "Process32Next". Returns 1, or 0 with the record removed again.
std::int32_t readNextProcess(std::uint32_t snapshot);

/// Appends a copy of every record of snapshotList to workList, in order.
void copyToWorkList();

/// Removes every element of workList.
void clearWorkList();

/// Empties snapshotList and closes the snapshot handle.
void releaseSnapshot(std::uint32_t snapshot);

/// Releases the snapshot library.
void closeSnapshotLibrary();

}  // namespace proccpu
