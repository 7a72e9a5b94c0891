// The whole program over the fakes: startup and shutdown order, the event loop, and a shutdown that
// neither hangs nor lets the sampler use the closed query, whenever the close comes.
#include "tests/CoreFixture.h"

#include <random>

namespace proccpu::test {
namespace {

const std::vector<ProcessRecord> threeProcesses = {fake::process(1, 0, 2, 8, "init"),
                                                   fake::process(2, 1, 3, 8, "shell.exe"),
                                                   fake::process(3, 2, 4, 4, "job.exe")};

class ProgramTest : public CoreTest {
 protected:
  void SetUp() override {
    fake::reset();
    fake::script().processes = threeProcesses;
  }

  // Indices of the calls with these prefixes, each searched after the previous one.
  static std::vector<std::size_t> positions(const std::vector<std::string>& prefixes) {
    std::vector<std::size_t> found;
    std::size_t from = 0;
    for (const std::string& prefix : prefixes) {
      from = findCall(prefix, from);
      found.push_back(from);
    }
    return found;
  }

  static int run() {
    const int code = runProgram();
    fake::joinStartedThreads();
    return code;
  }
};

TEST_F(ProgramTest, StartsUpListsSamplesAndShutsDownInOrder) {
  fake::script().events = {{15, 0}, {platform::closeEvent, 6}};
  EXPECT_EQ(run(), 0);
  const std::vector<std::string> order = {
      "InitGui",
      "GetSystemInfo",
      "CreateWindow 700x500 Process cpu usage",
      "CreateListView 5,5 690x490 Process 180",
      "AddColumn 1 ProcessID 120",
      "AddColumn 2 Threads 120",
      "AddColumn 3 cpu % 120",
      "AddColumn 4 Priority 120",
      "PdhOpenQuery",
      "LoadLibraryA kernel32.dll",
      "SetWindowTitle Processes...  Sum : 3  ( Threads : 9 )",
      "CreateThread",
      "WaitEvent 15",
      "WaitEvent 16",
      "PdhCloseQuery 81",
      "ShutdownGui",
  };
  const auto found = positions(order);
  EXPECT_LT(found.back(), fake::recorded().calls.size());
  EXPECT_EQ(fake::recorded().columns,
            (std::vector<std::string>{"Process", "ProcessID", "Threads", "cpu %", "Priority"}));
  EXPECT_FALSE(fake::recorded().queryUsedAfterClose);
}

TEST_F(ProgramTest, CellUpdatesFromTheSamplerAreCarriedOutOnTheUserInterfaceThread) {
  fake::script().values["job"] = {25.0};
  fake::script().events = {{platform::closeEvent, 9}};
  EXPECT_EQ(run(), 0);
  const auto writes = fake::recorded().cellWrites;
  ASSERT_GE(writes.size(), 9u);
  for (const fake::CellWrite& write : writes) {
    EXPECT_TRUE(write.onUiThread);
    EXPECT_EQ(write.column, 3);
  }
  EXPECT_EQ(fake::recorded().rows.at(2).at(3), "6.250");
}

TEST_F(ProgramTest, AWindowThatCannotOpenEndsTheProgramQuietly) {
  fake::script().windowFails = true;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(countCalls("CreateListView"), 0u);
  EXPECT_EQ(countCalls("LoadLibraryA kernel32.dll"), 0u);
  EXPECT_EQ(countCalls("CreateThread"), 0u);
  EXPECT_EQ(countCalls("PdhCloseQuery"), 1u);
  EXPECT_TRUE(fake::recorded().messageBoxes.empty());
}

TEST_F(ProgramTest, ACloseRequestDuringTheListingEndsTheProgramRightAfterIt) {
  fake::script().events = {{platform::closeEvent, 0}};
  EXPECT_EQ(run(), 0);
  const auto found =
      positions({"SetWindowTitle Processes...", "CreateThread", "WaitEvent 16", "PdhCloseQuery"});
  EXPECT_LT(found.back(), fake::recorded().calls.size());
  EXPECT_EQ(fake::recorded().threadsStarted, 1);
  EXPECT_EQ(fake::recorded().titles.back(), "Processes...  Sum : 3  ( Threads : 9 )");
}

TEST_F(ProgramTest, WithoutTheSamplerTheListingValuesStayAndTheProgramEnds) {
  fake::script().threadFails = true;
  fake::script().events = {{15, 0}};
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(fake::recorded().cellWrites.empty());
  EXPECT_EQ(column(3), std::vector<std::string>(3, "0.000"));
}

// Closes at a random moment of the sampler's pass, again and again. A deadlock between the two
// threads hangs the test; a use of the closed query is recorded by the fake service.
TEST_F(ProgramTest, ClosingAtAnyMomentNeitherHangsNorUsesTheClosedQuery) {
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> cellWrites(0, 12);
  std::uniform_int_distribution<int> sleepMicros(0, 30);
  for (int round = 0; round < 1000; ++round) {
    fake::reset();
    fake::script().processes = threeProcesses;
    fake::script().realWaitMicroseconds = sleepMicros(random);
    fake::script().events = {{platform::closeEvent, cellWrites(random)}};
    ASSERT_EQ(run(), 0);
    ASSERT_FALSE(fake::recorded().queryUsedAfterClose) << "round " << round;
  }
}

}  // namespace
}  // namespace proccpu::test
