// Tests of /proc parsing: hostile names, the priority table, a fixture tree and a live niced child.
#include "platform/linux/ProcReader.h"
#include "platform/linux/tests/ChildProcess.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace proccpu::platform::linux_services {
namespace {

std::string fixtureRoot() {
  return (std::filesystem::path(__FILE__).parent_path() / "fixtures/proc").string();
}

// A stat line with pid 42, parent 7, flags 0, utime 11, stime 12, priority 20, nice -3, 5 threads,
// start 900, policy 0.
std::string statLine(const std::string& comm) {
  std::ostringstream line;
  line << "42 (" << comm << ") S 7 42 42 0 -1 0 0 0 0 0 11 12 0 0 20 -3 5 0 900";
  for (int field = 23; field <= 40; ++field) {
    line << " 0";
  }
  line << " 0 0 0 0\n";
  return line.str();
}

TEST(ParseStat, HostileNamesNeitherBreakNorShiftFields) {
  const std::string names[] = {
      "bash",     "two words",          "(paren)", ") S 1 2 3 (", "a)b)c", "line\nfeed\ttab", "",
      "\xff\xfe", std::string(64, 'x'), ")"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::optional<StatFields> stat = parseStat(statLine(name));
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->comm, name);
    EXPECT_EQ(stat->pid, 42u);
    EXPECT_EQ(stat->state, 'S');
    EXPECT_EQ(stat->parentPid, 7u);
    EXPECT_EQ(stat->userTicks, 11u);
    EXPECT_EQ(stat->systemTicks, 12u);
    EXPECT_EQ(stat->priority, 20);
    EXPECT_EQ(stat->nice, -3);
    EXPECT_EQ(stat->threadCount, 5u);
    EXPECT_EQ(stat->startTime, 900u);
    EXPECT_EQ(stat->policy, 0u);
  }
}

TEST(ParseStat, RejectsMalformedLines) {
  std::string withBadNice = statLine("x");
  withBadNice.replace(withBadNice.find(" -3 "), 4, " -3x ");
  const std::string lines[] = {"",
                               "42 (bash S 7 42",
                               "42 (bash) S 7 42 42 0 -1 0",
                               "x42 (bash) S 7",
                               withBadNice,
                               statLine("x").substr(0, statLine("x").size() - 9)};
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(parseStat(line));
  }
}

TEST(ParseStat, ReadsThisProcess) {
  std::ifstream file("/proc/self/stat");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::optional<StatFields> stat = parseStat(text);
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->pid, static_cast<std::uint32_t>(::getpid()));
  EXPECT_EQ(stat->parentPid, static_cast<std::uint32_t>(::getppid()));
  EXPECT_GE(stat->threadCount, 1u);
}

TEST(BasePriority, MapsPolicyAndNice) {
  struct Case {
    std::uint32_t policy;
    std::int32_t nice;
    std::int32_t priority;
  };
  constexpr std::uint32_t other = 0, fifo = 1, roundRobin = 2, batch = 3, idle = 5, deadline = 6;
  const Case cases[] = {{fifo, 0, 24},    {roundRobin, 0, 24}, {deadline, 0, 24}, {idle, 0, 4},
                        {other, -20, 13}, {other, -11, 13},    {other, -10, 10},  {other, -1, 10},
                        {other, 0, 8},    {batch, 0, 8},       {other, 1, 6},     {other, 9, 6},
                        {other, 10, 4},   {other, 19, 4}};
  for (const Case& c : cases) {
    EXPECT_EQ(basePriority(c.policy, c.nice), c.priority) << "policy " << c.policy << " nice " << c.nice;
  }
}

std::map<std::uint32_t, ProcessRecord> readFixture() {
  std::map<std::uint32_t, ProcessRecord> byPid;
  const std::vector<ProcessEntry> entries =
      readProcessTable(fixtureRoot()).value_or(std::vector<ProcessEntry>{});
  for (const ProcessEntry& entry : entries) {
    byPid[entry.record.th32ProcessID] = entry.record;
  }
  return byPid;
}

// Left out: 500 has no stat (ended before it was read), 501 no cmdline (ended while it was read),
// 600 a cut stat line; "sys" and "uptime" are not processes.
TEST(ProcessTable, FixtureTreeSkipsVanishedAndMalformedEntries) {
  const std::map<std::uint32_t, ProcessRecord> byPid = readFixture();
  std::vector<std::uint32_t> pids;
  for (const auto& [pid, record] : byPid) {
    pids.push_back(pid);
    EXPECT_EQ(record.dwSize, processRecordSize);
  }
  EXPECT_EQ(pids, (std::vector<std::uint32_t>{1, 2, 37, 100, 200, 300, 400, 800, 900, 901}));
}

TEST(ProcessTable, FixtureTreeFields) {
  struct Expected {
    std::uint32_t pid;
    std::string name;
    std::uint32_t parent;
    std::uint32_t threads;
    std::int32_t priority;
  };
  const Expected table[] = {
      {1, "systemd", 0, 1, 8},
      {37, "kworker/0:1", 2, 1, 8},                // kernel thread, whole comm
      {100, "sleeper", 1, 1, 4},                   // nice 19
      {200, "rt-audio", 1, 4, 24},                 // SCHED_FIFO
      {300, "a-long-program-name.bin", 1, 3, 8},   // deleted executable
      {400, "python3-with-long-name", 300, 1, 8},  // no executable link: argv[0]
      {800, "evil) 9 9 (x\n", 1, 2, 10},           // hostile comm, nice -5
      {900, std::string(200, 'n') + "\t\xff" + std::string(53, 'm'), 1, 1, 8},
      {901, std::string(259, 'l'), 1, 1, 8},  // a longer argv[0] is cut to the record's capacity
  };
  const std::map<std::uint32_t, ProcessRecord> byPid = readFixture();
  for (const Expected& expected : table) {
    SCOPED_TRACE(expected.pid);
    const ProcessRecord& record = byPid.at(expected.pid);
    EXPECT_EQ(std::string(record.szExeFile), expected.name);
    EXPECT_EQ(record.th32ParentProcessID, expected.parent);
    EXPECT_EQ(record.cntThreads, expected.threads);
    EXPECT_EQ(record.pcPriClassBase, expected.priority);
  }
}

TEST(ProcessTable, MissingRootFails) { EXPECT_FALSE(readProcessTable(fixtureRoot() + "/no-such-dir")); }

TEST(ProcessTable, LiveNicedChildReadsLow) {
  testing::ChildProcess child("pcnice", testing::ChildProcess::Work::idle);
  ASSERT_GT(child.pid(), 0);
  ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(child.pid()), 19), 0);
  const std::optional<ProcessEntry> entry =
      readProcessEntry("/proc", static_cast<std::uint32_t>(child.pid()));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->record.pcPriClassBase, 4);
  EXPECT_EQ(std::string(entry->record.szExeFile), child.name());
  EXPECT_EQ(entry->record.th32ParentProcessID, static_cast<std::uint32_t>(::getpid()));
  child.stop();
  EXPECT_FALSE(readProcessEntry("/proc", static_cast<std::uint32_t>(child.pid())));
}

}  // namespace
}  // namespace proccpu::platform::linux_services
