// The window and list view as Qt builds them: frame, placement, columns, drawing, close, message box.
#include <QAbstractButton>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "app/WindowPlacement.h"
#include "platform/linux/tests/QtGuiFixture.h"

namespace proccpu::platform::qtgui {
namespace {

TEST_F(QtGuiTest, WindowHasFixedClientCentredAndNoMaximize) {
  MainWindowWidget& w = windowWidget();
  EXPECT_EQ(w.size(), QSize(700, 500));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  for (Qt::WindowType hint : {Qt::WindowTitleHint, Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                              Qt::WindowCloseButtonHint}) {
    EXPECT_TRUE(flags.testFlag(hint)) << hint;
  }
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QRect outer = w.frameGeometry();
  const WindowPlacement expected =
      placeWindow(outer.width(), outer.height(), screen.width(), screen.height());
  EXPECT_EQ(outer.topLeft(), QPoint(expected.x, expected.y));
  EXPECT_EQ(w.windowTitle(), QString("Process cpu usage"));
  EXPECT_EQ(w.palette().color(QPalette::Window), w.palette().color(QPalette::Button));
  EXPECT_TRUE(w.windowIcon().isNull());
}

TEST_F(QtGuiTest, ListIsAFixedReportTable) {
  ProcessListWidget& l = listWidget();
  EXPECT_EQ(l.geometry(), QRect(5, 5, 690, 490));
  const char* titles[] = {"Process", "ProcessID", "Threads", "cpu %", "Priority"};
  const int widths[] = {180, 120, 120, 120, 120};
  ASSERT_EQ(l.columnCount(), 5);
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(l.horizontalHeaderItem(column)->text(), QString(titles[column]));
    EXPECT_EQ(l.columnWidth(column), widths[column]);
  }
  EXPECT_TRUE(l.horizontalHeader()->defaultAlignment().testFlag(Qt::AlignLeft));
  EXPECT_FALSE(l.horizontalHeader()->sectionsClickable());
  EXPECT_FALSE(l.horizontalHeader()->sectionsMovable());
  EXPECT_FALSE(l.isSortingEnabled());
  EXPECT_FALSE(l.verticalHeader()->isVisible());
  EXPECT_EQ(l.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(l.selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(l.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(l.frameShadow(), QFrame::Sunken);
  EXPECT_TRUE(l.focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(l.font(), QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

TEST_F(QtGuiTest, SelectionShowsOnlyWithFocusAndGridFillsTheList) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  ProcessListWidget& l = listWidget();
  l.selectRow(0);
  const QPoint inRow(l.columnViewportPosition(1) + 10, l.rowViewportPosition(0) + l.rowHeight(0) / 2);
  const QColor highlight = windowWidget().palette().color(QPalette::Active, QPalette::Highlight);

  windowWidget().activateWindow();
  l.setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(l.hasFocus());
  EXPECT_EQ(l.viewport()->grab().toImage().pixelColor(inRow), highlight);

  l.clearFocus();
  QCoreApplication::processEvents();
  const QImage unfocused = l.viewport()->grab().toImage();
  EXPECT_NE(unfocused.pixelColor(inRow), highlight);
  // A row boundary far below the only row still carries a grid line.
  const int pitch = l.rowHeight(0);
  const QColor face = l.palette().color(QPalette::Button);
  EXPECT_EQ(unfocused.pixelColor(l.columnViewportPosition(4) + 60, 10 * pitch - 1), face);
  EXPECT_EQ(unfocused.pixelColor(l.columnViewportPosition(1) - 1, 10 * pitch + pitch / 2), face);
}

TEST_F(QtGuiTest, CloseRequestIsReportedButDoesNotClose) {
  EXPECT_FALSE(windowWidget().close());
  EXPECT_EQ(waitEvent(), closeEvent);
  EXPECT_TRUE(windowWidget().isVisible());
  QTimer::singleShot(0, [] {});
  EXPECT_NE(waitEvent(), closeEvent);
}

TEST_F(QtGuiTest, MessageBoxHasCaptionTextOneOkAndNoIcon) {
  std::optional<QString> title, text;
  int buttons = -1;
  std::optional<QMessageBox::Icon> icon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->text();
    buttons = static_cast<int>(box->buttons().size());
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  showMessageBox("error", "5: Access is denied.");
  EXPECT_EQ(title, QString("error"));
  EXPECT_EQ(text, QString("5: Access is denied."));
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(icon, QMessageBox::NoIcon);
}

TEST_F(QtGuiTest, OperationsOnNoWindowOrListFail) {
  EXPECT_FALSE(addColumn(0, 1, "x", 10));
  EXPECT_FALSE(addColumn(list, 9, "x", 10));
  EXPECT_FALSE(appendRow(0, {"a"}));
  EXPECT_EQ(rowCount(0), 0);
  EXPECT_FALSE(setWindowTitle(0, "t"));
  EXPECT_EQ(createListView(0, {5, 5, 690, 490}, "Process", 180), 0u);
  EXPECT_TRUE(setWindowTitle(window, "Processes...  Sum : 0  ( Threads : 0 )"));
  EXPECT_EQ(windowWidget().windowTitle(), QString("Processes...  Sum : 0  ( Threads : 0 )"));
}

TEST(QtGuiStartTest, SmallScreenClampsTheWindowToItsSize) {
  const std::string config = ::testing::TempDir() + "proccpu-small-screen.json";
  std::ofstream(config) << R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 640, "height": 720,
                                            "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
  ASSERT_TRUE(initGui());
  ASSERT_NE(openWindow(700, 500, "Process cpu usage"), 0u);
  const MainWindowWidget& w = *guiObjects().window;
  const QRect outer = w.frameGeometry();
  EXPECT_EQ(outer.x(), 0);
  EXPECT_EQ(outer.width(), 640);
  EXPECT_EQ(outer.y(), (720 - outer.height()) / 2);
  EXPECT_EQ(w.height(), 500);
  shutdownGui();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

TEST(QtGuiStartTest, UnreachableDisplayIsRefusedInsteadOfAborting) {
  const std::string platform = std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  unsetenv("WAYLAND_DISPLAY");
  // A display number no test here starts a server on; a socket path that cannot exist.
  const struct {
    const char* platform;
    const char* display;
  } cases[] = {{"xcb", nullptr}, {"", nullptr}, {"xcb", ":987"}, {"", "unix:/nonexistent/X0"}};
  for (const auto& c : cases) {
    setenv("QT_QPA_PLATFORM", c.platform, 1);
    if (c.display == nullptr) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", c.display, 1);
    }
    EXPECT_FALSE(initGui()) << c.platform << " " << (c.display ? c.display : "no display");
    EXPECT_EQ(openWindow(700, 500, "Process cpu usage"), 0u);
    EXPECT_EQ(waitEvent(), closeEvent);
  }
  setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

}  // namespace
}  // namespace proccpu::platform::qtgui
