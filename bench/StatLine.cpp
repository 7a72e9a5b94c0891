// The fields of a /proc/PID/stat line that a process list shows, read the way tick-based tools read them.
#include "bench/StatLine.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace proccpu::bench {

namespace {

constexpr std::size_t statLimit = 1024;

}  // namespace

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
  return platform::linux_services::parseStat(buffer);
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
