// The GUI toolkit on Qt 6 Widgets: the main window, its report list view, a message box, the event wait.
#include <QFontDatabase>
#include <QMessageBox>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/Gui.h"
#include "platform/linux/QtGuiCells.h"
#include "platform/linux/QtGuiState.h"
#include "platform/linux/QtGuiText.h"

namespace proccpu::platform {

namespace qtgui {

GuiObjects& guiObjects() {
  static GuiObjects objects;
  return objects;
}

}  // namespace qtgui

namespace {

using qtgui::guiObjects;

constexpr int otherEvent = 0;

// QApplication keeps references to these for its whole life.
int applicationArgc = 1;
char applicationName[] = "proccpu";
char* applicationArgv[] = {applicationName, nullptr};

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool xServerAnswers() {
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(nullptr, nullptr),
                                                                                &xcb_disconnect);
  return connection != nullptr && xcb_connection_has_error(connection.get()) == 0;
}

// Qt aborts the process when its platform plugin cannot reach a display; refuse before that happens.
bool displayReachable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string_view chosen = platform != nullptr ? platform : "";
  if (chosen.starts_with("xcb")) return xServerAnswers();
  if (!chosen.empty()) return true;
  return xServerAnswers() || isSet("WAYLAND_DISPLAY");
}

WindowId idOf(const qtgui::MainWindowWidget* window) { return reinterpret_cast<WindowId>(window); }
ListId idOf(const qtgui::ProcessListWidget* list) { return reinterpret_cast<ListId>(list); }

qtgui::MainWindowWidget* windowOf(WindowId window) {
  qtgui::MainWindowWidget* current = guiObjects().window.get();
  return window != 0 && window == idOf(current) ? current : nullptr;
}

qtgui::ProcessListWidget* listOf(ListId list) {
  qtgui::ProcessListWidget* current = guiObjects().list;
  return list != 0 && list == idOf(current) ? current : nullptr;
}

void setHeader(QTableWidget& list, int index, const std::string& title, int width) {
  auto* item = new QTableWidgetItem(qtgui::fromProgramText(title));
  item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list.setHorizontalHeaderItem(index, item);
  list.setColumnWidth(index, width);
}

}  // namespace

bool initGui() {
  qtgui::GuiObjects& objects = guiObjects();
  if (objects.application != nullptr) return true;
  if (!displayReachable()) return false;
  objects.application = std::make_unique<QApplication>(applicationArgc, applicationArgv);
  if (QGuiApplication::primaryScreen() == nullptr) {
    objects.application.reset();
    return false;
  }
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  return true;
}

WindowId openWindow(int clientWidth, int clientHeight, const std::string& title) {
  qtgui::GuiObjects& objects = guiObjects();
  if (objects.application == nullptr || objects.window != nullptr) return 0;
  if (clientWidth <= 0 || clientHeight <= 0) return 0;
  objects.window = std::make_unique<qtgui::MainWindowWidget>(QSize(clientWidth, clientHeight));
  objects.window->setWindowTitle(qtgui::fromProgramText(title));
  objects.window->placeOnPrimaryScreen();
  objects.window->show();
  // Let the window appear before the caller keeps this thread busy.
  QCoreApplication::processEvents();
  return idOf(objects.window.get());
}

ListId createListView(WindowId window, ListRect rect, const std::string& column0Title, int column0Width) {
  qtgui::MainWindowWidget* parent = windowOf(window);
  qtgui::GuiObjects& objects = guiObjects();
  if (parent == nullptr || objects.list != nullptr) return 0;
  auto* list = new qtgui::ProcessListWidget(parent);
  list->setGeometry(rect.left, rect.top, rect.width, rect.height);
  objects.list = list;
  qtgui::startCellUpdates(idOf(list), list);
  list->setColumnCount(1);
  setHeader(*list, 0, column0Title, column0Width);
  qtgui::recordColumn(0);
  list->show();
  return idOf(list);
}

bool addColumn(ListId list, int index, const std::string& title, int width) {
  qtgui::ProcessListWidget* view = listOf(list);
  if (view == nullptr || index < 0 || index > view->columnCount()) return false;
  view->insertColumn(index);
  setHeader(*view, index, title, width);
  qtgui::recordColumn(index);
  return true;
}

bool appendRow(ListId list, const std::vector<std::string>& cells) {
  qtgui::ProcessListWidget* view = listOf(list);
  if (view == nullptr) return false;
  const int row = view->rowCount();
  view->insertRow(row);
  const int filled = std::min(static_cast<int>(cells.size()), view->columnCount());
  for (int column = 0; column < filled; ++column) {
    const QString shown = qtgui::cellDisplayText(cells[static_cast<std::size_t>(column)]);
    view->setItem(row, column, new QTableWidgetItem(shown));
  }
  qtgui::recordRow(cells);
  return true;
}

int rowCount(ListId list) { return qtgui::recordedRows(list); }

bool setWindowTitle(WindowId window, const std::string& title) {
  qtgui::MainWindowWidget* target = windowOf(window);
  if (target == nullptr) return false;
  target->setWindowTitle(qtgui::fromProgramText(title));
  return true;
}

int waitEvent() {
  qtgui::MainWindowWidget* window = guiObjects().window.get();
  if (guiObjects().application == nullptr || window == nullptr) return closeEvent;
  if (window->takeCloseRequest()) return closeEvent;
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return window->takeCloseRequest() ? closeEvent : otherEvent;
}

void showMessageBox(const std::string& caption, const std::string& text) {
  if (guiObjects().application == nullptr) return;
  QMessageBox box(QMessageBox::NoIcon, qtgui::fromProgramText(caption), qtgui::fromProgramText(text),
                  QMessageBox::Ok, guiObjects().window.get());
  box.exec();
}

void shutdownGui() {
  qtgui::stopCellUpdates();
  qtgui::GuiObjects& objects = guiObjects();
  objects.list = nullptr;
  objects.window.reset();
  objects.application.reset();
}

}  // namespace proccpu::platform
