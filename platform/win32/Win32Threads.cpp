// The worker thread and millisecond waits with a 1 ms timer resolution.
#include "platform/Threads.h"
#include "platform/win32/WinApi.h"

#include <vector>

namespace proccpu::platform {

namespace {

struct ThreadStart {
  void (*body)();
};

// Written by the user-interface thread only: startThread and the toolkit's shutdown run there.
std::vector<win32::OwnedHandle>& threadHandles() {
  static auto* handles = new std::vector<win32::OwnedHandle>();  // never destroyed: the shutdown may run late
  return *handles;
}

DWORD WINAPI threadTrampoline(LPVOID parameter) {
  auto* start = static_cast<ThreadStart*>(parameter);
  void (*body)() = start->body;
  delete start;
  body();
  return 0;
}

}  // namespace

bool startThread(void (*body)()) {
  auto* start = new ThreadStart{body};
  HANDLE thread = CreateThread(nullptr, 0, threadTrampoline, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  threadHandles().emplace_back(thread);
  return true;
}

void waitMilliseconds(std::uint32_t milliseconds) {
  const win32::TimerPeriod period;
  Sleep(milliseconds);
}

namespace win32 {

void closeThreadHandles() {
  // Closing a handle neither stops nor waits for its thread.
  threadHandles().clear();
}

}  // namespace win32

}  // namespace proccpu::platform
