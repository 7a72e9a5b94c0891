// Taking the snapshot into whole records and copying them for the walk.
#include "tests/CoreFixture.h"

#include "platform/SnapshotService.h"

#include <cstring>

namespace proccpu::test {
namespace {

class SnapshotTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    for (std::uint32_t pid = 1; pid <= 4; ++pid) {
      const std::string name = std::string("p").append(std::to_string(pid)).append(".exe");
      ProcessRecord record = fake::process(pid * 10, 0, pid, 8, name);
      // Fields nobody reads must survive the copy too.
      record.cntUsage = pid;
      record.th32DefaultHeapID = 0xABCD0000u + pid;
      record.dwFlags = 0x55u;
      fake::script().processes.push_back(record);
    }
  }

  // Reads as the listing pass does; returns how many reads returned 1.
  static int readAll(std::uint32_t snapshot) {
    if (readFirstProcess(snapshot) != 1) return 0;
    int reads = 1;
    while (readNextProcess(snapshot) == 1) ++reads;
    return reads;
  }
};

TEST_F(SnapshotTest, ReadsStopAtTheFirstFailureAndLeaveNoHalfRecord) {
  for (const int failingRead : {-1, 0, 2}) {
    SCOPED_TRACE(failingRead);
    fake::script().failingRead = failingRead;
    fake::resetSnapshots();
    ASSERT_NE(openSnapshotLibrary(), 0u);
    const std::uint32_t snapshot = takeSnapshot();
    const int reads = readAll(snapshot);
    EXPECT_EQ(reads, failingRead == -1 ? 4 : failingRead);
    EXPECT_EQ(snapshotList.size(), static_cast<std::size_t>(reads));
    releaseSnapshot(snapshot);
    closeSnapshotLibrary();
  }
}

TEST_F(SnapshotTest, WorkListIsAByteForByteCopyInTheSameOrder) {
  openSnapshotLibrary();
  const std::uint32_t snapshot = takeSnapshot();
  readAll(snapshot);
  copyToWorkList();
  ASSERT_EQ(workList.size(), 4u);
  auto copy = workList.begin();
  std::size_t index = 0;
  for (const ProcessRecord& original : snapshotList) {
    EXPECT_EQ(std::memcmp(&original, &*copy, processRecordSize), 0);
    EXPECT_EQ(std::memcmp(&original, &fake::script().processes[index], processRecordSize), 0);
    ++copy;
    ++index;
  }
  clearWorkList();
  releaseSnapshot(snapshot);
  EXPECT_TRUE(workList.empty());
  EXPECT_TRUE(snapshotList.empty());
  EXPECT_TRUE(fake::recorded().openSnapshots.empty());
}

TEST_F(SnapshotTest, ASecondSnapshotStartsFromAnEmptyList) {
  openSnapshotLibrary();
  readAll(takeSnapshot());
  ASSERT_EQ(snapshotList.size(), 4u);
  fake::script().failingRead = 4;
  takeSnapshot();
  EXPECT_TRUE(snapshotList.empty());
}

TEST_F(SnapshotTest, RoutinesAreLookedUpByNameAtEveryCall) {
  openSnapshotLibrary();
  const std::uint32_t snapshot = takeSnapshot();
  readAll(snapshot);
  EXPECT_EQ(countCalls("GetProcAddress CreateToolhelp32Snapshot"), 1u);
  EXPECT_EQ(countCalls("GetProcAddress Process32First"), 1u);
  EXPECT_EQ(countCalls("GetProcAddress Process32Next"), 4u);
  EXPECT_EQ(countCalls("CreateToolhelp32Snapshot 2 0"), 1u);
}

TEST_F(SnapshotTest, MissingPiecesGiveZeroWithoutCallingAnything) {
  fake::script().missingRoutines = {"CreateToolhelp32Snapshot", "Process32First"};
  EXPECT_EQ(takeSnapshot(), 0u) << "no library loaded yet";
  openSnapshotLibrary();
  EXPECT_EQ(takeSnapshot(), 0u);
  EXPECT_EQ(readFirstProcess(0x40), 0);
  EXPECT_TRUE(snapshotList.empty());
  EXPECT_EQ(countCalls("CreateToolhelp32Snapshot "), 0u);
  fake::script().missingLibraries = {"kernel32.dll"};
  EXPECT_EQ(openSnapshotLibrary(), 0u);
}

TEST_F(SnapshotTest, ARefusedSnapshotReturnsTheInvalidHandleUnchanged) {
  fake::script().refuseSnapshot = true;
  openSnapshotLibrary();
  const std::uint32_t snapshot = takeSnapshot();
  EXPECT_EQ(snapshot, platform::invalidHandleValue);
  EXPECT_EQ(readAll(snapshot), 0);
  EXPECT_TRUE(snapshotList.empty());
}

}  // namespace
}  // namespace proccpu::test
