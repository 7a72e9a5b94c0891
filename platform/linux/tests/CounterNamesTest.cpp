// Tests of counter names by number, counter path parsing and instance naming.
#include "platform/linux/CounterNames.h"

#include <gtest/gtest.h>

#include <cstring>

namespace proccpu::platform::linux_services {
namespace {

TEST(LookupName, KnownNumbersGiveTheirNames) {
  const std::pair<std::uint32_t, std::string> table[] = {{230, "Process"}, {6, "% Processor Time"}};
  for (const auto& [number, name] : table) {
    char buffer[260];
    std::uint32_t capacity = sizeof buffer;
    EXPECT_EQ(lookupPerfNameByIndex(nullptr, number, buffer, &capacity), 0u);
    EXPECT_EQ(std::string(buffer), name);
  }
}

TEST(LookupName, UnknownNumberFailsAndLeavesTheBuffer) {
  char buffer[8] = "       ";
  std::uint32_t capacity = sizeof buffer;
  EXPECT_NE(lookupPerfNameByIndex(nullptr, 7, buffer, &capacity), 0u);
  EXPECT_STREQ(buffer, "       ");
}

TEST(LookupName, SmallBufferReportsTheSizeNeeded) {
  char buffer[8] = "       ";
  std::uint32_t capacity = 7;  // "Process" needs 8 with its terminator
  EXPECT_EQ(lookupPerfNameByIndex(nullptr, 230, buffer, &capacity), pdhMoreData);
  EXPECT_EQ(capacity, 8u);
  EXPECT_STREQ(buffer, "       ");
  EXPECT_EQ(lookupPerfNameByIndex(nullptr, 230, buffer, &capacity), 0u);
  EXPECT_STREQ(buffer, "Process");
}

TEST(CounterPathParse, WellFormedPaths) {
  struct Case {
    std::string path;
    CounterPath parts;
  };
  const Case cases[] = {
      {"\\Process(editor)\\% Processor Time", {"Process", "editor", "% Processor Time"}},
      {"\\Process(a (b) c)\\% Processor Time", {"Process", "a (b) c", "% Processor Time"}},
      {"\\Process(x)\\y)\\% Processor Time", {"Process", "x)\\y", "% Processor Time"}},
      {"\\Process(kworker/0:1)\\X", {"Process", "kworker/0:1", "X"}},
      {"\\Process(()\\X", {"Process", "(", "X"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::optional<CounterPath> parts = parseCounterPath(c.path);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->object, c.parts.object);
    EXPECT_EQ(parts->instance, c.parts.instance);
    EXPECT_EQ(parts->counter, c.parts.counter);
  }
}

TEST(CounterPathParse, MalformedPaths) {
  const std::string paths[] = {"",
                               "Process(a)\\X",
                               "\\Process(a)\\",
                               "\\Process(a)X",
                               "\\Process\\X",
                               "\\Process()\\X",
                               "\\(a)\\X",
                               "\\Process(a\\X",
                               "\\\\machine\\Process(a)\\X",
                               "\\Process(a)b\\X"};
  for (const std::string& path : paths) {
    EXPECT_FALSE(parseCounterPath(path)) << path;
  }
}

TEST(CounterPathParse, ObjectAndCounterMustBeKnown) {
  EXPECT_EQ(checkObjectAndCounter({"process", "a", "% processor time"}), 0u);
  EXPECT_EQ(checkObjectAndCounter({"Thread", "a", "% Processor Time"}), pdhCstatusNoObject);
  EXPECT_EQ(checkObjectAndCounter({"Process", "a", "Working Set"}), pdhCstatusNoCounter);
}

TEST(InstanceNames, BaseNameDropsOnlyTheLastExtension) {
  const std::pair<std::string, std::string> table[] = {{"editor.exe", "editor"},
                                                       {"a.b.exe", "a.b"},
                                                       {"System", "System"},
                                                       {"x.", "x"},
                                                       {"kworker/0:1", "kworker/0:1"}};
  for (const auto& [image, instance] : table) {
    EXPECT_EQ(instanceBaseName(image), instance);
  }
}

ProcessEntry entry(std::uint32_t pid, const char* name, std::uint64_t startTime) {
  ProcessEntry made{};
  made.record.th32ProcessID = pid;
  std::strcpy(made.record.szExeFile, name);
  made.startTime = startTime;
  return made;
}

TEST(InstanceNames, DuplicatesAreNumberedByStartTimeThenPid) {
  const InstanceTable table({entry(50, "sleep", 200), entry(40, "sleep", 300), entry(60, "sleep", 200),
                             entry(70, "python3.11", 10)});
  const std::vector<std::pair<std::string, std::uint32_t>> expected = {
      {"python3", 70}, {"sleep", 50}, {"sleep#1", 60}, {"sleep#2", 40}};
  EXPECT_EQ(table.instanceNames(), expected);
  for (const auto& [name, pid] : expected) {
    ASSERT_TRUE(table.resolve(name)) << name;
    EXPECT_EQ(table.resolve(name)->pid, pid) << name;
  }
  EXPECT_EQ(table.resolve("sleep#0")->pid, 50u);
  for (const char* missing : {"sleep#3", "sleep#", "sleep#x", "nosuch", "python3.11"}) {
    EXPECT_FALSE(table.resolve(missing)) << missing;
  }
}

TEST(InstanceNames, ANameEndingInHashNumberIsFoundWhole) {
  const InstanceTable table({entry(80, "job#1", 5), entry(81, "job", 6)});
  EXPECT_EQ(table.resolve("job#1")->pid, 80u);
  EXPECT_EQ(table.resolve("job")->pid, 81u);
}

}  // namespace
}  // namespace proccpu::platform::linux_services
