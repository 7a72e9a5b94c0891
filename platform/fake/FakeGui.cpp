// Fake GUI toolkit: records what the core shows, and carries out cell updates from other threads on
// the user-interface thread while it waits for events, blocking the caller as the real toolkits do.
#include "platform/Gui.h"
#include "platform/fake/FakePlatform.h"

#include <chrono>
#include <condition_variable>
#include <thread>

namespace proccpu {

namespace pf = platform;

namespace {

constexpr pf::WindowId fakeWindow = 0x77;
constexpr pf::ListId fakeList = 0x78;
// A waitEvent that gets nothing for this long reports a close, so a broken test ends instead of hanging.
constexpr auto idleLimit = std::chrono::seconds(10);

struct CellRequest {
  int row;
  int column;
  std::string text;
  bool done = false;
  bool applied = false;
};

// All written under the fakes' lock.
struct GuiState {
  std::thread::id uiThread;
  bool shuttingDown = false;
  int cellWritesApplied = 0;
  std::deque<CellRequest*> pending;
};

GuiState& gui() {
  static GuiState instance;
  return instance;
}

std::condition_variable& wakeUp() {
  static std::condition_variable condition;
  return condition;
}

// Called with the lock held.
bool applyCell(fake::Recorded& record, int row, int column, const std::string& text) {
  if (row < 0 || row >= static_cast<int>(record.rows.size())) return false;
  if (column < 0 || column >= static_cast<int>(record.rows[static_cast<std::size_t>(row)].size())) {
    return false;
  }
  record.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  record.cellWrites.push_back({row, column, text, std::this_thread::get_id() == gui().uiThread});
  record.calls.push_back("SetCellText " + std::to_string(row) + " " + std::to_string(column) + " " + text);
  ++gui().cellWritesApplied;
  return true;
}

// Called with the lock held, on the user-interface thread.
void applyPending(fake::Recorded& record) {
  while (!gui().pending.empty()) {
    CellRequest* request = gui().pending.front();
    gui().pending.pop_front();
    request->applied = applyCell(record, request->row, request->column, request->text);
    request->done = true;
  }
  wakeUp().notify_all();
}

}  // namespace

namespace fake {

void resetGui() {
  const std::lock_guard lock(stateMutex());
  gui().uiThread = std::this_thread::get_id();
  gui().shuttingDown = false;
  gui().cellWritesApplied = 0;
  gui().pending.clear();
}

}  // namespace fake

namespace platform {

bool initGui() {
  fake::change([](fake::Recorded& record) { record.calls.push_back("InitGui"); });
  const std::lock_guard lock(fake::stateMutex());
  gui().uiThread = std::this_thread::get_id();
  gui().shuttingDown = false;
  return true;
}

WindowId openWindow(int clientWidth, int clientHeight, const std::string& title) {
  fake::log("CreateWindow " + std::to_string(clientWidth) + "x" + std::to_string(clientHeight) + " " + title);
  if (fake::script().windowFails) return 0;
  fake::change([&](fake::Recorded& record) { record.titles.push_back(title); });
  return fakeWindow;
}

ListId createListView(WindowId window, ListRect rect, const std::string& column0Title, int column0Width) {
  fake::log("CreateListView " + std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
            std::to_string(rect.width) + "x" + std::to_string(rect.height) + " " + column0Title + " " +
            std::to_string(column0Width));
  if (window != fakeWindow || fake::script().listFails) return 0;
  fake::change([&](fake::Recorded& record) { record.columns.push_back(column0Title); });
  return fakeList;
}

bool addColumn(ListId list, int index, const std::string& title, int width) {
  fake::log("AddColumn " + std::to_string(index) + " " + title + " " + std::to_string(width));
  if (list != fakeList) return false;
  fake::change([&](fake::Recorded& record) { record.columns.push_back(title); });
  return true;
}

bool appendRow(ListId list, const std::vector<std::string>& cells) {
  fake::log("AppendRow " + (cells.empty() ? std::string() : cells.front()));
  if (list != fakeList) return false;
  fake::change([&](fake::Recorded& record) { record.rows.push_back(cells); });
  return true;
}

int rowCount(ListId list) {
  if (list != fakeList) return 0;
  return static_cast<int>(fake::recorded().rows.size());
}

bool setCellText(ListId list, int row, int column, const std::string& text) {
  std::unique_lock lock(fake::stateMutex());
  if (list != fakeList || gui().shuttingDown) return false;
  if (std::this_thread::get_id() == gui().uiThread)
    return applyCell(fake::mutableRecord(), row, column, text);
  CellRequest request{row, column, text};
  gui().pending.push_back(&request);
  wakeUp().notify_all();
  wakeUp().wait(lock, [&] { return request.done || gui().shuttingDown; });
  if (!request.done) std::erase(gui().pending, &request);
  return request.applied;
}

bool setWindowTitle(WindowId window, const std::string& title) {
  fake::log("SetWindowTitle " + title);
  if (window != fakeWindow) return false;
  fake::change([&](fake::Recorded& record) { record.titles.push_back(title); });
  return true;
}

int waitEvent() {
  std::unique_lock lock(fake::stateMutex());
  const auto deadline = std::chrono::steady_clock::now() + idleLimit;
  while (true) {
    applyPending(fake::mutableRecord());
    auto& events = fake::script().events;
    if (events.empty()) return closeEvent;
    if (gui().cellWritesApplied >= events.front().afterCellWrites) {
      const int code = events.front().code;
      events.pop_front();
      fake::mutableRecord().calls.push_back("WaitEvent " + std::to_string(code));
      return code;
    }
    if (wakeUp().wait_until(lock, deadline) == std::cv_status::timeout) return closeEvent;
  }
}

void showMessageBox(const std::string& caption, const std::string& text) {
  fake::change([&](fake::Recorded& record) {
    record.calls.push_back("MessageBox " + caption + "|" + text);
    record.messageBoxes.push_back(caption + "|" + text);
  });
}

void shutdownGui() {
  const std::lock_guard lock(fake::stateMutex());
  fake::mutableRecord().calls.push_back("ShutdownGui");
  gui().shuttingDown = true;
  wakeUp().notify_all();
}

}  // namespace platform
}  // namespace proccpu
