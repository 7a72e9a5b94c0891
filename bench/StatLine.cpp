// The fields of a /proc/PID/stat line that a process list shows, read the way tick-based tools read them.
#include "bench/StatLine.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace proccpu::bench {

namespace {

constexpr std::size_t statLimit = 1024;
// Positions after the ')' that ends the name: 0 is the state, field n of stat is position n - 3.
constexpr std::size_t parentAt = 1;
constexpr std::size_t userAt = 11;
constexpr std::size_t systemAt = 12;
constexpr std::size_t priorityAt = 15;
constexpr std::size_t niceAt = 16;
constexpr std::size_t threadsAt = 17;
constexpr std::size_t fieldsNeeded = threadsAt + 1;

template <typename Number>
bool parseNumber(std::string_view text, Number& number) {
  const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && last == text.data() + text.size();
}

bool splitFields(std::string_view rest, std::array<std::string_view, fieldsNeeded>& fields) {
  for (std::string_view& field : fields) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    rest.remove_prefix(start);
    const std::size_t length = std::min(rest.find_first_of(" \n"), rest.size());
    field = rest.substr(0, length);
    rest.remove_prefix(length);
  }
  return true;
}

}  // namespace

std::optional<StatLine> parseStatLine(std::string_view text) {
  const std::size_t open = text.find('(');
  const std::size_t close = text.rfind(')');
  std::array<std::string_view, fieldsNeeded> fields;
  StatLine line;
  if (open == std::string_view::npos || close == std::string_view::npos || close < open ||
      !parseNumber(text.substr(0, open == 0 ? 0 : open - 1), line.pid) ||
      !splitFields(text.substr(close + 1), fields) || fields[0].size() != 1) {
    return std::nullopt;
  }
  line.comm = text.substr(open + 1, close - open - 1);
  line.state = fields[0][0];
  const bool parsed =
      parseNumber(fields[parentAt], line.parentPid) && parseNumber(fields[userAt], line.userTicks) &&
      parseNumber(fields[systemAt], line.systemTicks) && parseNumber(fields[priorityAt], line.priority) &&
      parseNumber(fields[niceAt], line.nice) && parseNumber(fields[threadsAt], line.threads);
  return parsed ? std::optional<StatLine>(line) : std::nullopt;
}

std::optional<StatLine> readStatLine(std::uint32_t pid, std::string& buffer) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%u/stat", pid);
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  buffer.resize(statLimit);
  const ssize_t count = ::read(fd, buffer.data(), buffer.size());
  ::close(fd);
  if (count <= 0) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(count));
  return parseStatLine(buffer);
}

std::optional<std::uint64_t> readCpuTicks(std::uint32_t pid) {
  std::string buffer;
  const std::optional<StatLine> line = readStatLine(pid, buffer);
  return line ? std::optional<std::uint64_t>(line->userTicks + line->systemTicks) : std::nullopt;
}

std::int64_t tickNs() {
  static const std::int64_t ns = 1'000'000'000 / std::max(1L, ::sysconf(_SC_CLK_TCK));
  return ns;
}

}  // namespace proccpu::bench
