// A GUI toolkit with the program's window and five-column list, set up and shut down around each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/Gui.h"
#include "platform/linux/QtGuiState.h"

namespace proccpu::platform::qtgui {

class QtGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(initGui());
    window = openWindow(700, 500, "Process cpu usage");
    ASSERT_NE(window, 0u);
    list = createListView(window, {5, 5, 690, 490}, "Process", 180);
    ASSERT_NE(list, 0u);
    const char* titles[] = {"ProcessID", "Threads", "cpu %", "Priority"};
    for (int index = 1; index <= 4; ++index) ASSERT_TRUE(addColumn(list, index, titles[index - 1], 120));
  }

  void TearDown() override { shutdownGui(); }

  MainWindowWidget& windowWidget() { return *guiObjects().window; }
  ProcessListWidget& listWidget() { return *guiObjects().list; }

  QString cell(int row, int column) {
    const QTableWidgetItem* item = listWidget().item(row, column);
    return item == nullptr ? QString() : item->text();
  }

  WindowId window = 0;
  ListId list = 0;
};

}  // namespace proccpu::platform::qtgui
