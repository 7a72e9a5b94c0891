// Measures what one cpu cell update costs a worker thread: a changed text, and an unchanged one.
// Run under a display or with QT_QPA_PLATFORM=offscreen; prints microseconds per call.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Gui.h"

namespace pf = proccpu::platform;

namespace {

constexpr int rows = 130;
constexpr int visibleRows = 20;
constexpr int callsPerRound = 1000;
constexpr int rounds = 5;
constexpr int cpuColumn = 3;

using Clock = std::chrono::steady_clock;

double microsecondsPerCall(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / callsPerRound;
}

void measure(pf::ListId list, std::vector<double>& changed, std::vector<double>& unchanged) {
  int value = 0;
  for (int round = 0; round < rounds; ++round) {
    Clock::time_point start = Clock::now();
    // Rows on screen, so every change is painted.
    for (int i = 0; i < callsPerRound; ++i)
      pf::setCellText(list, i % visibleRows, cpuColumn, std::to_string(++value));
    changed.push_back(microsecondsPerCall(start));
    start = Clock::now();
    for (int i = 0; i < callsPerRound; ++i) pf::setCellText(list, 0, cpuColumn, std::to_string(value));
    unchanged.push_back(microsecondsPerCall(start));
  }
}

void report(const char* what, std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::printf("%-10s min %8.2f us  median %8.2f us  max %8.2f us\n", what, values.front(),
              values[values.size() / 2], values.back());
}

}  // namespace

int main() {
  if (!pf::initGui()) return 1;
  const pf::WindowId window = pf::openWindow(700, 500, "cell update benchmark");
  const pf::ListId list = pf::createListView(window, {5, 5, 690, 490}, "Process", 180);
  for (int column = 1; column <= 4; ++column) pf::addColumn(list, column, "column", 120);
  for (int row = 0; row < rows; ++row)
    pf::appendRow(list, {"process", std::to_string(row), "1", "0.000", "Normal"});
  std::atomic<bool> finished = false;
  std::vector<double> changed, unchanged;
  std::thread worker([&] {
    measure(list, changed, unchanged);
    finished = true;
  });
  while (!finished.load()) pf::waitEvent();
  // Releases the worker should it wait on a last update that this thread no longer serves.
  pf::shutdownGui();
  worker.join();
  report("changed", changed);
  report("unchanged", unchanged);
  return 0;
}
