// The sampling thread that keeps the CPU column current.
#include "cpu/CpuSampler.h"

#include "cpu/CpuCounterTable.h"
#include "inventory/ProcessListing.h"
#include "platform/Gui.h"
#include "platform/Threads.h"

namespace proccpu {

namespace pf = platform;

namespace {

constexpr std::uint32_t rowGapMs = 5;
constexpr std::uint32_t passGapMs = 10;

}  // namespace

bool samplerPass() {
  if (!collectSample()) return false;
  // rowIndex is read anew before every row; it does not change once the listing pass is over.
  for (std::int32_t row = 0; row <= rowIndex; ++row) {
    // A false read means the query was closed, or the row got no slot when memory ran out.
    if (!readCpu(row)) {
      if (isCounterQueryClosed()) return false;
      continue;
    }
    pf::waitMilliseconds(rowGapMs);
    const std::string text = cpuText(row);
    if (text.empty()) return false;
    pf::setCellText(processList, row, cpuColumn, text);
  }
  pf::waitMilliseconds(passGapMs);
  return true;
}

void samplerLoop() {
  while (samplerPass()) {
  }
}

}  // namespace proccpu
