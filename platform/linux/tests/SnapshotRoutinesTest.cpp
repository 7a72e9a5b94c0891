// Tests of the snapshot routines as the core calls them: by name, through the handle table.
#include "platform/DynamicLibrary.h"
#include "platform/SnapshotService.h"
#include "platform/SystemInfo.h"
#include "platform/linux/tests/ChildProcess.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace proccpu::platform {
namespace {

class SnapshotRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = loadLibrary(snapshotLibraryName);
    create_ = findRoutine(library_, "CreateToolhelp32Snapshot");
    first_ = findRoutine(library_, "Process32First");
    next_ = findRoutine(library_, "Process32Next");
  }
  void TearDown() override { freeLibrary(library_); }

  std::map<std::uint32_t, ProcessRecord> readAll(std::uint32_t snapshot) {
    std::map<std::uint32_t, ProcessRecord> byPid;
    ProcessRecord record{};
    record.dwSize = processRecordSize;
    for (auto read = first_; callReadProcess(read, snapshot, &record) != 0; read = next_) {
      byPid[record.th32ProcessID] = record;
      record = ProcessRecord{};
      record.dwSize = processRecordSize;
    }
    return byPid;
  }

  LibraryId library_ = 0;
  RoutineAddress create_ = 0, first_ = 0, next_ = 0;
};

TEST_F(SnapshotRoutines, LiveSnapshotHoldsThisProcessAndANicedChild) {
  const linux_services::testing::ChildProcess child("pcsnap",
                                                    linux_services::testing::ChildProcess::Work::idle);
  ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(child.pid()), 19), 0);
  const std::uint32_t snapshot = callCreateSnapshot(create_, th32csSnapProcess, 0);
  ASSERT_NE(snapshot, 0u);
  ASSERT_NE(snapshot, invalidHandleValue);
  const std::map<std::uint32_t, ProcessRecord> byPid = readAll(snapshot);
  const ProcessRecord& self = byPid.at(static_cast<std::uint32_t>(::getpid()));
  EXPECT_EQ(self.th32ParentProcessID, static_cast<std::uint32_t>(::getppid()));
  EXPECT_GE(self.cntThreads, 1u);
  const ProcessRecord& niced = byPid.at(static_cast<std::uint32_t>(child.pid()));
  EXPECT_EQ(niced.pcPriClassBase, 4);
  EXPECT_EQ(std::string(niced.szExeFile), child.name());
  for (const auto& [pid, record] : byPid) {
    EXPECT_EQ(record.dwSize, processRecordSize);
    EXPECT_NE(std::memchr(record.szExeFile, '\0', imageNameCapacity), nullptr);
  }
  EXPECT_TRUE(closeHandle(snapshot));
  EXPECT_FALSE(closeHandle(snapshot));
  EXPECT_TRUE(readAll(snapshot).empty());
}

TEST_F(SnapshotRoutines, FirstRestartsAndNextStopsAtTheEnd) {
  const std::uint32_t snapshot = callCreateSnapshot(create_, th32csSnapProcess, 0);
  const std::size_t count = readAll(snapshot).size();
  ASSERT_GT(count, 0u);
  EXPECT_EQ(readAll(snapshot).size(), count);
  ProcessRecord record{};
  record.dwSize = processRecordSize;
  EXPECT_EQ(callReadProcess(next_, snapshot, &record), 0u);
  closeHandle(snapshot);
}

TEST_F(SnapshotRoutines, WrongRecordSizeAndUnknownHandlesFail) {
  const std::uint32_t snapshot = callCreateSnapshot(create_, th32csSnapProcess, 0);
  ProcessRecord record{};
  record.dwSize = processRecordSize - 4;
  EXPECT_EQ(callReadProcess(first_, snapshot, &record), 0u);
  EXPECT_EQ(lastErrorCode(), static_cast<std::uint32_t>(EINVAL));
  record.dwSize = processRecordSize;
  EXPECT_EQ(callReadProcess(first_, invalidHandleValue, &record), 0u);
  EXPECT_EQ(callReadProcess(first_, 0, &record), 0u);
  EXPECT_EQ(lastErrorCode(), static_cast<std::uint32_t>(EBADF));
  EXPECT_EQ(callReadProcess(0, snapshot, &record), 0u);
  EXPECT_EQ(callCreateSnapshot(0, th32csSnapProcess, 0), 0u);
  EXPECT_FALSE(closeHandle(invalidHandleValue));
  EXPECT_TRUE(closeHandle(snapshot));
}

TEST(ImagePath, RecordsHoldBareNames) { EXPECT_TRUE(imagePathSeparators().empty()); }

}  // namespace
}  // namespace proccpu::platform
