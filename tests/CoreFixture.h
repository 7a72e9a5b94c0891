// A fixture that gives every test fresh fakes and the core's startup state with a window and list view.
#pragma once

#include "app/MainProgram.h"
#include "cpu/CpuCounterTable.h"
#include "inventory/ProcessListing.h"
#include "inventory/ProcessSnapshot.h"
#include "platform/fake/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace proccpu::test {

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::reset();
    platform::initGui();
    setUpCounterTable();
    setUpListing();
    setUpSnapshotLists();
  }

  void TearDown() override {
    closeQuery();
    releaseCounterLibrary();
    fake::joinStartedThreads();
  }

  // What startup does before the listing pass, with the processor count and window of the script.
  void openWindowAndList() {
    loadProcessorCount();
    mainWindow = platform::openWindow(clientWidth, clientHeight, initialTitle);
    processList = platform::createListView(mainWindow, {5, 5, 690, 490}, "Process", 180);
  }

  static std::vector<std::string> column(int index) {
    std::vector<std::string> cells;
    for (const auto& row : fake::recorded().rows) cells.push_back(row.at(static_cast<std::size_t>(index)));
    return cells;
  }

  static std::size_t countCalls(const std::string& prefix) { return fake::callsStartingWith(prefix).size(); }

  // Index of the first call starting with prefix at or after `from`; calls().size() when none.
  static std::size_t findCall(const std::string& prefix, std::size_t from = 0) {
    const auto calls = fake::recorded().calls;
    for (std::size_t i = from; i < calls.size(); ++i) {
      if (calls[i].rfind(prefix, 0) == 0) return i;
    }
    return calls.size();
  }
};

}  // namespace proccpu::test
