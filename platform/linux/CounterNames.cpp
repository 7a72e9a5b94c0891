// Counter names by number, counter path parsing and the instance names of processes.
#include "platform/linux/CounterNames.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace proccpu::platform::linux_services {

namespace {

constexpr PdhStatus pdhCstatusNoMachine = 0x800007D0u;  // PDH_CSTATUS_NO_MACHINE

std::optional<std::string_view> nameOfIndex(std::uint32_t nameIndex) {
  if (nameIndex == processObjectIndex) {
    return processObjectName;
  }
  if (nameIndex == processorTimeIndex) {
    return processorTimeName;
  }
  return std::nullopt;
}

// "name#k" as (name, k); empty when the text does not end in '#' and decimal digits.
std::optional<std::pair<std::string_view, std::size_t>> splitInstanceNumber(std::string_view instance) {
  const std::size_t hash = instance.rfind('#');
  if (hash == std::string_view::npos || hash + 1 == instance.size()) {
    return std::nullopt;
  }
  std::size_t number = 0;
  const char* end = instance.data() + instance.size();
  const auto [last, error] = std::from_chars(instance.data() + hash + 1, end, number);
  if (error != std::errc{} || last != end) {
    return std::nullopt;
  }
  return std::pair{instance.substr(0, hash), number};
}

}  // namespace

bool sameNameIgnoringCase(std::string_view left, std::string_view right) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}

PdhStatus lookupPerfNameByIndex(const char* machine, std::uint32_t nameIndex, char* buffer,
                                std::uint32_t* capacity) {
  if (capacity == nullptr) {
    return pdhInvalidArgument;
  }
  if (machine != nullptr && machine[0] != '\0') {
    return pdhCstatusNoMachine;
  }
  const std::optional<std::string_view> name = nameOfIndex(nameIndex);
  if (!name) {
    return pdhInvalidArgument;
  }
  const auto needed = static_cast<std::uint32_t>(name->size() + 1);
  if (buffer == nullptr || *capacity < needed) {
    *capacity = needed;
    return pdhMoreData;
  }
  std::memcpy(buffer, name->data(), name->size());
  buffer[name->size()] = '\0';
  *capacity = needed;
  return 0;
}

std::optional<CounterPath> parseCounterPath(std::string_view path) {
  const std::size_t lastSlash = path.rfind('\\');
  if (!path.starts_with('\\') || lastSlash == 0 || lastSlash + 1 == path.size()) {
    return std::nullopt;
  }
  const std::string_view objectPart = path.substr(1, lastSlash - 1);
  const std::size_t open = objectPart.find('(');
  if (open == std::string_view::npos || open == 0 || !objectPart.ends_with(')') ||
      open + 2 == objectPart.size()) {
    return std::nullopt;
  }
  const std::string_view object = objectPart.substr(0, open);
  if (object.find('\\') != std::string_view::npos) {
    return std::nullopt;
  }
  return CounterPath{std::string(object),
                     std::string(objectPart.substr(open + 1, objectPart.size() - open - 2)),
                     std::string(path.substr(lastSlash + 1))};
}

PdhStatus checkObjectAndCounter(const CounterPath& path) {
  if (!sameNameIgnoringCase(path.object, processObjectName)) {
    return pdhCstatusNoObject;
  }
  return sameNameIgnoringCase(path.counter, processorTimeName) ? 0 : pdhCstatusNoCounter;
}

std::string instanceBaseName(std::string_view imageName) {
  const std::size_t dot = imageName.rfind('.');
  return std::string(dot == std::string_view::npos ? imageName : imageName.substr(0, dot));
}

InstanceTable::InstanceTable(const std::vector<ProcessEntry>& entries) {
  for (const ProcessEntry& entry : entries) {
    byName_[instanceBaseName(entry.record.szExeFile)].push_back(
        {entry.record.th32ProcessID, entry.startTime});
  }
  for (auto& [name, keys] : byName_) {
    std::sort(keys.begin(), keys.end(), [](const InstanceKey& a, const InstanceKey& b) {
      return a.startTime != b.startTime ? a.startTime < b.startTime : a.pid < b.pid;
    });
  }
}

std::optional<InstanceKey> InstanceTable::resolve(std::string_view instance) const {
  if (const auto whole = byName_.find(instance); whole != byName_.end()) {
    return whole->second.front();
  }
  const auto numbered = splitInstanceNumber(instance);
  if (!numbered) {
    return std::nullopt;
  }
  const auto found = byName_.find(numbered->first);
  if (found == byName_.end() || numbered->second >= found->second.size()) {
    return std::nullopt;
  }
  return found->second[numbered->second];
}

std::vector<std::pair<std::string, std::uint32_t>> InstanceTable::instanceNames() const {
  std::vector<std::pair<std::string, std::uint32_t>> names;
  for (const auto& [name, keys] : byName_) {
    for (std::size_t k = 0; k < keys.size(); ++k) {
      names.emplace_back(k == 0 ? name : name + "#" + std::to_string(k), keys[k].pid);
    }
  }
  return names;
}

}  // namespace proccpu::platform::linux_services
