// The fakes' shared state: the script, the record and its lock.
#include "platform/fake/FakePlatform.h"

#include <cstring>
#include <thread>

namespace proccpu::fake {

void resetGui();
void resetThreads();
void resetCounters();

namespace {

Script& theScript() {
  static Script instance;
  return instance;
}

}  // namespace

std::mutex& stateMutex() {
  static std::mutex mutex;
  return mutex;
}

Recorded& mutableRecord() {
  static Recorded instance;
  return instance;
}

void log(const std::string& call) {
  change([&](Recorded& record) { record.calls.push_back(call); });
}

void reset() {
  resetThreads();
  resetGui();
  resetCounters();
  resetSnapshots();
  theScript() = Script{};
  change([](Recorded& record) { record = Recorded{}; });
}

Script& script() { return theScript(); }

Recorded recorded() {
  const std::lock_guard lock(stateMutex());
  return mutableRecord();
}

std::vector<std::string> callsStartingWith(const std::string& prefix) {
  std::vector<std::string> matching;
  for (const std::string& call : recorded().calls) {
    if (call.rfind(prefix, 0) == 0) matching.push_back(call);
  }
  return matching;
}

ProcessRecord process(std::uint32_t pid, std::uint32_t parentPid, std::uint32_t threads,
                      std::int32_t basePriority, const std::string& exeFile) {
  ProcessRecord record{};
  record.dwSize = processRecordSize;
  record.th32ProcessID = pid;
  record.th32ParentProcessID = parentPid;
  record.cntThreads = threads;
  record.pcPriClassBase = basePriority;
  std::strncpy(record.szExeFile, exeFile.c_str(), sizeof record.szExeFile - 1);
  return record;
}

}  // namespace proccpu::fake
