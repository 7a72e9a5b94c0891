// The cell texts of the list view as every thread sees them, and how updates reach the GUI thread.
#include "platform/linux/QtGuiCells.h"

#include <QMetaObject>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/linux/QtGuiText.h"

namespace proccpu::platform::qtgui {

namespace {

// Every field is guarded by mutex and written by the GUI thread, except the texts of cells changed
// from another thread, which the GUI thread writes when it applies the change.
struct CellState {
  std::mutex mutex;
  std::condition_variable applied;
  std::thread::id guiThread;
  bool serving = false;
  std::uint64_t generation = 0;  // advanced by stopCellUpdates so released waiters never wait on
  ListId list = 0;
  QTableWidget* widget = nullptr;
  int columns = 0;
  std::vector<std::vector<std::string>> texts;
};

struct PendingUpdate {
  int row;
  int column;
  std::string text;
  QString shown;
  bool done = false;
};

// Never destroyed: a worker thread may still be inside setCellText while the process exits.
CellState& state() {
  static CellState* const shared = new CellState;
  return *shared;
}

bool inRange(const CellState& s, ListId list, int row, int column) {
  return s.serving && list != 0 && list == s.list && row >= 0 && column >= 0 &&
         static_cast<std::size_t>(row) < s.texts.size() && column < s.columns;
}

void showInCell(QTableWidget* widget, int row, int column, const QString& shown) {
  QTableWidgetItem* item = widget->item(row, column);
  if (item == nullptr) {
    widget->setItem(row, column, new QTableWidgetItem(shown));
  } else {
    // Only marks the cell dirty; Qt paints all changed cells together when it next paints.
    item->setText(shown);
  }
}

// Runs on the GUI thread, posted there by setFromOtherThread.
void applyPending(const std::shared_ptr<PendingUpdate>& update, std::uint64_t generation) {
  CellState& s = state();
  std::unique_lock lock(s.mutex);
  if (s.generation != generation) return;
  QTableWidget* widget = s.widget;
  s.texts[static_cast<std::size_t>(update->row)][static_cast<std::size_t>(update->column)] = update->text;
  lock.unlock();
  showInCell(widget, update->row, update->column, update->shown);
  lock.lock();
  update->done = true;
  s.applied.notify_all();
}

bool setFromOtherThread(std::unique_lock<std::mutex>& lock, int row, int column, const std::string& text) {
  CellState& s = state();
  auto update = std::make_shared<PendingUpdate>(PendingUpdate{row, column, text, cellDisplayText(text)});
  const std::uint64_t generation = s.generation;
  // Posted under the lock: stopCellUpdates takes it before the widget is destroyed.
  const bool posted = QMetaObject::invokeMethod(
      s.widget, [update, generation] { applyPending(update, generation); }, Qt::QueuedConnection);
  if (!posted) return false;
  s.applied.wait(lock, [&] { return update->done || s.generation != generation; });
  return update->done;
}

}  // namespace

void startCellUpdates(ListId list, QTableWidget* widget) {
  CellState& s = state();
  const std::lock_guard lock(s.mutex);
  s.guiThread = std::this_thread::get_id();
  s.serving = true;
  s.list = list;
  s.widget = widget;
  s.columns = 0;
  s.texts.clear();
}

void recordColumn(int index) {
  CellState& s = state();
  const std::lock_guard lock(s.mutex);
  ++s.columns;
  for (auto& row : s.texts) row.insert(row.begin() + index, std::string());
}

void recordRow(const std::vector<std::string>& cells) {
  CellState& s = state();
  const std::lock_guard lock(s.mutex);
  std::vector<std::string>& row = s.texts.emplace_back(cells);
  row.resize(static_cast<std::size_t>(s.columns));
}

int recordedRows(ListId list) {
  CellState& s = state();
  const std::lock_guard lock(s.mutex);
  return s.serving && list != 0 && list == s.list ? static_cast<int>(s.texts.size()) : 0;
}

void stopCellUpdates() {
  CellState& s = state();
  {
    const std::lock_guard lock(s.mutex);
    s.serving = false;
    ++s.generation;
    s.list = 0;
    s.widget = nullptr;
    s.columns = 0;
    s.texts.clear();
  }
  s.applied.notify_all();
}

}  // namespace proccpu::platform::qtgui

namespace proccpu::platform {

bool setCellText(ListId list, int row, int column, const std::string& text) {
  using namespace qtgui;
  CellState& s = state();
  std::unique_lock lock(s.mutex);
  if (!inRange(s, list, row, column)) return false;
  std::string& current = s.texts[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  if (current == text) return true;
  if (std::this_thread::get_id() != s.guiThread) return setFromOtherThread(lock, row, column, text);
  current = text;
  QTableWidget* widget = s.widget;
  lock.unlock();
  showInCell(widget, row, column, cellDisplayText(text));
  return true;
}

}  // namespace proccpu::platform
