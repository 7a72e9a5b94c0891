// Tests of error texts, the per-thread last error and the worker thread start.
#include "platform/SnapshotService.h"
#include "platform/SystemInfo.h"
#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace proccpu::platform {
namespace {

TEST(SystemInfo, ErrorTextsComeFromTheSystem) {
  EXPECT_EQ(systemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(systemErrorText(EBADF), "Bad file descriptor");
  EXPECT_EQ(systemErrorText(100000), "");
  EXPECT_EQ(systemErrorText(0x80000000u), "");
}

TEST(SystemInfo, LastErrorBelongsToTheThread) {
  EXPECT_FALSE(closeHandle(0x7777u));
  EXPECT_EQ(lastErrorCode(), static_cast<std::uint32_t>(EBADF));
  std::uint32_t otherThread = 1;
  std::thread([&otherThread] { otherThread = lastErrorCode(); }).join();
  EXPECT_EQ(otherThread, 0u);
}

TEST(SystemInfo, ProcessorCountIsAtLeastOne) { EXPECT_GE(processorCount(), 1u); }

std::atomic<bool> bodyRan{false};

TEST(Threads, StartedThreadRunsItsBody) {
  ASSERT_TRUE(startThread([] { bodyRan = true; }));
  for (int waits = 0; waits < 5000 && !bodyRan; ++waits) {
    waitMilliseconds(1);
  }
  EXPECT_TRUE(bodyRan);
  EXPECT_FALSE(startThread(nullptr));
}

}  // namespace
}  // namespace proccpu::platform
