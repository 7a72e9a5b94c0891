// The performance counter service: one query of processor-time counters, read as formatted doubles.
#pragma once

#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <string>

namespace proccpu::platform {

using QueryId = std::uintptr_t;    // 0 is "no query"
using CounterId = std::uintptr_t;  // 0 is "no counter"
using PdhStatus = std::uint32_t;   // 0 is success; anything else is the service's failure code

inline constexpr const char* counterLibraryName = "pdh.dll";
inline constexpr const char* lookupNameRoutine = "PdhLookupPerfNameByIndexA";
inline constexpr std::uint32_t pdhFmtDouble = 0x200;
inline constexpr PdhStatus pdhCstatusNoData = 0x800007D5u;       // PDH_CSTATUS_NO_DATA
inline constexpr PdhStatus pdhCstatusNoInstance = 0x800007D1u;   // PDH_CSTATUS_NO_INSTANCE
inline constexpr PdhStatus pdhCstatusNoObject = 0xC0000BB8u;     // PDH_CSTATUS_NO_OBJECT
inline constexpr PdhStatus pdhCstatusNoCounter = 0xC0000BB9u;    // PDH_CSTATUS_NO_COUNTER
inline constexpr PdhStatus pdhCstatusBadPath = 0xC0000BC0u;      // PDH_CSTATUS_BAD_COUNTERNAME
inline constexpr PdhStatus pdhInvalidArgument = 0xC0000BBDu;     // PDH_INVALID_ARGUMENT
inline constexpr PdhStatus pdhInvalidHandle = 0xC0000BBCu;       // PDH_INVALID_HANDLE
inline constexpr PdhStatus pdhMoreData = 0x800007D2u;            // PDH_MORE_DATA
inline constexpr PdhStatus pdhInsufficientBuffer = 0xC0000BC2u;  // PDH_INSUFFICIENT_BUFFER

/// The service's formatted counter value, of which the core reads only doubleValue.
struct FormattedValue {
  std::uint32_t cStatus;
  double doubleValue;
};

/// PdhOpenQuery with no data source (live data) and user data 0. On success stores the new query in
/// *query and returns 0; on failure returns the status and leaves *query unchanged.
PdhStatus openQuery(QueryId* query);

/// PdhValidatePathA. Returns 0 when the path names an existing counter, else the failure status.
PdhStatus validatePath(const std::string& counterPath);

/// PdhAddCounterA with user data 0. On success stores the counter in *counter and returns 0; on failure
/// returns the status (for a malformed path, unknown object, counter or query) and may leave *counter.
PdhStatus addCounter(QueryId query, const std::string& counterPath, CounterId* counter);

/// PdhCollectQueryData: one new raw sample for every counter of the query. Returns the status.
PdhStatus collectQueryData(QueryId query);

/// PdhGetFormattedCounterValue with this format. Fills *type and *value as the service does; on failure
/// returns the status and leaves what it did not write (a counter 0 gives pdhInvalidHandle).
PdhStatus getFormattedCounterValue(CounterId counter, std::uint32_t format, std::uint32_t* type,
                                   FormattedValue* value);

/// PdhCloseQuery; releases the query's counters. Returns the status (pdhInvalidHandle for 0).
PdhStatus closeQuery(QueryId query);

/// Calls "PdhLookupPerfNameByIndexA" at this address: no machine name, the name number, a buffer and the
/// address of its capacity in characters. Writes the zero-terminated name and returns 0; when the name is
/// unknown returns a failure status and leaves the buffer; when it does not fit returns
/// pdhMoreData/pdhInsufficientBuffer with the needed size in *capacity. Returns pdhInvalidArgument when
/// the routine is 0.
PdhStatus callLookupPerfNameByIndex(RoutineAddress routine, std::uint32_t nameIndex, char* buffer,
                                    std::uint32_t* capacity);

}  // namespace proccpu::platform
