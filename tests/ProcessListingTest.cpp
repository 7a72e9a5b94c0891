// The listing pass: walk order, row cells, counters per row, totals title and release of the snapshot.
#include "tests/CoreFixture.h"

namespace proccpu::test {
namespace {

using fake::process;

struct WalkCase {
  const char* name;
  std::vector<ProcessRecord> snapshot;
  std::vector<std::string> expectedRows;  // image names in row order
};

// K's parent is P; P and Y have parents outside the snapshot.
const ProcessRecord K = process(30, 20, 2, 8, "K");
const ProcessRecord P = process(20, 999, 3, 8, "P");
const ProcessRecord Y = process(40, 998, 4, 8, "Y");

const WalkCase walkCases[] = {
    {"child before its parent is listed twice", {K, P, Y}, {"K", "P", "K", "Y"}},
    {"siblings in snapshot order",
     {process(1, 500, 1, 8, "P"), process(2, 1, 1, 8, "Q"), process(3, 1, 1, 8, "R")},
     {"P", "Q", "R"}},
    {"grandchild before its parent is listed under it once",
     {process(1, 500, 1, 8, "A"), process(3, 2, 1, 8, "X"), process(2, 1, 1, 8, "P")},
     {"A", "P", "X"}},
    {"process 0 is not its own child",
     {process(0, 0, 1, 0, "Idle"), process(4, 0, 1, 8, "System"), process(9, 4, 1, 8, "smss")},
     {"Idle", "System", "smss"}},
    {"two processes naming each other as parent",
     {process(1, 2, 1, 8, "A"), process(2, 1, 1, 8, "B")},
     {"A", "B"}},
    {"a ring of three",
     {process(1, 3, 1, 8, "A"), process(2, 1, 1, 8, "B"), process(3, 2, 1, 8, "C")},
     {"A", "B", "C"}},
    {"a parent ID reused by a younger child",
     {process(100, 50, 1, 8, "old"), process(50, 100, 1, 8, "young"), process(7, 100, 1, 8, "kid")},
     {"old", "young", "kid"}},
};

class ListingTest : public CoreTest {
 protected:
  void runPass(const std::vector<ProcessRecord>& snapshot) {
    fake::script().processes = snapshot;
    openWindowAndList();
    listProcesses();
  }
};

TEST_F(ListingTest, WalkListsParentsBeforeChildrenAndEndsOnCycles) {
  for (const WalkCase& c : walkCases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    runPass(c.snapshot);
    EXPECT_EQ(column(0), c.expectedRows);
    const auto rows = static_cast<std::int32_t>(c.expectedRows.size());
    EXPECT_EQ(rowIndex, rows - 1);
    EXPECT_EQ(counterIndex, rowIndex);
    EXPECT_EQ(countCalls("PdhAddCounterA"), c.expectedRows.size()) << "a counter for every row";
  }
}

TEST_F(ListingTest, RepeatedRowsCountTheirThreadsAgainInTheTitle) {
  runPass({K, P, Y});
  EXPECT_EQ(threadTotal, 2 + 3 + 2 + 4);
  EXPECT_EQ(fake::recorded().titles.back(), "Processes...  Sum : 4  ( Threads : 11 )");
}

TEST_F(ListingTest, RowCellsComeFromTheRecordAndTheCounter) {
  runPass({process(612, 408, 3, 8, "C:\\Apps\\editor.exe"), process(0xFFFFFFFFu, 0, 0x80000000u, 7, "odd")});
  using Row = std::vector<std::string>;
  EXPECT_EQ(fake::recorded().rows,
            (std::vector<Row>{{"editor.exe", "612", "3", "0.000", "Normal"},
                              {"odd", "-1", "-2147483648", "0.000", "Not Available (7)"}}));
  EXPECT_EQ(countCalls("PdhAddCounterA 81 \\Process(editor)\\% Processor Time"), 1u);
}

TEST_F(ListingTest, EachRowIsReadTwiceTenMillisecondsApartBeforeItIsAppended) {
  runPass({process(612, 408, 3, 8, "editor.exe")});
  const std::size_t add = findCall("PdhAddCounterA");
  const std::size_t firstRead = findCall("PdhGetFormattedCounterValue 100 512", add);
  const std::size_t wait = findCall("Sleep 10", firstRead);
  const std::size_t secondRead = findCall("PdhGetFormattedCounterValue 100 512", wait);
  const std::size_t append = findCall("AppendRow editor.exe", secondRead);
  EXPECT_LT(append, fake::recorded().calls.size());
  EXPECT_EQ(fake::recorded().waits, std::vector<std::uint32_t>{10});
}

TEST_F(ListingTest, ImageAndInstanceNames) {
  struct Case {
    const char* exeFile;
    const char* separators;
    const char* image;
    const char* instance;
  };
  const Case cases[] = {
      {"a.b.exe", "\\/", "a.b.exe", "a.b"},
      {"System", "\\/", "System", "System"},
      {"trailing.", "\\/", "trailing.", "trailing"},
      {"C:\\Windows\\system32\\svchost.exe", "\\/", "svchost.exe", "svchost"},
      {"dir/sub\\x.exe", "\\/", "x.exe", "x"},
      {"kworker/0:1", "", "kworker/0:1", "kworker/0:1"},
      {"a\\b (c).d", "", "a\\b (c).d", "a\\b (c)"},
  };
  for (const Case& c : cases) {
    const std::string image = imageNameOf(c.exeFile, c.separators);
    EXPECT_EQ(image, c.image) << c.exeFile;
    EXPECT_EQ(instanceNameOf(image), c.instance) << c.exeFile;
  }
}

TEST_F(ListingTest, PriorityNames) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {4, "Low"},
      {6, "Below Normal"},
      {8, "Normal"},
      {9, "Normal"},
      {11, "Normal"},
      {10, "Above Normal"},
      {13, "High"},
      {24, "Real Time"},
      {7, "Not Available (7)"},
      {0, "Not Available (0)"},
      {-3, "Not Available (-3)"},
  };
  for (const auto& [priority, text] : cases) EXPECT_EQ(priorityName(priority), text);
}

TEST_F(ListingTest, TheTitleKeepsItsBlanksExactly) {
  EXPECT_EQ(totalsTitle(0, 0), "Processes...  Sum : 0  ( Threads : 0 )");
  EXPECT_EQ(totalsTitle(123, -5), "Processes...  Sum : 123  ( Threads : -5 )");
}

TEST_F(ListingTest, ThePassReleasesEverythingInOrderAndLeavesBothListsEmpty) {
  runPass({K, P, Y});
  const std::size_t close = findCall("CloseHandle 64");
  const std::size_t release = findCall("FreeLibrary kernel32.dll", close);
  const std::size_t title = findCall("SetWindowTitle", release);
  EXPECT_LT(title, fake::recorded().calls.size());
  EXPECT_TRUE(workList.empty());
  EXPECT_TRUE(snapshotList.empty());
  EXPECT_EQ(fake::recorded().loadedLibraries["kernel32.dll"], 0);
  EXPECT_TRUE(fake::recorded().openSnapshots.empty());
}

TEST_F(ListingTest, FailuresShowAsMissingRowsOrAnUnchangedTitle) {
  struct Case {
    const char* name;
    void (*arrange)(fake::Script&);
    std::vector<std::string> titles;
    std::size_t closes;
  };
  const Case cases[] = {
      {"no kernel32", [](fake::Script& s) { s.missingLibraries = {"kernel32.dll"}; }, {initialTitle}, 0},
      {"no snapshot routine",
       [](fake::Script& s) { s.missingRoutines = {"CreateToolhelp32Snapshot"}; },
       {initialTitle, "Processes...  Sum : 0  ( Threads : 0 )"},
       0},
      {"refused snapshot",
       [](fake::Script& s) { s.refuseSnapshot = true; },
       {initialTitle, "Processes...  Sum : 0  ( Threads : 0 )"},
       1},
      {"empty snapshot", [](fake::Script&) {}, {initialTitle, "Processes...  Sum : 0  ( Threads : 0 )"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.arrange(fake::script());
    runPass({});
    EXPECT_EQ(countCalls("PdhOpenQuery"), 1u);
    EXPECT_EQ(rowIndex, -1);
    EXPECT_EQ(fake::recorded().titles, c.titles);
    EXPECT_EQ(countCalls("CloseHandle"), c.closes);
    EXPECT_EQ(fake::recorded().loadedLibraries["kernel32.dll"], 0);
  }
}

TEST_F(ListingTest, WithoutAListViewTheTitleCountsNoRows) {
  fake::script().listFails = true;
  runPass({K, P});
  EXPECT_EQ(rowIndex, 2);
  EXPECT_EQ(fake::recorded().titles.back(), "Processes...  Sum : 0  ( Threads : 7 )");
}

}  // namespace
}  // namespace proccpu::test
