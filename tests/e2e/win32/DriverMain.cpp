// The end-to-end driver: reads the running program's window from outside and answers its message boxes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ListViewReader.h"
#include "OwnedHandle.h"
#include "TargetWindow.h"
#include "WindowDump.h"

namespace {

constexpr char startTitle[] = "Process cpu usage";
constexpr char listedPrefix[] = "Processes...";
constexpr DWORD pollMs = 50;
constexpr DWORD boxGoneMs = 5000;
constexpr DWORD exitWaitMs = 30000;
constexpr DWORD busyMs = 400;

int exitCode(bool ok) { return ok ? 0 : 1; }

// System texts end in a line break; a key=value line must not.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

DWORD argMs(int argc, char** argv, int index, DWORD fallback) {
  return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : fallback;
}

HWND waitForWindow(DWORD waitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = e2e::findTopWindow(startTitle, listedPrefix)) return window;
    if (GetTickCount() - start >= waitMs) return nullptr;
    Sleep(pollMs);
  }
}

// Answers every box the program shows now; returns how many there were. Numbering goes on across calls.
int answerBoxes(DWORD processId, const char* key, int& numbered) {
  int answered = 0;
  for (HWND box : e2e::findMessageBoxes(processId)) {
    std::printf("%s.%d.caption=%s\n", key, numbered, e2e::windowText(box).c_str());
    std::printf("%s.%d.text=%s\n", key, numbered, oneLine(e2e::messageBoxText(box)).c_str());
    const bool gone = e2e::dismissMessageBox(box, boxGoneMs);
    std::printf("%s.%d.dismissed=%d\n", key, numbered, gone ? 1 : 0);
    std::fflush(stdout);
    ++numbered;
    ++answered;
  }
  return answered;
}

// Keeps answering boxes until the totals title shows and no box is open, or the time is up.
bool waitForListing(HWND window, DWORD waitMs) {
  const DWORD processId = e2e::windowProcess(window);
  const DWORD start = GetTickCount();
  int numbered = 0;
  bool listed = false;
  while (!listed && GetTickCount() - start < waitMs) {
    const int answered = answerBoxes(processId, "box", numbered);
    listed = answered == 0 && e2e::windowText(window).starts_with(listedPrefix);
    if (!listed) Sleep(pollMs);
  }
  std::printf("boxes=%d\nlisted=%d\n", numbered, listed ? 1 : 0);
  std::fflush(stdout);
  return listed;
}

// Busy for a while, so that the driver's own row has processor time to show.
void spin(DWORD ms) {
  const DWORD start = GetTickCount();
  volatile unsigned counter = 0;
  while (GetTickCount() - start < ms) counter = counter + 1;
}

// While the sampler runs: reads the CPU column round after round, between busy spells, and answers any
// box that should not come any more.
void watchSampler(HWND window, DWORD watchMs, e2e::Placement placement) {
  const DWORD processId = e2e::windowProcess(window);
  const DWORD start = GetTickCount();
  int numbered = 0;
  int round = 0;
  while (GetTickCount() - start < watchMs) {
    answerBoxes(processId, "latebox", numbered);
    spin(busyMs);
    e2e::printCpuColumn(window, placement, "cpu." + std::to_string(round++));
  }
  std::printf("cpurounds=%d\nlateboxes=%d\n", round, numbered);
  std::fflush(stdout);
}

struct Options {
  e2e::Placement placement = e2e::Placement::Allocated;
  bool systemMenuClose = false;  // the system menu's Close instead of a plain close request
};

int postClose(HWND window, bool systemMenu) {
  const bool posted = systemMenu ? PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0
                                 : PostMessageA(window, WM_CLOSE, 0, 0) != 0;
  std::printf("close.via=%s\nclose.posted=%d\n", systemMenu ? "SC_CLOSE" : "WM_CLOSE", posted ? 1 : 0);
  return exitCode(posted);
}

bool waitIconic(HWND window, bool iconic) {
  for (DWORD waited = 0; waited < boxGoneMs; waited += pollMs) {
    if ((IsIconic(window) != 0) == iconic) return true;
    Sleep(pollMs);
  }
  return false;
}

// Minimizing and restoring are events the program ignores: the window must come back as it was.
void minimizeAndRestore(HWND window) {
  const std::string title = e2e::windowText(window);
  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  std::printf("minimize.iconic=%d\n", waitIconic(window, true) ? 1 : 0);
  PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  std::printf("restore.normal=%d\n", waitIconic(window, false) ? 1 : 0);
  std::printf("restore.same=%d\n", IsWindow(window) && e2e::windowText(window) == title ? 1 : 0);
  std::fflush(stdout);
}

// Closes the window and reports how the program ended: its exit code and how long it took.
int closeAndWatchExit(HWND window, bool systemMenu) {
  e2e::OwnedHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e2e::windowProcess(window)));
  const DWORD posted = GetTickCount();
  if (postClose(window, systemMenu) != 0 || !process.valid()) return 1;
  const bool ended = WaitForSingleObject(process.get(), exitWaitMs) == WAIT_OBJECT_0;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.get(), &code);
  std::printf("exit.ended=%d\nexit.ms=%lu\nexit.code=%lu\n", ended ? 1 : 0, GetTickCount() - posted, code);
  return ended ? 0 : 1;
}

// The whole visit: wait for the window, get through the listing, read everything, let the sampler run,
// read the CPU column again, then ask the window to close.
int runSession(DWORD findMs, DWORD listMs, DWORD settleMs, const Options& options) {
  HWND window = waitForWindow(findMs);
  std::printf("found=%d\n", window != nullptr ? 1 : 0);
  if (window == nullptr) return 2;
  const bool listed = waitForListing(window, listMs);
  e2e::printWindowFacts(window);
  const bool read = e2e::printListView(window, options.placement);
  e2e::printSnapshot();
  std::printf("phase=dumped\n");
  std::fflush(stdout);
  watchSampler(window, settleMs, options.placement);
  minimizeAndRestore(window);
  return closeAndWatchExit(window, options.systemMenuClose) != 0 || !listed || !read ? 1 : 0;
}

int runDump(e2e::Placement placement) {
  HWND window = waitForWindow(0);
  if (window == nullptr) return 2;
  e2e::printWindowFacts(window);
  return exitCode(e2e::printListView(window, placement));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (; argc > 1 && std::string(argv[1]).starts_with("--"); --argc, ++argv) {
    const std::string flag = argv[1];
    if (flag == "--image-slack") options.placement = e2e::Placement::ImageSlack;
    if (flag == "--system-menu-close") options.systemMenuClose = true;
  }
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "session")
    return runSession(argMs(argc, argv, 2, 60000), argMs(argc, argv, 3, 120000), argMs(argc, argv, 4, 3000),
                      options);
  if (command == "dump") return runDump(options.placement);
  if (command == "dismiss") {
    HWND window = waitForWindow(argMs(argc, argv, 2, 10000));
    return window != nullptr ? exitCode(waitForListing(window, argMs(argc, argv, 3, 60000))) : 2;
  }
  if (command == "close") {
    HWND window = waitForWindow(0);
    return window != nullptr ? postClose(window, options.systemMenuClose) : 2;
  }
  std::fprintf(stderr,
               "usage: %s [--image-slack] [--system-menu-close] session [findMs listMs settleMs] | dump | "
               "dismiss [findMs listMs] | close\n",
               argv[0]);
  return 64;
}
