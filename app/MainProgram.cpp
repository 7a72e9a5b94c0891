// The program from start to end: startup order, event loop and shutdown order.
#include "app/MainProgram.h"

#include "cpu/CpuCounterTable.h"
#include "cpu/CpuSampler.h"
#include "inventory/ProcessListing.h"
#include "inventory/ProcessSnapshot.h"
#include "platform/Gui.h"
#include "platform/Threads.h"

#include <iterator>

namespace proccpu {

namespace pf = platform;

namespace {

struct ColumnSpec {
  const char* title;
  int width;
};

constexpr ColumnSpec columns[] = {
    {"Process", 180}, {"ProcessID", 120}, {"Threads", 120}, {"cpu %", 120}, {"Priority", 120},
};
constexpr pf::ListRect listRect{5, 5, 690, 490};

void createProcessList() {
  processList = pf::createListView(mainWindow, listRect, columns[0].title, columns[0].width);
  for (int index = 1; index < static_cast<int>(std::size(columns)); ++index) {
    pf::addColumn(processList, index, columns[index].title, columns[index].width);
  }
}

void runEventLoop() {
  while (pf::waitEvent() != pf::closeEvent) {
  }
}

void shutDown() {
  // Closing the query also stops the sampler: its next step finds the query closed and ends the
  // thread, and a step in progress finishes before the query is closed. The sampler never holds the
  // table while it waits for a cell update, so this cannot wait for the user-interface thread.
  closeQuery();
  releaseCounterLibrary();
  pf::shutdownGui();
}

}  // namespace

int runProgram() {
  pf::initGui();
  setUpCounterTable();
  setUpListing();
  setUpSnapshotLists();
  loadProcessorCount();
  mainWindow = pf::openWindow(clientWidth, clientHeight, initialTitle);
  if (mainWindow != 0) {
    createProcessList();
    listProcesses();
    pf::startThread(samplerLoop);
    runEventLoop();
  }
  shutDown();
  return 0;
}

}  // namespace proccpu
