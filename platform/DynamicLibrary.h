// Loading a system library by its file name and finding its routines by name at the moment of use.
#pragma once

#include <cstdint>
#include <string>

namespace proccpu::platform {

/// An opaque, integer handle of a loaded library; 0 is "none".
using LibraryId = std::uintptr_t;
/// An opaque, integer address of a routine found in a library; 0 is "not found".
using RoutineAddress = std::uintptr_t;

/// Loads the library with this file name (LoadLibraryA). Returns 0 when it cannot be loaded.
LibraryId loadLibrary(const std::string& fileName);

/// Looks the routine up by its exact name (GetProcAddress). Returns 0 when the library is 0 or lacks it.
RoutineAddress findRoutine(LibraryId library, const std::string& routineName);

/// Releases a library from loadLibrary (FreeLibrary). Returns false when the handle is 0 or unknown.
bool freeLibrary(LibraryId library);

}  // namespace proccpu::platform
