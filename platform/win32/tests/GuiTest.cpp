// The window and list view on the real toolkit: geometry, rows, cell changes from another thread, close.
#include "app/WindowPlacement.h"
#include "platform/Gui.h"
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace proccpu::platform {
namespace {

std::string cellText(ListId list, int row, int column) {
  char buffer[64] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof(buffer);
  SendMessageA(win32::fromId<HWND>(list), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
  return buffer;
}

class GuiTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(initGui());
    window = openWindow(700, 500, "Process cpu usage");
    ASSERT_NE(window, 0u);
    list = createListView(window, {5, 5, 690, 490}, "Process", 180);
    ASSERT_NE(list, 0u);
    const char* titles[] = {"ProcessID", "Threads", "cpu %", "Priority"};
    for (int column = 1; column <= 4; ++column) ASSERT_TRUE(addColumn(list, column, titles[column - 1], 120));
    ASSERT_TRUE(appendRow(list, {"wineboot.exe", "32", "4", "0.000", "Normal"}));
  }
  void TearDown() override { shutdownGui(); }

  WindowId window = 0;
  ListId list = 0;
};

TEST_F(GuiTest, ClientAreaIsExactAndWindowCentred) {
  HWND handle = win32::fromId<HWND>(window);
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 700);
  EXPECT_EQ(client.bottom, 500);
  RECT outer{};
  GetWindowRect(handle, &outer);
  const WindowPlacement expected = placeWindow(outer.right - outer.left, outer.bottom - outer.top,
                                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(outer.left, expected.x);
  EXPECT_EQ(outer.top, expected.y);
  const auto style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
}

TEST_F(GuiTest, RowCellsLandInTheirColumns) {
  EXPECT_EQ(rowCount(list), 1);
  const std::vector<std::string> expected = {"wineboot.exe", "32", "4", "0.000", "Normal"};
  for (int column = 0; column < 5; ++column) EXPECT_EQ(cellText(list, 0, column), expected[column]);
}

struct CellCase {
  int row;
  int column;
  bool accepted;
};

class CellRange : public GuiTest, public testing::WithParamInterface<CellCase> {};

TEST_P(CellRange, OnlyExistingCellsChange) {
  EXPECT_EQ(setCellText(list, GetParam().row, GetParam().column, "1.250"), GetParam().accepted);
  EXPECT_EQ(cellText(list, 0, 3), GetParam().accepted ? "1.250" : "0.000");
}

INSTANTIATE_TEST_SUITE_P(Cells, CellRange,
                         testing::Values(CellCase{0, 3, true}, CellCase{1, 3, false}, CellCase{-1, 3, false},
                                         CellCase{0, 5, false}, CellCase{0, -1, false}));

TEST_F(GuiTest, CellChangeFromAnotherThreadIsMadeWhileTheWindowWaits) {
  std::atomic<bool> accepted{false};
  std::thread worker([&] {
    accepted.store(setCellText(list, 0, 3, "12.500"));
    PostMessageA(win32::fromId<HWND>(window), WM_CLOSE, 0, 0);
  });
  int event = 0;
  while (event != closeEvent) event = waitEvent();
  worker.join();
  EXPECT_TRUE(accepted.load());
  EXPECT_EQ(cellText(list, 0, 3), "12.500");
  EXPECT_TRUE(IsWindow(win32::fromId<HWND>(window))) << "a close request leaves the window";
}

TEST_F(GuiTest, SentCloseRequestEndsTheWait) {
  std::thread outsider([&] { SendMessageA(win32::fromId<HWND>(window), WM_CLOSE, 0, 0); });
  int event = 0;
  while (event != closeEvent) event = waitEvent();
  outsider.join();
}

TEST_F(GuiTest, NoCellChangesAfterShutdown) {
  shutdownGui();
  EXPECT_FALSE(IsWindow(win32::fromId<HWND>(window)));
  EXPECT_FALSE(setCellText(list, 0, 3, "9.000"));
  bool fromWorker = true;
  std::thread worker([&] { fromWorker = setCellText(list, 0, 3, "9.000"); });
  worker.join();
  EXPECT_FALSE(fromWorker);
}

}  // namespace
}  // namespace proccpu::platform
