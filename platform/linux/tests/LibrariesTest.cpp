// Tests of the built-in libraries: routines found by exact name, reference counts, calls through them.
#include "platform/CounterService.h"
#include "platform/DynamicLibrary.h"
#include "platform/SnapshotService.h"

#include <gtest/gtest.h>

namespace proccpu::platform {
namespace {

TEST(Libraries, RoutinesAreFoundByExactName) {
  struct Case {
    std::string library;
    std::string routine;
    bool found;
  };
  const Case cases[] = {{"kernel32.dll", "CreateToolhelp32Snapshot", true},
                        {"KERNEL32.DLL", "Process32First", true},
                        {"kernel32.dll", "Process32Next", true},
                        {"pdh.dll", "PdhLookupPerfNameByIndexA", true},
                        {"kernel32.dll", "Process32FirstW", false},
                        {"kernel32.dll", "process32first", false},
                        {"kernel32.dll", "PdhLookupPerfNameByIndexA", false},
                        {"pdh.dll", "CreateToolhelp32Snapshot", false},
                        {"pdh.dll", "", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library + " " + c.routine);
    const LibraryId library = loadLibrary(c.library);
    ASSERT_NE(library, 0u);
    EXPECT_EQ(findRoutine(library, c.routine) != 0, c.found);
    EXPECT_TRUE(freeLibrary(library));
  }
}

TEST(Libraries, OtherLibrariesAndHandlesAreMissing) {
  EXPECT_EQ(loadLibrary("user32.dll"), 0u);
  EXPECT_EQ(loadLibrary("kernel32"), 0u);
  EXPECT_EQ(findRoutine(0, "Process32First"), 0u);
  EXPECT_FALSE(freeLibrary(0));
  EXPECT_FALSE(freeLibrary(12345));
}

TEST(Libraries, ReferencesAreCounted) {
  const LibraryId first = loadLibrary("pdh.dll");
  const LibraryId second = loadLibrary("pdh.dll");
  EXPECT_EQ(first, second);
  EXPECT_TRUE(freeLibrary(first));
  EXPECT_NE(findRoutine(second, lookupNameRoutine), 0u);
  EXPECT_TRUE(freeLibrary(second));
  EXPECT_EQ(findRoutine(first, lookupNameRoutine), 0u);
  EXPECT_FALSE(freeLibrary(first));
}

TEST(Libraries, NameRoutineIsCalledThroughItsAddress) {
  const LibraryId library = loadLibrary(counterLibraryName);
  const RoutineAddress routine = findRoutine(library, lookupNameRoutine);
  char buffer[260];
  std::uint32_t capacity = sizeof buffer;
  EXPECT_EQ(callLookupPerfNameByIndex(routine, 6, buffer, &capacity), 0u);
  EXPECT_STREQ(buffer, "% Processor Time");
  EXPECT_EQ(callLookupPerfNameByIndex(0, 6, buffer, &capacity), pdhInvalidArgument);
  freeLibrary(library);
}

}  // namespace
}  // namespace proccpu::platform
