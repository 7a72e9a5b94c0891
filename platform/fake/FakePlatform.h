// Scripted fakes of every outside service: what the tests feed in, and what the core did with them.
#pragma once

#include "platform/CounterService.h"
#include "platform/Gui.h"
#include "platform/ProcessRecord.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace proccpu::fake {

/// An event that waitEvent delivers once at least this many cell updates have been carried out.
struct ScriptedEvent {
  int code;
  int afterCellWrites = 0;
};

/// What a registration attempt gets back from the add step for one path.
struct AddOutcome {
  platform::PdhStatus status;
  bool givesHandle;  // a non-zero handle even though the status says failure
};

/// Inputs. Set them before the core runs; the fakes only read them afterwards.
struct Script {
  std::set<std::string> missingLibraries;
  std::set<std::string> missingRoutines;
  std::vector<ProcessRecord> processes;
  bool refuseSnapshot = false;
  int failingRead = -1;  // the read (0 = the first) that fails as if the system had no more records
  platform::PdhStatus openStatus = 0;
  std::map<std::string, AddOutcome> addOutcomes;      // by counter path; other paths succeed
  std::set<std::uint32_t> unknownNameIndexes;         // the name lookup fails and writes nothing
  std::map<std::string, std::vector<double>> values;  // by instance: the value after collect 1, 2, ...
  std::uint32_t processorCount = 4;
  std::uint32_t lastError = 0;
  std::map<std::uint32_t, std::string> errorTexts;
  bool windowFails = false;
  bool listFails = false;
  bool threadFails = false;
  std::deque<ScriptedEvent> events;  // none left: waitEvent reports a close
  int realWaitMicroseconds = 0;      // waits are recorded; threaded tests may also sleep this long
};

struct CellWrite {
  int row;
  int column;
  std::string text;
  bool onUiThread;
};

/// Outputs, in the order they happened, across threads.
struct Recorded {
  std::vector<std::string> calls;
  std::vector<std::vector<std::string>> rows;  // the list view's cells as they stand
  std::vector<std::string> columns;
  std::vector<std::string> titles;
  std::vector<std::string> messageBoxes;  // "caption|text"
  std::vector<std::uint32_t> waits;
  std::vector<CellWrite> cellWrites;
  std::map<std::string, int> loadedLibraries;  // file name -> loads not yet released
  std::set<std::uint32_t> openSnapshots;
  bool queryUsedAfterClose = false;
  int threadsStarted = 0;
};

/// Clears the script and the record, ends fake threads from an earlier test, and makes the calling
/// thread the user-interface thread.
void reset();
Script& script();
/// Forgets the snapshots taken so far, as if none had been.
void resetSnapshots();
/// A consistent copy of what was recorded so far.
Recorded recorded();
/// The calls recorded so far that start with this prefix.
std::vector<std::string> callsStartingWith(const std::string& prefix);
/// Waits for the threads that startThread started (they end once the core closes the query).
void joinStartedThreads();

/// A record as the snapshot service would fill it.
ProcessRecord process(std::uint32_t pid, std::uint32_t parentPid, std::uint32_t threads,
                      std::int32_t basePriority, const std::string& exeFile);

// Shared between the fake services; not for tests.
std::mutex& stateMutex();
Recorded& mutableRecord();
void log(const std::string& call);

/// Applies a change to the record under the fakes' one lock.
template <typename Change>
void change(Change&& apply) {
  const std::lock_guard lock(stateMutex());
  apply(mutableRecord());
}

}  // namespace proccpu::fake
