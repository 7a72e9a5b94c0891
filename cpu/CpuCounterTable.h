// One processor-time counter per list row, the latest reading of each, and the text of a reading.
#pragma once

#include "cpu/SlotArray.h"
#include "platform/CounterService.h"

#include <cstdint>
#include <string>

namespace proccpu {

inline constexpr std::uint32_t processObjectIndex = 230;
inline constexpr std::uint32_t processorTimeCounterIndex = 6;
inline constexpr std::size_t lookupBufferCapacity = 260;
inline constexpr std::size_t errorTextCapacity = 256;

// Written by the user-interface thread during the listing pass only; read by the sampler afterwards.
extern platform::QueryId counterQuery;
extern platform::PdhStatus queryStatus;
extern std::int32_t counterIndex;
extern SlotArray<platform::CounterId> counterHandles;
extern std::uint32_t processorCount;
// Written by readCpu: the listing pass during the pass, then the sampler only.
extern SlotArray<double> cpuValues;

/// Startup state: counterIndex -1, both arrays with 2 zeroed slots, no query, status good, not closed.
void setUpCounterTable();

/// Reads the processor count once; a count of 0 from the system is taken as 1.
void loadProcessorCount();

/// Opens the one counter query; its status lands in queryStatus.
void openQuery();

/// The path of the processor-time counter of this instance, built from the names the service gives for
/// numbers 230 and 6. Empty when the name library or its lookup routine is missing.
std::string buildCounterPath(const std::string& instanceName);

/// Takes the next slot and registers its counter. Returns 1 when a counter was added, 0 when the failure
/// was reported in the "error" message box. When memory for the slot is exhausted the slot is skipped:
/// counterIndex still advances, nothing is registered, readCpu and cpuText treat the row as no slot.
std::int32_t registerCounter(const std::string& instanceName);

/// Stores the row's formatted reading divided by processorCount in cpuValues[row]. Returns false, without
/// touching the service or the table, once closeQuery has run or when row is not a slot.
bool readCpu(std::int32_t row);

/// Collects a new sample for every counter. Returns false, without calling the service, after closeQuery.
bool collectSample();

/// cpuValues[row] with exactly three decimals ("12.500", "0.000" for either zero). Empty after closeQuery
/// or when row is not a slot.
std::string cpuText(std::int32_t row);

/// A CPU value with exactly three decimals, rounded, "-" for negatives, "0.000" for either zero.
std::string formatCpuValue(double value);

/// Closes the query. From then on collectSample, readCpu and cpuText do nothing; a call in progress on
/// another thread finishes first. Safe when no query was opened.
void closeQuery();

/// True once closeQuery has run.
bool isCounterQueryClosed();

/// Releases the name library that buildCounterPath left loaded, if any.
void releaseCounterLibrary();

}  // namespace proccpu
