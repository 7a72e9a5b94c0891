// Counter registration, its error report, readings and their text.
#include "tests/CoreFixture.h"

#include <cmath>
#include <limits>

namespace proccpu::test {
namespace {

const std::string editorPath = "\\Process(editor)\\% Processor Time";

class CounterTableTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    loadProcessorCount();
    openQuery();
  }
};

TEST_F(CounterTableTest, ArraysHoldTwoSlotsOrOnePerRegistrationAndKeepEarlierSlots) {
  fake::script().values["editor"] = {50.0};
  collectSample();
  for (int n = 1; n <= 5; ++n) {
    ASSERT_EQ(registerCounter("editor"), 1);
    readCpu(counterIndex);
    EXPECT_EQ(counterIndex, n - 1);
    EXPECT_EQ(counterHandles.size(), static_cast<std::size_t>(std::max(2, n)));
    EXPECT_EQ(cpuValues.size(), static_cast<std::size_t>(std::max(2, n)));
    for (int slot = 0; slot < n; ++slot) {
      EXPECT_EQ(counterHandles[static_cast<std::size_t>(slot)], static_cast<platform::CounterId>(100 + slot));
      EXPECT_EQ(cpuValues[static_cast<std::size_t>(slot)], 12.5);
    }
  }
}

TEST_F(CounterTableTest, PathIsBuiltFromTheLookedUpNamesAndValidatedBeforeTheAdd) {
  registerCounter("editor");
  const std::size_t validate = findCall("PdhValidatePathA " + editorPath);
  const std::size_t add = findCall("PdhAddCounterA " + std::to_string(counterQuery) + " " + editorPath);
  EXPECT_LT(validate, add);
  EXPECT_LT(add, fake::recorded().calls.size());
  EXPECT_EQ(
      fake::callsStartingWith("PdhLookupPerfNameByIndexA"),
      (std::vector<std::string>{"PdhLookupPerfNameByIndexA 230 260", "PdhLookupPerfNameByIndexA 6 260"}));
}

TEST_F(CounterTableTest, TwoRowsOfTheSameImageGetACounterEachForTheSamePath) {
  registerCounter("editor");
  registerCounter("editor");
  EXPECT_EQ(countCalls("PdhAddCounterA 81 " + editorPath), 2u);
  EXPECT_NE(counterHandles[0], counterHandles[1]);
}

TEST_F(CounterTableTest, AnUnknownNameLeavesItsBlanksInThePath) {
  fake::script().unknownNameIndexes = {230};
  registerCounter("editor");
  EXPECT_EQ(countCalls("PdhValidatePathA \\" + std::string(260, ' ') + "(editor)\\% Processor Time"), 1u);
}

TEST_F(CounterTableTest, NameLibraryStaysLoadedUntilTheNextPathOrShutdown) {
  buildCounterPath("a");
  EXPECT_EQ(fake::recorded().loadedLibraries["pdh.dll"], 1);
  buildCounterPath("b");
  EXPECT_EQ(fake::recorded().loadedLibraries["pdh.dll"], 1);
  EXPECT_EQ(countCalls("GetProcAddress PdhLookupPerfNameByIndexA"), 2u);
  releaseCounterLibrary();
  EXPECT_EQ(fake::recorded().loadedLibraries["pdh.dll"], 0);
}

TEST_F(CounterTableTest, MissingLibraryOrRoutineGivesAnEmptyPathAndNothingStaysLoaded) {
  for (const bool libraryMissing : {true, false}) {
    SCOPED_TRACE(libraryMissing ? "library missing" : "routine missing");
    fake::script().missingLibraries.clear();
    fake::script().missingRoutines.clear();
    if (libraryMissing) {
      fake::script().missingLibraries = {"pdh.dll"};
    } else {
      fake::script().missingRoutines = {"PdhLookupPerfNameByIndexA"};
    }
    EXPECT_EQ(buildCounterPath("editor"), "");
    EXPECT_EQ(fake::recorded().loadedLibraries["pdh.dll"], 0);
  }
}

TEST_F(CounterTableTest, MissingLibraryMakesTheAddFailAndReportsTheLastError) {
  fake::script().missingLibraries = {"pdh.dll"};
  fake::script().lastError = 126;
  fake::script().errorTexts[126] = "The specified module could not be found.";
  EXPECT_EQ(registerCounter("editor"), 0);
  EXPECT_EQ(countCalls("PdhAddCounterA 81 "), 1u);
  EXPECT_NE(queryStatus, 0u);
  EXPECT_EQ(fake::recorded().messageBoxes,
            std::vector<std::string>{"error|126: The specified module could not be found."});
}

TEST_F(CounterTableTest, AFailedAddIsStickyAndEveryLaterRowReportsWithoutTheService) {
  fake::script().addOutcomes[editorPath] = {platform::pdhCstatusNoObject, false};
  fake::script().lastError = 5;
  fake::script().errorTexts[5] = "Access is denied.";
  EXPECT_EQ(registerCounter("editor"), 0);
  EXPECT_EQ(registerCounter("other"), 0);
  EXPECT_EQ(registerCounter("third"), 0);
  EXPECT_EQ(countCalls("PdhAddCounterA"), 1u);
  EXPECT_EQ(countCalls("LoadLibraryA pdh.dll"), 1u);
  EXPECT_EQ(fake::recorded().messageBoxes, std::vector<std::string>(3, "error|5: Access is denied."));
  EXPECT_EQ(counterIndex, 2);
  EXPECT_EQ(cpuValues.size(), 3u);
  for (std::size_t slot = 0; slot < 3; ++slot) EXPECT_EQ(counterHandles[slot], 0u);
}

TEST_F(CounterTableTest, AFailedOpenMakesEveryRegistrationReportAndReadsUseNoCounter) {
  setUpCounterTable();
  fake::script().openStatus = platform::pdhInvalidArgument;
  openQuery();
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(registerCounter("editor"), 0);
    readCpu(row);
    EXPECT_EQ(cpuText(row), "0.000");
  }
  EXPECT_EQ(countCalls("PdhAddCounterA"), 0u);
  EXPECT_EQ(fake::recorded().messageBoxes.size(), 3u);
  EXPECT_EQ(countCalls("PdhGetFormattedCounterValue 0 512"), 3u);
}

TEST_F(CounterTableTest, AHandleWithAFailureStatusCountsAsSuccessButIsNotStored) {
  fake::script().addOutcomes[editorPath] = {platform::pdhCstatusNoInstance, true};
  EXPECT_EQ(registerCounter("editor"), 1);
  EXPECT_TRUE(fake::recorded().messageBoxes.empty());
  EXPECT_EQ(counterHandles[0], 0u);
  EXPECT_EQ(queryStatus, platform::pdhCstatusNoInstance);
  EXPECT_EQ(registerCounter("other"), 0);
  EXPECT_EQ(fake::recorded().messageBoxes.size(), 1u);
}

TEST_F(CounterTableTest, ErrorMessageShowsTheCodeUnsignedAndTheSystemTextAsItStands) {
  struct Case {
    std::uint32_t code;
    std::string text;
    std::string message;
  };
  const std::string longText(300, 'x');
  const Case cases[] = {
      {0xC0000005u, "Access violation.", "error|3221225477: Access violation."},
      {0, "", "error|0: "},
      {34, "Insert %1 into drive %2.", "error|34: Insert %1 into drive %2."},
      {7, longText, "error|7: " + longText.substr(0, 256)},
  };
  fake::script().openStatus = platform::pdhInvalidArgument;
  setUpCounterTable();
  openQuery();
  for (const Case& c : cases) {
    fake::script().lastError = c.code;
    fake::script().errorTexts[c.code] = c.text;
    registerCounter("editor");
    EXPECT_EQ(fake::recorded().messageBoxes.back(), c.message);
  }
}

TEST_F(CounterTableTest, ReadingIsTheFormattedValueDividedByTheProcessorCount) {
  registerCounter("editor");
  readCpu(0);
  EXPECT_EQ(cpuText(0), "0.000") << "no value before the first collect";
  fake::script().values["editor"] = {50.0, 100.0};
  collectSample();
  readCpu(0);
  EXPECT_EQ(cpuValues[0], 12.5);
  EXPECT_EQ(cpuText(0), "12.500");
  collectSample();
  readCpu(0);
  EXPECT_EQ(cpuText(0), "25.000");
  EXPECT_EQ(countCalls("PdhGetFormattedCounterValue 100 512"), 3u);
}

TEST_F(CounterTableTest, AProcessorCountOfZeroIsTakenAsOne) {
  fake::script().processorCount = 0;
  loadProcessorCount();
  EXPECT_EQ(processorCount, 1u);
}

TEST(CpuTextTest, ThreeDecimalsRoundedWithoutANegativeZero) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.000"},    {-0.0, "0.000"},    {12.5, "12.500"},     {3.14159, "3.142"},
      {-1.5, "-1.500"},  {-0.0004, "0.000"}, {99.9996, "100.000"}, {1234567.0, "1234567.000"},
      {0.0125, "0.013"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(formatCpuValue(value), text) << value;
}

TEST_F(CounterTableTest, AfterCloseNothingTouchesTheQueryOrTheValues) {
  registerCounter("editor");
  closeQuery();
  const std::size_t callsBefore = fake::recorded().calls.size();
  EXPECT_FALSE(collectSample());
  EXPECT_FALSE(readCpu(0));
  EXPECT_EQ(cpuText(0), "");
  EXPECT_TRUE(isCounterQueryClosed());
  EXPECT_EQ(fake::recorded().calls.size(), callsBefore);
  EXPECT_FALSE(fake::recorded().queryUsedAfterClose);
}

TEST(SlotArrayTest, GrowthKeepsSlotsAndExhaustedMemoryLeavesTheArrayUsable) {
  SlotArray<double> slots;
  ASSERT_TRUE(slots.assign(2));
  slots[1] = 7.5;
  ASSERT_TRUE(slots.resize(3));
  EXPECT_EQ(slots[1], 7.5);
  EXPECT_EQ(slots[2], 0.0);
  const std::size_t impossible = std::numeric_limits<std::size_t>::max() / sizeof(double) / 2;
  EXPECT_FALSE(slots.resize(impossible));
  EXPECT_FALSE(slots.resize(impossible + 1));
  EXPECT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[1], 7.5);
}

}  // namespace
}  // namespace proccpu::test
