// Tests of the counter service: failing adds, statuses before data, ended processes, a busy child.
#include "platform/CounterService.h"
#include "platform/Threads.h"
#include "platform/linux/tests/ChildProcess.h"

#include <gtest/gtest.h>
#include <time.h>

#include <thread>

namespace proccpu::platform {
namespace {

using linux_services::testing::ChildProcess;

constexpr PdhStatus pdhInvalidData = 0xC0000BC6u;

std::string pathOf(const std::string& instance) { return "\\Process(" + instance + ")\\% Processor Time"; }

QueryId openedQuery() {
  QueryId query = 0;
  EXPECT_EQ(openQuery(&query), 0u);
  EXPECT_NE(query, 0u);
  return query;
}

FormattedValue formatted(CounterId counter, PdhStatus* status) {
  FormattedValue value{0x12345678u, -1.0};
  std::uint32_t type = 0;
  *status = getFormattedCounterValue(counter, pdhFmtDouble, &type, &value);
  return value;
}

TEST(CounterService, FailingAddsGiveTheirStatus) {
  const ChildProcess child("pcadd", ChildProcess::Work::idle);
  const QueryId query = openedQuery();
  struct Case {
    QueryId query;
    std::string path;
    PdhStatus status;
  };
  const Case cases[] = {{0, pathOf(child.name()), pdhInvalidHandle},
                        {query + 1000, pathOf(child.name()), pdhInvalidHandle},
                        {query, "\\Process" + child.name() + "\\% Processor Time", pdhCstatusBadPath},
                        {query, "\\Thread(" + child.name() + ")\\% Processor Time", pdhCstatusNoObject},
                        {query, "\\Process(" + child.name() + ")\\Handle Count", pdhCstatusNoCounter}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CounterId counter = 0;
    EXPECT_EQ(addCounter(c.query, c.path, &counter), c.status);
    EXPECT_EQ(validatePath(c.path), c.query == query ? c.status : 0u);
  }
  EXPECT_EQ(validatePath(pathOf(child.name() + "-none")), pdhCstatusNoInstance);
  EXPECT_EQ(closeQuery(query), 0u);
  EXPECT_EQ(closeQuery(query), pdhInvalidHandle);
}

TEST(CounterService, CounterZeroAndClosedCountersAreInvalidHandles) {
  PdhStatus status = 0;
  formatted(0, &status);
  EXPECT_EQ(status, pdhInvalidHandle);
  const ChildProcess child("pcclose", ChildProcess::Work::idle);
  const QueryId query = openedQuery();
  CounterId counter = 0;
  ASSERT_EQ(addCounter(query, pathOf(child.name()), &counter), 0u);
  EXPECT_EQ(closeQuery(query), 0u);
  EXPECT_EQ(collectQueryData(query), pdhInvalidHandle);
  formatted(counter, &status);
  EXPECT_EQ(status, pdhInvalidHandle);
}

TEST(CounterService, ValueIsZeroUntilTwoCollects) {
  const ChildProcess child("pctwo", ChildProcess::Work::idle);
  const QueryId query = openedQuery();
  CounterId counter = 0;
  ASSERT_EQ(addCounter(query, pathOf(child.name()), &counter), 0u);
  for (int collects = 0; collects < 2; ++collects) {
    PdhStatus status = 0;
    const FormattedValue value = formatted(counter, &status);
    EXPECT_EQ(status, pdhInvalidData);
    EXPECT_EQ(value.cStatus, pdhInvalidData);
    EXPECT_EQ(value.doubleValue, 0.0);
    EXPECT_EQ(collectQueryData(query), 0u);
  }
  PdhStatus status = 1;
  EXPECT_EQ(formatted(counter, &status).cStatus, 0u);
  EXPECT_EQ(status, 0u);
  closeQuery(query);
}

TEST(CounterService, EndedProcessReadsZeroWithNoInstance) {
  ChildProcess child("pcend", ChildProcess::Work::busy);
  const QueryId query = openedQuery();
  CounterId ended = 0;
  CounterId neverThere = 0;
  ASSERT_EQ(addCounter(query, pathOf(child.name()), &ended), 0u);
  ASSERT_EQ(addCounter(query, pathOf(child.name() + "#1"), &neverThere), 0u);
  collectQueryData(query);
  child.stop();
  collectQueryData(query);
  for (const CounterId counter : {ended, neverThere}) {
    PdhStatus status = 0;
    const FormattedValue value = formatted(counter, &status);
    EXPECT_EQ(status, pdhCstatusNoInstance);
    EXPECT_EQ(value.cStatus, pdhCstatusNoInstance);
    EXPECT_EQ(value.doubleValue, 0.0);
  }
  closeQuery(query);
}

double nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

TEST(CounterService, BusyChildReadsWhatItsOwnClockSays) {
  const ChildProcess child("pcbusy", ChildProcess::Work::busy);
  clockid_t childClock{};
  ASSERT_EQ(clock_getcpuclockid(child.pid(), &childClock), 0);
  const QueryId query = openedQuery();
  CounterId counter = 0;
  ASSERT_EQ(addCounter(query, pathOf(child.name()), &counter), 0u);
  // The child's clock and the wall clock read just before and after each collect bound its samples.
  double cpuBefore[2], cpuAfter[2], timeBefore[2], timeAfter[2];
  for (int collect = 0; collect < 2; ++collect) {
    cpuBefore[collect] = nanoseconds(childClock);
    timeBefore[collect] = nanoseconds(CLOCK_MONOTONIC);
    collectQueryData(query);
    timeAfter[collect] = nanoseconds(CLOCK_MONOTONIC);
    cpuAfter[collect] = nanoseconds(childClock);
    waitMilliseconds(collect == 0 ? 200 : 0);
  }
  PdhStatus status = 1;
  const FormattedValue value = formatted(counter, &status);
  ASSERT_EQ(status, 0u);
  const double lowest = 100.0 * (cpuBefore[1] - cpuAfter[0]) / (timeAfter[1] - timeBefore[0]);
  const double highest = 100.0 * (cpuAfter[1] - cpuBefore[0]) / (timeBefore[1] - timeAfter[0]);
  EXPECT_GT(value.doubleValue, 0.0);
  EXPECT_GE(value.doubleValue, lowest - 1e-9);
  EXPECT_LE(value.doubleValue, highest + 1e-9);
  closeQuery(query);
}

TEST(CounterService, AddOnOneThreadWhileAnotherCollects) {
  const ChildProcess child("pcthr", ChildProcess::Work::idle);
  const QueryId query = openedQuery();
  CounterId first = 0;
  ASSERT_EQ(addCounter(query, pathOf(child.name()), &first), 0u);
  std::thread sampler([query, first] {
    for (int pass = 0; pass < 200; ++pass) {
      collectQueryData(query);
      FormattedValue value{};
      getFormattedCounterValue(first, pdhFmtDouble, nullptr, &value);
    }
  });
  for (int added = 0; added < 50; ++added) {
    CounterId counter = 0;
    EXPECT_EQ(addCounter(query, pathOf(child.name()), &counter), 0u);
  }
  sampler.join();
  EXPECT_EQ(closeQuery(query), 0u);
}

}  // namespace
}  // namespace proccpu::platform
