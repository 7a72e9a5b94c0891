// Fake performance counter service: scripted statuses and values per instance and collect.
#include "platform/CounterService.h"
#include "platform/fake/FakePlatform.h"

#include <cstring>

namespace proccpu {

namespace pf = platform;

namespace {

constexpr pf::QueryId fakeQuery = 0x51;

// Written under the fakes' lock: the sampler thread collects and reads while the test thread watches.
struct CounterState {
  bool queryOpen = false;
  bool queryClosed = false;
  int collects = 0;
  pf::CounterId nextCounter = 100;
  std::map<pf::CounterId, std::string> instanceOf;
};

CounterState& state() {
  static CounterState instance;
  return instance;
}

std::string instanceIn(const std::string& path) {
  const std::size_t open = path.find('(');
  const std::size_t close = path.rfind(")\\");
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return path.substr(open + 1, close - open - 1);
}

void noteUseAfterClose(pf::QueryId query) {
  if (state().queryClosed && query == fakeQuery) fake::mutableRecord().queryUsedAfterClose = true;
}

}  // namespace

namespace fake {

void resetCounters() {
  const std::lock_guard lock(stateMutex());
  state() = CounterState{};
}

}  // namespace fake

using fake::mutableRecord;
using fake::stateMutex;

namespace platform {

PdhStatus openQuery(QueryId* query) {
  fake::log("PdhOpenQuery");
  if (fake::script().openStatus != 0) return fake::script().openStatus;
  const std::lock_guard lock(stateMutex());
  state().queryOpen = true;
  *query = fakeQuery;
  return 0;
}

PdhStatus validatePath(const std::string& counterPath) {
  fake::log("PdhValidatePathA " + counterPath);
  return 0;
}

PdhStatus addCounter(QueryId query, const std::string& counterPath, CounterId* counter) {
  fake::log("PdhAddCounterA " + std::to_string(query) + " " + counterPath);
  const std::lock_guard lock(stateMutex());
  // The real service refuses a path without an object and an instance.
  if (counterPath.empty() || counterPath[0] != '\\' || instanceIn(counterPath).empty()) {
    return pdhCstatusBadPath;
  }
  const auto scripted = fake::script().addOutcomes.find(counterPath);
  const bool fails = scripted != fake::script().addOutcomes.end();
  if (fails && !scripted->second.givesHandle) return scripted->second.status;
  if (!fails && (query != fakeQuery || !state().queryOpen)) return pdhInvalidHandle;
  const CounterId id = state().nextCounter++;
  state().instanceOf[id] = instanceIn(counterPath);
  *counter = id;
  return fails ? scripted->second.status : 0;
}

PdhStatus collectQueryData(QueryId query) {
  const std::lock_guard lock(stateMutex());
  mutableRecord().calls.push_back("PdhCollectQueryData " + std::to_string(query));
  noteUseAfterClose(query);
  if (query != fakeQuery || !state().queryOpen) return pdhInvalidHandle;
  ++state().collects;
  return 0;
}

PdhStatus getFormattedCounterValue(CounterId counter, std::uint32_t format, std::uint32_t* type,
                                   FormattedValue* value) {
  const std::lock_guard lock(stateMutex());
  mutableRecord().calls.push_back("PdhGetFormattedCounterValue " + std::to_string(counter) + " " +
                                  std::to_string(format));
  noteUseAfterClose(fakeQuery);
  const auto found = state().instanceOf.find(counter);
  if (found == state().instanceOf.end() || !state().queryOpen) return pdhInvalidHandle;
  if (state().collects == 0) return pdhCstatusNoData;
  *type = format;
  const auto values = fake::script().values.find(found->second);
  if (values == fake::script().values.end() || values->second.empty()) {
    value->doubleValue = 0.0;
    return 0;
  }
  const auto index =
      std::min<std::size_t>(static_cast<std::size_t>(state().collects) - 1, values->second.size() - 1);
  value->doubleValue = values->second[index];
  return 0;
}

PdhStatus closeQuery(QueryId query) {
  const std::lock_guard lock(stateMutex());
  mutableRecord().calls.push_back("PdhCloseQuery " + std::to_string(query));
  if (query != fakeQuery || !state().queryOpen) return pdhInvalidHandle;
  state().queryOpen = false;
  state().queryClosed = true;
  return 0;
}

PdhStatus callLookupPerfNameByIndex(RoutineAddress routine, std::uint32_t nameIndex, char* buffer,
                                    std::uint32_t* capacity) {
  fake::log("PdhLookupPerfNameByIndexA " + std::to_string(nameIndex) + " " + std::to_string(*capacity));
  if (routine == 0) return pdhInvalidArgument;
  if (fake::script().unknownNameIndexes.count(nameIndex) != 0) return pdhCstatusNoObject;
  const char* name = nameIndex == 230 ? "Process" : nameIndex == 6 ? "% Processor Time" : nullptr;
  if (name == nullptr) return pdhCstatusNoObject;
  const auto needed = static_cast<std::uint32_t>(std::strlen(name) + 1);
  if (*capacity < needed) {
    *capacity = needed;
    return pdhMoreData;
  }
  std::memcpy(buffer, name, needed);
  *capacity = needed;
  return 0;
}

}  // namespace platform
}  // namespace proccpu
