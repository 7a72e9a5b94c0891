// Fake system information, error texts, threads and waits.
#include "platform/SystemInfo.h"
#include "platform/Threads.h"
#include "platform/fake/FakePlatform.h"

#include <chrono>
#include <thread>

namespace proccpu {

namespace {

// Touched by the test thread only: startThread runs on the user-interface thread, which is the test's.
std::vector<std::thread>& startedThreads() {
  static std::vector<std::thread> threads;
  return threads;
}

}  // namespace

namespace fake {

void joinStartedThreads() {
  for (std::thread& thread : startedThreads()) thread.join();
  startedThreads().clear();
}

void resetThreads() { joinStartedThreads(); }

}  // namespace fake

namespace platform {

std::uint32_t processorCount() {
  fake::log("GetSystemInfo");
  return fake::script().processorCount;
}

std::uint32_t lastErrorCode() {
  fake::log("GetLastError");
  return fake::script().lastError;
}

std::string systemErrorText(std::uint32_t code) {
  fake::log("FormatMessageA " + std::to_string(code));
  const auto found = fake::script().errorTexts.find(code);
  return found == fake::script().errorTexts.end() ? std::string() : found->second;
}

bool startThread(void (*body)()) {
  fake::log("CreateThread");
  if (fake::script().threadFails) return false;
  fake::change([](fake::Recorded& record) { ++record.threadsStarted; });
  startedThreads().emplace_back(body);
  return true;
}

void waitMilliseconds(std::uint32_t milliseconds) {
  fake::change([&](fake::Recorded& record) {
    record.calls.push_back("Sleep " + std::to_string(milliseconds));
    record.waits.push_back(milliseconds);
  });
  const int micros = fake::script().realWaitMicroseconds;
  if (micros > 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
  } else {
    std::this_thread::yield();
  }
}

}  // namespace platform
}  // namespace proccpu
