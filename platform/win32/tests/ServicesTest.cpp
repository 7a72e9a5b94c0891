// The non-window services on the real Windows ABI: snapshot routines by address, pdh, error texts.
#include "platform/CounterService.h"
#include "platform/DynamicLibrary.h"
#include "platform/SnapshotService.h"
#include "platform/SystemInfo.h"
#include "platform/Threads.h"
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

namespace proccpu::platform {
namespace {

ProcessRecord freshRecord() {
  ProcessRecord record{};
  record.dwSize = processRecordSize;
  return record;
}

TEST(SnapshotRoutines, FindOurOwnProcessThroughAddressesLookedUpByName) {
  const LibraryId kernel = loadLibrary(snapshotLibraryName);
  ASSERT_NE(kernel, 0u);
  const std::uint32_t snapshot =
      callCreateSnapshot(findRoutine(kernel, "CreateToolhelp32Snapshot"), th32csSnapProcess, 0);
  ASSERT_NE(snapshot, 0u);
  ASSERT_NE(snapshot, invalidHandleValue);
  bool foundSelf = false;
  ProcessRecord record = freshRecord();
  std::uint32_t more = callReadProcess(findRoutine(kernel, "Process32First"), snapshot, &record);
  for (; more != 0; more = callReadProcess(findRoutine(kernel, "Process32Next"), snapshot, &record)) {
    if (record.th32ProcessID == GetCurrentProcessId()) {
      foundSelf = true;
      EXPECT_STREQ(record.szExeFile, "proccpu_win32_tests.exe");
      EXPECT_GE(record.cntThreads, 1u);
    }
    record = freshRecord();
  }
  EXPECT_TRUE(foundSelf);
  EXPECT_TRUE(closeHandle(snapshot));
  EXPECT_TRUE(freeLibrary(kernel));
  EXPECT_FALSE(freeLibrary(kernel)) << "a library is released once";
}

TEST(SnapshotRoutines, MissingLibraryOrRoutineGivesZero) {
  EXPECT_EQ(loadLibrary("no-such-library-here.dll"), 0u);
  EXPECT_EQ(findRoutine(0, "Process32First"), 0u);
  const LibraryId kernel = loadLibrary(snapshotLibraryName);
  EXPECT_EQ(findRoutine(kernel, "Process32Nowhere"), 0u);
  ProcessRecord record = freshRecord();
  EXPECT_EQ(callCreateSnapshot(0, th32csSnapProcess, 0), 0u);
  EXPECT_EQ(callReadProcess(0, 1, &record), 0u);
  EXPECT_FALSE(freeLibrary(0));
  EXPECT_TRUE(freeLibrary(kernel));
}

TEST(CounterService, LooksUpNamesAndReadsATotalThroughTheRealRecordLayout) {
  const LibraryId pdh = loadLibrary(counterLibraryName);
  const RoutineAddress lookup = findRoutine(pdh, lookupNameRoutine);
  ASSERT_NE(lookup, 0u);
  char counterName[261] = {};
  std::uint32_t capacity = 260;
  EXPECT_EQ(callLookupPerfNameByIndex(lookup, 6, counterName, &capacity), 0u);
  EXPECT_GT(std::strlen(counterName), 0u);
  EXPECT_TRUE(freeLibrary(pdh));

  QueryId query = 0;
  ASSERT_EQ(openQuery(&query), 0u);
  const std::string path = std::string("\\Processor(_Total)\\") + counterName;
  EXPECT_EQ(validatePath(path), 0u) << path;
  CounterId counter = 0;
  ASSERT_EQ(addCounter(query, path, &counter), 0u) << path;
  EXPECT_NE(counter, 0u);
  collectQueryData(query);
  waitMilliseconds(20);
  collectQueryData(query);
  std::uint32_t type = 0;
  FormattedValue value{0, -1.0};
  getFormattedCounterValue(counter, pdhFmtDouble, &type, &value);
  EXPECT_GE(value.doubleValue, 0.0);
  EXPECT_LE(value.doubleValue, 100.0 * processorCount());
  EXPECT_EQ(closeQuery(query), 0u);
}

TEST(CounterService, NullHandlesAndRoutineAreRefused) {
  std::uint32_t type = 7;
  FormattedValue value{3, 2.5};
  EXPECT_EQ(getFormattedCounterValue(0, pdhFmtDouble, &type, &value), pdhInvalidHandle);
  EXPECT_EQ(value.doubleValue, 2.5) << "nothing written for a refused read";
  EXPECT_EQ(closeQuery(0), pdhInvalidHandle);
  char buffer[8] = {};
  std::uint32_t capacity = sizeof(buffer);
  EXPECT_EQ(callLookupPerfNameByIndex(0, 6, buffer, &capacity), pdhInvalidArgument);
}

struct ErrorTextCase {
  std::uint32_t code;
  const char* mustHold;  // empty: the text must be empty
};

class SystemErrorText : public testing::TestWithParam<ErrorTextCase> {};

TEST_P(SystemErrorText, KeepsInsertionMarkersAndTheLengthBound) {
  const std::string text = systemErrorText(GetParam().code);
  EXPECT_LE(text.size(), 255u);
  if (*GetParam().mustHold == '\0') {
    EXPECT_TRUE(text.empty()) << text;
  } else {
    EXPECT_NE(text.find(GetParam().mustHold), std::string::npos) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, SystemErrorText,
                         testing::Values(ErrorTextCase{ERROR_BAD_EXE_FORMAT, "%1"},
                                         ErrorTextCase{ERROR_FILE_NOT_FOUND, " "},
                                         ErrorTextCase{0xDEADBEEFu, ""}));

TEST(ErrorTextBound, NoCodeOverflowsTheBuffer) {
  for (std::uint32_t code = 0; code < 16000; ++code) EXPECT_LE(systemErrorText(code).size(), 255u) << code;
}

std::atomic<bool> threadRan{false};

TEST(Threads, StartedThreadRunsItsBody) {
  ASSERT_TRUE(startThread([] { threadRan.store(true); }));
  for (int tries = 0; tries < 500 && !threadRan.load(); ++tries) waitMilliseconds(10);
  EXPECT_TRUE(threadRan.load());
  EXPECT_GE(processorCount(), 1u);
}

}  // namespace
}  // namespace proccpu::platform
