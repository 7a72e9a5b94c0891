// The listing pass: the snapshot walked parent-before-child into list rows, and the totals title.
#include "inventory/ProcessListing.h"

#include "cpu/CpuCounterTable.h"
#include "inventory/ProcessSnapshot.h"
#include "platform/SnapshotService.h"
#include "platform/Threads.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace proccpu {

namespace pf = platform;

std::int32_t rowIndex = -1;
std::int32_t threadTotal = 0;
pf::WindowId mainWindow = 0;
pf::ListId processList = 0;

namespace {

constexpr std::uint32_t readingGapMs = 10;

using RecordIt = std::list<ProcessRecord>::iterator;

// One level of the depth-first walk: the parent whose children are sought, where the search stands,
// and the child whose subtree is being listed (end() when none).
struct WalkFrame {
  std::uint32_t key;
  RecordIt next;
  RecordIt listed;
};

std::string exeFileOf(const ProcessRecord& record) {
  // The record is meant to hold a terminated name, but never read past its own 260 bytes.
  return std::string(record.szExeFile, strnlen(record.szExeFile, sizeof record.szExeFile));
}

void appendRowOf(const ProcessRecord& record) {
  ++rowIndex;
  const std::string imageName = imageNameOf(exeFileOf(record), pf::imagePathSeparators());
  registerCounter(instanceNameOf(imageName));
  readCpu(rowIndex);
  pf::waitMilliseconds(readingGapMs);
  readCpu(rowIndex);
  const auto threads = static_cast<std::int32_t>(record.cntThreads);
  pf::appendRow(processList,
                {imageName, std::to_string(static_cast<std::int32_t>(record.th32ProcessID)),
                 std::to_string(threads), cpuText(rowIndex), priorityName(record.pcPriClassBase)});
  // Thread counts add up as the system's 32-bit arithmetic would, wrapping instead of overflowing.
  threadTotal = static_cast<std::int32_t>(static_cast<std::uint32_t>(threadTotal) + record.cntThreads);
}

bool isBeingListed(const std::vector<WalkFrame>& frames, std::uint32_t processId) {
  return std::any_of(frames.begin(), frames.end(),
                     [processId](const WalkFrame& frame) { return frame.key == processId; });
}

// The next child of the innermost frame's key from `from` on. A process that is itself being listed
// further up is skipped: its parent links form a cycle, and following them would never end.
RecordIt nextChild(RecordIt from, const std::vector<WalkFrame>& frames) {
  const std::uint32_t key = frames.back().key;
  return std::find_if(from, workList.end(), [&](const ProcessRecord& record) {
    return record.th32ParentProcessID == key && record.th32ProcessID != key &&
           !isBeingListed(frames, record.th32ProcessID);
  });
}

}  // namespace

void setUpListing() {
  rowIndex = -1;
  processList = 0;
}

std::string imageNameOf(std::string_view exeFile, std::string_view separators) {
  const std::size_t last = separators.empty() ? std::string_view::npos : exeFile.find_last_of(separators);
  return std::string(last == std::string_view::npos ? exeFile : exeFile.substr(last + 1));
}

std::string instanceNameOf(std::string_view imageName) {
  return std::string(imageName.substr(0, imageName.rfind('.')));
}

std::string priorityName(std::int32_t basePriority) {
  switch (basePriority) {
    case 4:
      return "Low";
    case 6:
      return "Below Normal";
    case 8:
    case 9:
    case 11:
      return "Normal";
    case 10:
      return "Above Normal";
    case 13:
      return "High";
    case 24:
      return "Real Time";
    default:
      return "Not Available (" + std::to_string(basePriority) + ")";
  }
}

std::string totalsTitle(std::int32_t rows, std::int32_t threads) {
  return "Processes...  Sum : " + std::to_string(rows) + "  ( Threads : " + std::to_string(threads) + " )";
}

void listChildren(std::uint32_t key) {
  // An explicit stack instead of recursion: a long chain of descendants must not exhaust the stack.
  std::vector<WalkFrame> frames{{key, workList.begin(), workList.end()}};
  while (!frames.empty()) {
    WalkFrame& frame = frames.back();
    if (frame.listed != workList.end()) {
      // Its subtree is done: remove the child and go on after the place where it stood.
      frame.next = workList.erase(frame.listed);
      frame.listed = workList.end();
    }
    frame.next = nextChild(frame.next, frames);
    if (frame.next == workList.end()) {
      frames.pop_back();
      continue;
    }
    appendRowOf(*frame.next);
    frame.listed = frame.next;
    const std::uint32_t childKey = frame.next->th32ProcessID;
    frames.push_back({childKey, workList.begin(), workList.end()});
  }
}

void listProcesses() {
  openQuery();
  if (openSnapshotLibrary() == 0) return;
  threadTotal = 0;
  const std::uint32_t snapshot = takeSnapshot();
  if (snapshot != 0) {
    if (readFirstProcess(snapshot) == 1) {
      while (readNextProcess(snapshot) == 1) {
      }
    }
    copyToWorkList();
    // Processes listed at the top stay in workList; the nested walks remove only what they list.
    for (auto top = workList.begin(); top != workList.end(); ++top) {
      appendRowOf(*top);
      listChildren(top->th32ProcessID);
    }
    clearWorkList();
    releaseSnapshot(snapshot);
  }
  closeSnapshotLibrary();
  pf::setWindowTitle(mainWindow, totalsTitle(pf::rowCount(processList), threadTotal));
}

}  // namespace proccpu
