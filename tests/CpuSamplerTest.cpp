// One pass of the sampling thread: collect once, read and rewrite each row's CPU cell, wait.
#include "cpu/CpuSampler.h"
#include "tests/CoreFixture.h"

namespace proccpu::test {
namespace {

class SamplerTest : public CoreTest {
 protected:
  // Lists these processes, then returns the index of the first call the sampler will make.
  std::size_t listAndMark(const std::vector<ProcessRecord>& snapshot) {
    fake::script().processes = snapshot;
    openWindowAndList();
    listProcesses();
    return fake::recorded().calls.size();
  }

  static std::vector<std::string> callsFrom(std::size_t first) {
    const auto calls = fake::recorded().calls;
    return {calls.begin() + static_cast<std::ptrdiff_t>(first), calls.end()};
  }
};

TEST_F(SamplerTest, APassCollectsOnceThenReadsWaitsAndWritesEachRowInOrder) {
  const std::size_t mark =
      listAndMark({fake::process(1, 0, 1, 8, "a.exe"), fake::process(2, 1, 1, 8, "b.exe")});
  fake::script().values["a"] = {50.0};
  fake::script().values["b"] = {10.0};
  ASSERT_TRUE(samplerPass());
  EXPECT_EQ(callsFrom(mark), (std::vector<std::string>{
                                 "PdhCollectQueryData 81",
                                 "PdhGetFormattedCounterValue 100 512",
                                 "Sleep 5",
                                 "SetCellText 0 3 12.500",
                                 "PdhGetFormattedCounterValue 101 512",
                                 "Sleep 5",
                                 "SetCellText 1 3 2.500",
                                 "Sleep 10",
                             }));
}

TEST_F(SamplerTest, WithNoRowsAPassOnlyCollectsAndWaits) {
  const std::size_t mark = listAndMark({});
  ASSERT_TRUE(samplerPass());
  EXPECT_EQ(callsFrom(mark), (std::vector<std::string>{"PdhCollectQueryData 81", "Sleep 10"}));
}

TEST_F(SamplerTest, OnlyTheCpuColumnChangesAndEveryPassShowsTheNewReading) {
  listAndMark({fake::process(1, 0, 7, 13, "a.exe")});
  fake::script().values["a"] = {40.0, 80.0};
  samplerPass();
  samplerPass();
  EXPECT_EQ(fake::recorded().rows,
            (std::vector<std::vector<std::string>>{{"a.exe", "1", "7", "20.000", "High"}}));
  std::vector<std::string> texts;
  for (const fake::CellWrite& write : fake::recorded().cellWrites) {
    EXPECT_EQ(write.column, 3);
    texts.push_back(write.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"10.000", "20.000"}));
}

TEST_F(SamplerTest, ARowWithoutACounterIsStillRewrittenEveryPass) {
  fake::script().addOutcomes["\\Process(a)\\% Processor Time"] = {platform::pdhCstatusNoObject, false};
  const std::size_t mark =
      listAndMark({fake::process(1, 0, 1, 8, "a.exe"), fake::process(2, 0, 1, 8, "b.exe")});
  samplerPass();
  samplerPass();
  const auto calls = callsFrom(mark);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PdhGetFormattedCounterValue 0 512"), 4);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetCellText 0 3 0.000"), 2);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetCellText 1 3 0.000"), 2);
}

TEST_F(SamplerTest, APassAfterTheQueryIsClosedStopsWithoutTouchingAnything) {
  const std::size_t mark = listAndMark({fake::process(1, 0, 1, 8, "a.exe")});
  closeQuery();
  EXPECT_FALSE(samplerPass());
  EXPECT_EQ(callsFrom(mark), std::vector<std::string>{"PdhCloseQuery 81"});
}

}  // namespace
}  // namespace proccpu::test
