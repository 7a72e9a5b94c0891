// One processor-time counter per list row, the latest reading of each, and the text of a reading.
#include "cpu/CpuCounterTable.h"

#include "platform/Gui.h"
#include "platform/SystemInfo.h"

#include <charconv>
#include <mutex>

namespace proccpu {

namespace pf = platform;

pf::QueryId counterQuery = 0;
pf::PdhStatus queryStatus = 0;
std::int32_t counterIndex = -1;
SlotArray<pf::CounterId> counterHandles;
SlotArray<double> cpuValues;
std::uint32_t processorCount = 0;

namespace {

constexpr std::size_t initialSlots = 2;

// Written under tableGuard: set by closeQuery on the user-interface thread, cleared at set-up.
bool queryClosed = false;
// Written by buildCounterPath on the user-interface thread: the name library it left loaded.
pf::LibraryId nameLibrary = 0;

// Held around every use of the query and of the values, so that closeQuery cannot overlap a read of
// the sampler. Never destroyed: the sampler may still reach it while the process exits.
std::mutex& tableGuard() {
  static std::mutex* const guard = new std::mutex;
  return *guard;
}

bool isSlot(std::int32_t row) {
  if (row < 0) return false;
  const auto slot = static_cast<std::size_t>(row);
  return slot < cpuValues.size() && slot < counterHandles.size();
}

std::string lookUpName(pf::RoutineAddress routine, std::uint32_t nameIndex) {
  // When the routine writes nothing, the blanks stand in for the name.
  std::string buffer(lookupBufferCapacity, ' ');
  buffer.push_back('\0');
  auto capacity = static_cast<std::uint32_t>(lookupBufferCapacity);
  pf::callLookupPerfNameByIndex(routine, nameIndex, buffer.data(), &capacity);
  return std::string(buffer.c_str());
}

std::int32_t reportRegistrationError() {
  const std::uint32_t code = pf::lastErrorCode();
  std::string text = pf::systemErrorText(code);
  if (text.size() > errorTextCapacity) text.resize(errorTextCapacity);
  pf::showMessageBox("error", std::to_string(code) + ": " + text);
  return 0;
}

// Gives every row up to counterIndex a slot in both arrays; false when memory is exhausted.
bool growToCounterIndex() {
  if (counterIndex <= 1) return true;
  const auto size = static_cast<std::size_t>(counterIndex) + 1;
  const std::lock_guard lock(tableGuard());
  const bool valuesGrown = cpuValues.resize(size);
  return counterHandles.resize(size) && valuesGrown;
}

}  // namespace

void setUpCounterTable() {
  const std::lock_guard lock(tableGuard());
  counterQuery = 0;
  queryStatus = 0;
  counterIndex = -1;
  cpuValues.assign(initialSlots);
  counterHandles.assign(initialSlots);
  queryClosed = false;
}

void loadProcessorCount() {
  processorCount = pf::processorCount();
  // A reading divided by zero would show as infinity in every row.
  if (processorCount == 0) processorCount = 1;
}

void openQuery() { queryStatus = pf::openQuery(&counterQuery); }

std::string buildCounterPath(const std::string& instanceName) {
  if (nameLibrary != 0) pf::freeLibrary(nameLibrary);
  nameLibrary = pf::loadLibrary(pf::counterLibraryName);
  if (nameLibrary == 0) return {};
  const pf::RoutineAddress lookup = pf::findRoutine(nameLibrary, pf::lookupNameRoutine);
  if (lookup == 0) {
    pf::freeLibrary(nameLibrary);
    nameLibrary = 0;
    return {};
  }
  const std::string objectName = lookUpName(lookup, processObjectIndex);
  const std::string counterName = lookUpName(lookup, processorTimeCounterIndex);
  return "\\" + objectName + "(" + instanceName + ")\\" + counterName;
}

std::int32_t registerCounter(const std::string& instanceName) {
  ++counterIndex;
  if (!growToCounterIndex()) return 0;
  if (queryStatus != 0) return reportRegistrationError();
  const std::string counterPath = buildCounterPath(instanceName);
  pf::validatePath(counterPath);
  pf::CounterId handle = 0;
  queryStatus = pf::addCounter(counterQuery, counterPath, &handle);
  if (queryStatus == 0) counterHandles[static_cast<std::size_t>(counterIndex)] = handle;
  // Success is decided by the handle, storing by the status.
  if (handle != 0) return 1;
  return reportRegistrationError();
}

bool readCpu(std::int32_t row) {
  const std::lock_guard lock(tableGuard());
  if (queryClosed || !isSlot(row)) return false;
  const auto slot = static_cast<std::size_t>(row);
  pf::FormattedValue value{};
  std::uint32_t type = 0;
  pf::getFormattedCounterValue(counterHandles[slot], pf::pdhFmtDouble, &type, &value);
  cpuValues[slot] = value.doubleValue / static_cast<double>(processorCount);
  return true;
}

bool collectSample() {
  const std::lock_guard lock(tableGuard());
  if (queryClosed) return false;
  pf::collectQueryData(counterQuery);
  return true;
}

std::string cpuText(std::int32_t row) {
  const std::lock_guard lock(tableGuard());
  if (queryClosed || !isSlot(row)) return {};
  return formatCpuValue(cpuValues[static_cast<std::size_t>(row)]);
}

std::string formatCpuValue(double value) {
  // to_chars ignores the locale, which the GUI toolkit may have set to one with a decimal comma.
  char text[400];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  if (error != std::errc{}) return {};
  std::string result(text, end);
  // Zero reads 0.000 whatever its sign bit, and so does a negative value that rounds to zero.
  if (result == "-0.000") result.erase(0, 1);
  return result;
}

void closeQuery() {
  const std::lock_guard lock(tableGuard());
  queryClosed = true;
  pf::closeQuery(counterQuery);
}

bool isCounterQueryClosed() {
  const std::lock_guard lock(tableGuard());
  return queryClosed;
}

void releaseCounterLibrary() {
  if (nameLibrary == 0) return;
  pf::freeLibrary(nameLibrary);
  nameLibrary = 0;
}

}  // namespace proccpu
