// The performance counter service over pdh, called directly except for the name routine.
#include "platform/CounterService.h"
#include "platform/win32/WinApi.h"

namespace proccpu::platform {

namespace {

using LookupPerfNameRoutine = PDH_STATUS(WINAPI*)(LPCSTR, DWORD, LPSTR, LPDWORD);

PdhStatus toStatus(PDH_STATUS status) { return static_cast<PdhStatus>(status); }

}  // namespace

PdhStatus openQuery(QueryId* query) {
  PDH_HQUERY opened = nullptr;
  const PDH_STATUS status = PdhOpenQueryA(nullptr, 0, &opened);
  if (status == ERROR_SUCCESS) *query = win32::toId(opened);
  return toStatus(status);
}

PdhStatus validatePath(const std::string& counterPath) {
  return toStatus(PdhValidatePathA(counterPath.c_str()));
}

PdhStatus addCounter(QueryId query, const std::string& counterPath, CounterId* counter) {
  PDH_HCOUNTER added = win32::fromId<PDH_HCOUNTER>(*counter);
  const PDH_STATUS status = PdhAddCounterA(win32::fromId<PDH_HQUERY>(query), counterPath.c_str(), 0, &added);
  *counter = win32::toId(added);
  return toStatus(status);
}

PdhStatus collectQueryData(QueryId query) {
  return toStatus(PdhCollectQueryData(win32::fromId<PDH_HQUERY>(query)));
}

PdhStatus getFormattedCounterValue(CounterId counter, std::uint32_t format, std::uint32_t* type,
                                   FormattedValue* value) {
  // Checked here because not every implementation of the service checks a null counter.
  if (counter == 0) return pdhInvalidHandle;
  DWORD systemType = *type;
  PDH_FMT_COUNTERVALUE systemValue{};
  systemValue.CStatus = value->cStatus;
  systemValue.doubleValue = value->doubleValue;
  const PDH_STATUS status =
      PdhGetFormattedCounterValue(win32::fromId<PDH_HCOUNTER>(counter), format, &systemType, &systemValue);
  *type = systemType;
  value->cStatus = systemValue.CStatus;
  value->doubleValue = systemValue.doubleValue;
  return toStatus(status);
}

PdhStatus closeQuery(QueryId query) {
  if (query == 0) return pdhInvalidHandle;
  return toStatus(PdhCloseQuery(win32::fromId<PDH_HQUERY>(query)));
}

PdhStatus callLookupPerfNameByIndex(RoutineAddress routine, std::uint32_t nameIndex, char* buffer,
                                    std::uint32_t* capacity) {
  if (routine == 0) return pdhInvalidArgument;
  const auto lookup = reinterpret_cast<LookupPerfNameRoutine>(routine);
  DWORD systemCapacity = *capacity;
  const PDH_STATUS status = lookup(nullptr, nameIndex, buffer, &systemCapacity);
  *capacity = systemCapacity;
  return toStatus(status);
}

}  // namespace proccpu::platform
