// Readings of one process at several collect intervals, from the counter service and from ticks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace proccpu::bench {

inline constexpr double windowTolerance = 0.1;  // percentage points

/// Sums over the readings taken at one interval; shares and means are derived from them.
struct IntervalTotals {
  int intervalMs = 0;
  int readings = 0;
  double serviceError = 0.0;  // sum of |reading - whole-run truth|, percentage points
  double tickError = 0.0;
  int serviceZeros = 0;
  int tickZeros = 0;
  int windowsWithin = 0;  // service readings within windowTolerance of the CPU clock over their window
  double windowMaxDeviation = 0.0;

  double serviceMae() const { return readings > 0 ? serviceError / readings : 0.0; }
  double tickMae() const { return readings > 0 ? tickError / readings : 0.0; }
  double serviceZeroShare() const {
    return readings > 0 ? static_cast<double>(serviceZeros) / readings : 0.0;
  }
  double tickZeroShare() const { return readings > 0 ? static_cast<double>(tickZeros) / readings : 0.0; }
  double windowWithinShare() const {
    return readings > 0 ? static_cast<double>(windowsWithin) / readings : 0.0;
  }
  double errorRatio() const { return serviceError > 0.0 ? tickError / serviceError : 0.0; }

  void add(const IntervalTotals& other) {
    readings += other.readings;
    serviceError += other.serviceError;
    tickError += other.tickError;
    serviceZeros += other.serviceZeros;
    tickZeros += other.tickZeros;
    windowsWithin += other.windowsWithin;
    windowMaxDeviation = std::max(windowMaxDeviation, other.windowMaxDeviation);
  }
};

/// One zeroed entry per collect interval measured: 15 ms, 60 ms and 1 s.
std::vector<IntervalTotals> emptyTotals();

/// Reads the process for this many seconds through one counter query per interval, side by side with
/// its utime+stime, and compares both with its CPU clock. No readings when the counter cannot be added.
std::vector<IntervalTotals> measureLoad(std::uint32_t pid, const std::string& instance, int seconds);

}  // namespace proccpu::bench
