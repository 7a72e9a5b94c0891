// Micro-benchmarks of the core over the scripted fakes: the listing pass's tree walk (the fake waits
// only record), the CPU cell text and the counter path.
#include "app/MainProgram.h"
#include "cpu/CpuCounterTable.h"
#include "inventory/ProcessListing.h"
#include "inventory/ProcessSnapshot.h"
#include "platform/fake/FakePlatform.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace proccpu::bench {

namespace {

constexpr std::uint32_t firstPid = 1;
constexpr std::uint32_t fanOut = 5;

// A tree of `count` processes, each parent with up to five children, in PID order as a snapshot gives it.
std::vector<ProcessRecord> processTree(std::uint32_t count) {
  std::vector<ProcessRecord> records;
  records.reserve(count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t parent = k == 0 ? 0 : (k - 1) / fanOut + firstPid;
    records.push_back(
        fake::process(k + firstPid, parent, 1 + k % 7, 8, "/usr/bin/process" + std::to_string(k)));
  }
  return records;
}

// The program's state right before its listing pass, over fresh fakes.
void prepareListing(const std::vector<ProcessRecord>& records) {
  fake::reset();
  fake::script().processes = records;
  platform::initGui();
  setUpCounterTable();
  setUpListing();
  setUpSnapshotLists();
  loadProcessorCount();
  mainWindow = platform::openWindow(clientWidth, clientHeight, initialTitle);
  processList = platform::createListView(mainWindow, {5, 5, 690, 490}, "Process", 180);
}

void endListing() {
  closeQuery();
  releaseCounterLibrary();
}

void treeWalk(benchmark::State& state) {
  const std::vector<ProcessRecord> records = processTree(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    prepareListing(records);
    state.ResumeTiming();
    listProcesses();
    state.PauseTiming();
    if (rowIndex + 1 != static_cast<std::int32_t>(records.size())) state.SkipWithError("rows missing");
    endListing();
    state.ResumeTiming();
  }
  state.counters["rows"] = static_cast<double>(records.size());
}
BENCHMARK(treeWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void formatCpu(benchmark::State& state) {
  const double values[] = {0.0, 12.5, 3.14159, 99.9996, 0.0004, 47.25};
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(formatCpuValue(values[next]));
    next = (next + 1) % std::size(values);
  }
}
BENCHMARK(formatCpu);

void cpuCellText(benchmark::State& state) {
  prepareListing({});
  cpuValues[0] = 12.5;
  for (auto _ : state) benchmark::DoNotOptimize(cpuText(0));
  endListing();
}
BENCHMARK(cpuCellText);

void counterPath(benchmark::State& state) {
  prepareListing({});
  const std::string instance = "editor";
  for (auto _ : state) benchmark::DoNotOptimize(buildCounterPath(instance));
  endListing();
}
BENCHMARK(counterPath);

}  // namespace

}  // namespace proccpu::bench

BENCHMARK_MAIN();
