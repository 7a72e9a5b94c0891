// The built-in "kernel32.dll" and "pdh.dll": their routines are this backend's own functions.
#include "platform/DynamicLibrary.h"

#include "platform/linux/CounterNames.h"
#include "platform/linux/LastError.h"
#include "platform/linux/SnapshotRoutines.h"

#include <array>
#include <cerrno>
#include <mutex>
#include <string_view>

namespace proccpu::platform {

namespace {

struct Routine {
  std::string_view name;
  RoutineAddress address;
};

struct Library {
  std::string_view fileName;
  std::array<Routine, 3> routines;  // unused slots have an empty name
  int references = 0;               // written under libraryMutex by loadLibrary and freeLibrary
};

template <typename Function>
RoutineAddress addressOf(Function* function) {
  return reinterpret_cast<RoutineAddress>(function);
}

std::mutex libraryMutex;
std::array<Library, 2> libraries{{
    {"kernel32.dll",
     {{{"CreateToolhelp32Snapshot", addressOf(&linux_services::createToolhelp32Snapshot)},
       {"Process32First", addressOf(&linux_services::process32First)},
       {"Process32Next", addressOf(&linux_services::process32Next)}}}},
    {"pdh.dll", {{{"PdhLookupPerfNameByIndexA", addressOf(&linux_services::lookupPerfNameByIndex)}}}},
}};

// Library ids are 1 + the table index, so 0 stays "none".
Library* loadedLibrary(LibraryId library) {
  if (library == 0 || library > libraries.size() || libraries[library - 1].references == 0) {
    return nullptr;
  }
  return &libraries[library - 1];
}

}  // namespace

LibraryId loadLibrary(const std::string& fileName) {
  const std::lock_guard lock(libraryMutex);
  for (std::size_t index = 0; index < libraries.size(); ++index) {
    if (linux_services::sameNameIgnoringCase(fileName, libraries[index].fileName)) {
      ++libraries[index].references;
      return index + 1;
    }
  }
  linux_services::setLastError(ENOENT);
  return 0;
}

RoutineAddress findRoutine(LibraryId library, const std::string& routineName) {
  const std::lock_guard lock(libraryMutex);
  const Library* loaded = loadedLibrary(library);
  if (loaded == nullptr || routineName.empty()) {
    return 0;
  }
  for (const Routine& routine : loaded->routines) {
    if (routine.name == routineName) {
      return routine.address;
    }
  }
  return 0;
}

bool freeLibrary(LibraryId library) {
  const std::lock_guard lock(libraryMutex);
  Library* loaded = loadedLibrary(library);
  if (loaded == nullptr) {
    return false;
  }
  --loaded->references;
  return true;
}

}  // namespace proccpu::platform
