// Rows and cells of the list view: hostile names, cell updates from other threads, shutdown release.
#include <QSignalSpy>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/linux/tests/QtGuiFixture.h"

namespace proccpu::platform::qtgui {
namespace {

struct HostileName {
  std::string bytes;
  QString shown;
};

TEST_F(QtGuiTest, EveryNameStaysOnOneLineInItsOwnCell) {
  const HostileName names[] = {
      {"two words (x)", "two words (x)"},
      {"line\nfeed", QString("line") + QChar(0x240A) + "feed"},
      {"tab\there\r", QString("tab") + QChar(0x2409) + "here" + QChar(0x240D)},
      {"bad\xff\xfeutf8", QString("bad") + QChar(0xFFFD) + QChar(0xFFFD) + "utf8"},
      {"sep\xe2\x80\xa8nel\xc2\x85", QString("sep") + QChar(0xFFFD) + "nel" + QChar(0xFFFD)},
      {"kworker/0:1-events", "kworker/0:1-events"},
      {"caf\xc3\xa9", QString::fromUtf8("caf\xc3\xa9")},
      {std::string(255, 'n'), QString(255, QChar('n'))},
  };
  int row = 0;
  for (const HostileName& name : names) {
    ASSERT_TRUE(appendRow(list, {name.bytes, "42", "3", "0.000", "Normal"}));
    EXPECT_EQ(cell(row, 0), name.shown) << row;
    EXPECT_EQ(cell(row, 1), QString("42")) << row;
    EXPECT_EQ(cell(row, 4), QString("Normal")) << row;
    ++row;
  }
  EXPECT_EQ(rowCount(list), row);
  EXPECT_EQ(listWidget().rowCount(), row);
}

TEST_F(QtGuiTest, RowsTakeOneCellPerColumn) {
  ASSERT_TRUE(appendRow(list, {"short"}));
  ASSERT_TRUE(appendRow(list, {"a", "b", "c", "d", "e", "extra"}));
  EXPECT_EQ(cell(0, 0), QString("short"));
  EXPECT_EQ(cell(0, 3), QString());
  EXPECT_EQ(cell(1, 4), QString("e"));
  EXPECT_EQ(listWidget().columnCount(), 5);
  EXPECT_TRUE(setCellText(list, 0, 3, "1.500"));
  EXPECT_EQ(cell(0, 3), QString("1.500"));
}

TEST_F(QtGuiTest, SetCellTextRefusesWhatIsNotThere) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  const struct {
    ListId list;
    int row;
    int column;
  } outside[] = {{0, 0, 3}, {list + 1, 0, 3}, {list, 1, 3}, {list, -1, 3}, {list, 0, 5}, {list, 0, -1}};
  for (const auto& c : outside) EXPECT_FALSE(setCellText(c.list, c.row, c.column, "9.000"));
  EXPECT_EQ(cell(0, 3), QString("0.000"));
}

TEST_F(QtGuiTest, UnchangedTextCausesNoRepaint) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  QSignalSpy changes(listWidget().model(), &QAbstractItemModel::dataChanged);
  EXPECT_TRUE(setCellText(list, 0, 3, "0.000"));
  EXPECT_EQ(changes.count(), 0);
  EXPECT_TRUE(setCellText(list, 0, 3, "2.250"));
  EXPECT_EQ(changes.count(), 1);
}

// Keeps the GUI thread serving events until the worker has returned.
void serveUntil(const std::atomic<bool>& finished) {
  while (!finished.load()) waitEvent();
}

TEST_F(QtGuiTest, UpdateFromAnotherThreadIsAppliedBeforeItReturns) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  ASSERT_TRUE(appendRow(list, {"kthreadd", "2", "1", "0.000", "Normal"}));
  std::atomic<bool> finished = false;
  bool results[3] = {};
  std::thread worker([&] {
    results[0] = setCellText(list, 0, 3, "12.500");
    results[1] = setCellText(list, 1, 3, "0.250");
    results[2] = setCellText(list, 1, 3, "0.250");
    finished = true;
  });
  // Ticks so that the GUI thread wakes to see finished.
  QTimer wake;
  QObject::connect(&wake, &QTimer::timeout, [] {});
  wake.start(1);
  serveUntil(finished);
  worker.join();
  EXPECT_TRUE(results[0] && results[1] && results[2]);
  EXPECT_EQ(cell(0, 3), QString("12.500"));
  EXPECT_EQ(cell(1, 3), QString("0.250"));
  EXPECT_EQ(cell(1, 0), QString("kthreadd"));
}

TEST_F(QtGuiTest, UnchangedTextFromAnotherThreadNeedsNoGuiThread) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  bool result = false;
  // The GUI thread only joins here, so a posted change would never be served.
  std::thread([&] { result = setCellText(list, 0, 3, "0.000"); }).join();
  EXPECT_TRUE(result);
}

TEST_F(QtGuiTest, ShutdownReleasesAWaitingWorkerAndRefusesLaterUpdates) {
  ASSERT_TRUE(appendRow(list, {"init", "1", "1", "0.000", "Normal"}));
  std::atomic<bool> started = false;
  bool waited = true;
  std::thread worker([&] {
    started = true;
    waited = setCellText(list, 0, 3, "50.000");
  });
  while (!started.load()) std::this_thread::yield();
  // Give the worker time to post and block; the outcome is the same if it has not yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  shutdownGui();
  worker.join();
  EXPECT_FALSE(waited);
  bool later = true;
  std::thread([&] { later = setCellText(list, 0, 3, "60.000"); }).join();
  EXPECT_FALSE(later);
  EXPECT_FALSE(setCellText(list, 0, 3, "70.000"));
  EXPECT_EQ(rowCount(list), 0);
}

}  // namespace
}  // namespace proccpu::platform::qtgui
