// The listing pass: the snapshot walked parent-before-child into list rows, and the totals title.
#pragma once

#include "platform/Gui.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace proccpu {

// Written by the user-interface thread during the listing pass; read by the sampler afterwards.
extern std::int32_t rowIndex;
extern std::int32_t threadTotal;
// The window and list view the pass fills; written once at startup by the user-interface thread.
extern platform::WindowId mainWindow;
extern platform::ListId processList;

/// Startup state: no row yet (rowIndex -1).
void setUpListing();

/// The image name: szExeFile after its last path separator (the platform says which characters are).
std::string imageNameOf(std::string_view exeFile, std::string_view separators);

/// The counter instance: the image name less its last '.' and what follows.
std::string instanceNameOf(std::string_view imageName);

/// The text of a base priority ("Normal", "Not Available (7)", ...).
std::string priorityName(std::int32_t basePriority);

/// "Processes...  Sum : <rows>  ( Threads : <threads> )".
std::string totalsTitle(std::int32_t rows, std::int32_t threads);

/// Runs the whole listing pass once.
void listProcesses();

/// Lists, depth first, the processes of workList whose parent is key, each with its subtree.
void listChildren(std::uint32_t key);

}  // namespace proccpu
