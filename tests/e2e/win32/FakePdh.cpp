// A test-only pdh.dll: serves the process object's processor-time counter from the system process list.
#include <pdh.h>
#include <pdhmsg.h>
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "OwnedHandle.h"

namespace {

constexpr DWORD processObjectIndex = 230;
constexpr DWORD processorTimeIndex = 6;
constexpr char processObject[] = "Process";
constexpr char processorTime[] = "% Processor Time";
constexpr ULONG firstListSize = 256 * 1024;
constexpr int listTries = 8;

struct Sample {
  long long cpu100ns = 0;
  long long wall100ns = 0;
};

struct Counter {
  std::string instance;
  Sample previous;
  Sample latest;
  int samples = 0;
};

struct Query {
  std::vector<Counter*> counters;
};

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// "\Process(name)\% Processor Time" gives name; anything else gives false.
bool instanceOf(const char* path, std::string& instance) {
  if (path == nullptr) return false;
  const std::string text = path;
  const std::string head = std::string("\\") + processObject + "(";
  const std::string tail = std::string(")\\") + processorTime;
  if (text.size() <= head.size() + tail.size() || lowered(text.substr(0, head.size())) != lowered(head) ||
      lowered(text.substr(text.size() - tail.size())) != lowered(tail))
    return false;
  instance = text.substr(head.size(), text.size() - head.size() - tail.size());
  return true;
}

// The image name as an instance: narrow, less its extension, lower case for comparing.
std::string instanceKey(const UNICODE_STRING& image) {
  std::string name;
  for (USHORT i = 0; i < image.Length / sizeof(WCHAR); ++i)
    name.push_back(static_cast<char>(image.Buffer[i] < 128 ? image.Buffer[i] : '?'));
  const auto dot = name.find_last_of('.');
  return lowered(dot == std::string::npos ? name : name.substr(0, dot));
}

long long threadHandleCpu(const SYSTEM_THREAD_INFORMATION& record) {
  const auto id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.ClientId.UniqueThread));
  e2e::OwnedHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id));
  if (!thread.valid()) return 0;
  FILETIME created{}, ended{}, kernel{}, user{};
  long long sum = 0;
  if (GetThreadTimes(thread.get(), &created, &ended, &kernel, &user))
    sum = ((static_cast<long long>(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime) +
          ((static_cast<long long>(user.dwHighDateTime) << 32) | user.dwLowDateTime);
  return sum;
}

long long processCpu(const SYSTEM_PROCESS_INFORMATION& process) {
  const long long own = process.KernelTime.QuadPart + process.UserTime.QuadPart;
  if (own != 0) return own;
  // Where the process totals stay 0, the thread records after it, or the threads themselves, have them.
  const auto* threads = reinterpret_cast<const SYSTEM_THREAD_INFORMATION*>(&process + 1);
  long long recorded = 0;
  long long asked = 0;
  for (ULONG i = 0; i < process.NumberOfThreads; ++i) {
    recorded += threads[i].Reserved1[0].QuadPart + threads[i].Reserved1[1].QuadPart;
    if (recorded == 0) asked += threadHandleCpu(threads[i]);
  }
  return recorded != 0 ? recorded : asked;
}

std::vector<char> processList() {
  std::vector<char> buffer(firstListSize);
  for (int attempt = 0; attempt < listTries; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                     static_cast<ULONG>(buffer.size()), &needed);
    if (status >= 0) return buffer;
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  return {};
}

long long wallNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The first process whose instance matches; 0 when none does.
long long cpuOf(const std::vector<char>& list, const std::string& instance) {
  const std::string wanted = lowered(instance);
  size_t offset = 0;
  while (offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= list.size()) {
    const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(list.data() + offset);
    if (process->ImageName.Buffer != nullptr && instanceKey(process->ImageName) == wanted)
      return processCpu(*process);
    if (process->NextEntryOffset == 0) break;
    offset += process->NextEntryOffset;
  }
  return 0;
}

PDH_STATUS copyName(const char* name, LPSTR buffer, LPDWORD capacity) {
  const DWORD needed = static_cast<DWORD>(std::strlen(name) + 1);
  if (buffer == nullptr || *capacity < needed) {
    *capacity = needed;
    return PDH_MORE_DATA;
  }
  std::memcpy(buffer, name, needed);
  *capacity = needed;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

PDH_STATUS WINAPI PdhOpenQueryA(LPCSTR, DWORD_PTR, PDH_HQUERY* query) {
  if (query == nullptr) return PDH_INVALID_ARGUMENT;
  *query = new Query;
  return ERROR_SUCCESS;
}

PDH_STATUS WINAPI PdhValidatePathA(LPCSTR path) {
  std::string instance;
  return instanceOf(path, instance) ? ERROR_SUCCESS : PDH_CSTATUS_BAD_COUNTERNAME;
}

PDH_STATUS WINAPI PdhAddCounterA(PDH_HQUERY query, LPCSTR path, DWORD_PTR, PDH_HCOUNTER* counter) {
  std::string instance;
  if (query == nullptr || counter == nullptr) return PDH_INVALID_ARGUMENT;
  if (!instanceOf(path, instance)) return PDH_CSTATUS_NO_OBJECT;
  auto* added = new Counter{instance, {}, {}, 0};
  static_cast<Query*>(query)->counters.push_back(added);
  *counter = added;
  return ERROR_SUCCESS;
}

PDH_STATUS WINAPI PdhCollectQueryData(PDH_HQUERY query) {
  if (query == nullptr) return PDH_INVALID_HANDLE;
  const std::vector<char> list = processList();
  if (list.empty()) return PDH_NO_DATA;
  const long long wall = wallNow();
  for (Counter* counter : static_cast<Query*>(query)->counters) {
    counter->previous = counter->latest;
    counter->latest = Sample{cpuOf(list, counter->instance), wall};
    ++counter->samples;
  }
  return ERROR_SUCCESS;
}

PDH_STATUS WINAPI PdhGetFormattedCounterValue(PDH_HCOUNTER handle, DWORD format, LPDWORD type,
                                              PPDH_FMT_COUNTERVALUE value) {
  if (handle == nullptr || value == nullptr) return PDH_INVALID_HANDLE;
  const auto* counter = static_cast<const Counter*>(handle);
  if (type != nullptr) *type = PERF_100NSEC_TIMER;
  const long long wall = counter->latest.wall100ns - counter->previous.wall100ns;
  if (counter->samples < 2 || wall <= 0) {
    value->CStatus = PDH_CSTATUS_INVALID_DATA;
    return PDH_INVALID_DATA;
  }
  const double cpu = static_cast<double>(counter->latest.cpu100ns - counter->previous.cpu100ns);
  // Like the system's counter without PDH_FMT_NOCAP100: 0 to 100.
  const double percent = std::clamp(100.0 * cpu / static_cast<double>(wall), 0.0, 100.0);
  value->CStatus = PDH_CSTATUS_VALID_DATA;
  if (format & PDH_FMT_DOUBLE) value->doubleValue = percent;
  return ERROR_SUCCESS;
}

PDH_STATUS WINAPI PdhCloseQuery(PDH_HQUERY query) {
  if (query == nullptr) return PDH_INVALID_HANDLE;
  auto* owned = static_cast<Query*>(query);
  for (Counter* counter : owned->counters) delete counter;
  delete owned;
  return ERROR_SUCCESS;
}

PDH_STATUS WINAPI PdhLookupPerfNameByIndexA(LPCSTR, DWORD index, LPSTR buffer, LPDWORD capacity) {
  if (capacity == nullptr) return PDH_INVALID_ARGUMENT;
  if (index == processObjectIndex) return copyName(processObject, buffer, capacity);
  if (index == processorTimeIndex) return copyName(processorTime, buffer, capacity);
  return PDH_INVALID_ARGUMENT;
}

}  // extern "C"
