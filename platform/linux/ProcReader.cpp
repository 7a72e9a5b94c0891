// Parses /proc/PID/stat, exe and cmdline into process records.
#include "platform/linux/ProcReader.h"

#include "platform/linux/FileDescriptor.h"
#include "platform/linux/LastError.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

namespace proccpu::platform::linux_services {

namespace {

constexpr std::uint32_t kernelThreadFlag = 0x00200000;  // PF_KTHREAD
constexpr std::size_t commLimit = 15;                   // the kernel keeps at most 15 bytes of a name
constexpr std::string_view deletedSuffix = " (deleted)";
constexpr std::size_t statFileLimit = 4096;
constexpr std::size_t cmdlineLimit = 8192;
constexpr std::size_t exeLinkLimit = 4096;

// Positions after the closing ')' of the name: 0 is the state (field 3 of stat), n is field n + 3.
constexpr std::size_t parentToken = 1;
constexpr std::size_t flagsToken = 6;
constexpr std::size_t userTicksToken = 11;
constexpr std::size_t systemTicksToken = 12;
constexpr std::size_t priorityToken = 15;
constexpr std::size_t niceToken = 16;
constexpr std::size_t threadsToken = 17;
constexpr std::size_t startTimeToken = 19;
constexpr std::size_t policyToken = 38;
constexpr std::size_t tokensNeeded = policyToken + 1;

template <typename Number>
bool parseNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, number);
  return error == std::errc{} && last == end;
}

// Splits the part after the name into blank-separated fields; false when there are too few.
bool splitFields(std::string_view rest, std::array<std::string_view, tokensNeeded>& tokens) {
  std::size_t count = 0;
  while (count < tokensNeeded) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
      return false;
    }
    rest.remove_prefix(start);
    const std::size_t length = std::min(rest.find_first_of(" \n"), rest.size());
    tokens[count++] = rest.substr(0, length);
    rest.remove_prefix(length);
  }
  return true;
}

std::string_view baseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> readFile(int directory, const char* name, std::size_t limit) {
  const FileDescriptor file(::openat(directory, name, O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    return std::nullopt;
  }
  std::string text(limit, '\0');
  std::size_t filled = 0;
  while (filled < limit) {
    const ssize_t got = ::read(file.get(), text.data() + filled, limit - filled);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  return text;
}

std::string readExeLink(int directory) {
  std::string target(exeLinkLimit, '\0');
  const ssize_t length = ::readlinkat(directory, "exe", target.data(), target.size());
  target.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
  return target;
}

FileDescriptor openProcessDirectory(const std::string& procRoot, std::uint32_t pid) {
  const std::string path = procRoot + "/" + std::to_string(pid);
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::optional<StatFields> readStat(int directory, std::uint32_t pid) {
  const std::optional<std::string> text = readFile(directory, "stat", statFileLimit);
  if (!text) {
    return std::nullopt;
  }
  std::optional<StatFields> stat = parseStat(*text);
  if (!stat || stat->pid != pid) {
    return std::nullopt;
  }
  return stat;
}

ProcessRecord makeRecord(const StatFields& stat, const std::string& imageName) {
  ProcessRecord record{};
  record.dwSize = processRecordSize;
  record.th32ProcessID = stat.pid;
  record.th32ParentProcessID = stat.parentPid;
  record.cntThreads = stat.threadCount;
  record.pcPriClassBase = basePriority(stat.policy, stat.nice);
  const std::size_t length = std::min(imageName.size(), imageNameCapacity - 1);
  std::memcpy(record.szExeFile, imageName.data(), length);
  return record;
}

}  // namespace

std::optional<StatFields> parseStat(std::string_view text) {
  const std::size_t open = text.find(" (");
  const std::size_t close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) {
    return std::nullopt;
  }
  StatFields stat;
  std::array<std::string_view, tokensNeeded> tokens;
  if (!parseNumber(text.substr(0, open), stat.pid) || !splitFields(text.substr(close + 1), tokens)) {
    return std::nullopt;
  }
  stat.comm = std::string(text.substr(open + 2, close - open - 2));
  if (tokens[0].size() != 1) {
    return std::nullopt;
  }
  stat.state = tokens[0][0];
  const bool parsed =
      parseNumber(tokens[parentToken], stat.parentPid) && parseNumber(tokens[flagsToken], stat.flags) &&
      parseNumber(tokens[userTicksToken], stat.userTicks) &&
      parseNumber(tokens[systemTicksToken], stat.systemTicks) &&
      parseNumber(tokens[priorityToken], stat.priority) && parseNumber(tokens[niceToken], stat.nice) &&
      parseNumber(tokens[threadsToken], stat.threadCount) &&
      parseNumber(tokens[startTimeToken], stat.startTime) && parseNumber(tokens[policyToken], stat.policy);
  if (!parsed) {
    return std::nullopt;
  }
  return stat;
}

// Scheduling policy and nice value to the Windows base priority of the process's class:
//   SCHED_FIFO, SCHED_RR, SCHED_DEADLINE  -> 24 Real Time
//   SCHED_IDLE                            ->  4 Low
//   other policies by nice: -20..-11 -> 13 High, -10..-1 -> 10 Above Normal, 0 -> 8 Normal,
//                            1..9 -> 6 Below Normal, 10..19 -> 4 Low
std::int32_t basePriority(std::uint32_t policy, std::int32_t nice) {
  constexpr std::uint32_t deadlinePolicy = 6;  // SCHED_DEADLINE, absent from older headers
  if (policy == SCHED_FIFO || policy == SCHED_RR || policy == deadlinePolicy) {
    return 24;
  }
  if (policy == SCHED_IDLE || nice >= 10) {
    return 4;
  }
  if (nice >= 1) {
    return 6;
  }
  if (nice == 0) {
    return 8;
  }
  return nice >= -10 ? 10 : 13;
}

// A comm shorter than the kernel's limit is the whole name the process was started as (the link name
// for a started symbolic link, which is what the user typed). A comm at the limit may be cut, so the
// executable's or argv[0]'s file name is taken when it begins with that comm. Kernel threads have
// neither and keep their comm whole, '/' included.
std::string chooseImageName(const StatFields& stat, std::string_view exeLink, std::string_view argv0) {
  if ((stat.flags & kernelThreadFlag) != 0 || stat.comm.size() < commLimit) {
    return stat.comm;
  }
  if (exeLink.ends_with(deletedSuffix)) {
    exeLink.remove_suffix(deletedSuffix.size());
  }
  for (const std::string_view candidate : {baseName(exeLink), baseName(argv0)}) {
    if (candidate.starts_with(stat.comm)) {
      return std::string(candidate);
    }
  }
  return stat.comm;
}

std::optional<ProcessEntry> readProcessEntry(const std::string& procRoot, std::uint32_t pid) {
  // Every file is read through the directory handle, so a PID reused meanwhile reads as vanished.
  const FileDescriptor directory = openProcessDirectory(procRoot, pid);
  if (!directory.valid()) {
    return std::nullopt;
  }
  const std::optional<StatFields> stat = readStat(directory.get(), pid);
  if (!stat) {
    return std::nullopt;
  }
  if ((stat->flags & kernelThreadFlag) != 0 || stat->comm.size() < commLimit) {
    return ProcessEntry{makeRecord(*stat, stat->comm), stat->startTime};
  }
  // A cmdline that cannot be read means the process ended meanwhile (a zombie's is just empty).
  const std::optional<std::string> cmdline = readFile(directory.get(), "cmdline", cmdlineLimit);
  if (!cmdline) {
    return std::nullopt;
  }
  const std::string imageName = chooseImageName(*stat, readExeLink(directory.get()), cmdline->c_str());
  return ProcessEntry{makeRecord(*stat, imageName), stat->startTime};
}

std::optional<std::vector<ProcessEntry>> readProcessTable(const std::string& procRoot) {
  const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(procRoot.c_str()), ::closedir);
  if (!directory) {
    setLastError(errno);
    return std::nullopt;
  }
  std::vector<ProcessEntry> entries;
  while (const dirent* item = ::readdir(directory.get())) {
    std::uint32_t pid = 0;
    if (!parseNumber(std::string_view(item->d_name), pid)) {
      continue;
    }
    if (std::optional<ProcessEntry> entry = readProcessEntry(procRoot, pid)) {
      entries.push_back(*entry);
    }
  }
  return entries;
}

std::optional<std::uint64_t> readStartTime(const std::string& procRoot, std::uint32_t pid) {
  const FileDescriptor directory = openProcessDirectory(procRoot, pid);
  if (!directory.valid()) {
    return std::nullopt;
  }
  const std::optional<StatFields> stat = readStat(directory.get(), pid);
  return stat ? std::optional<std::uint64_t>(stat->startTime) : std::nullopt;
}

}  // namespace proccpu::platform::linux_services
