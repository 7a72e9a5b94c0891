// Prints what can be read of the program's window from outside, as key=value lines.
#pragma once

#include <windows.h>

#include <string>

#include "RemoteBuffer.h"

namespace e2e {

// The top-level window's title, class, rectangles, style bits and what the system would make of them.
void printWindowFacts(HWND window);

// The list view's class, place, style bits, columns and every cell. False when it cannot be read.
bool printListView(HWND window, Placement placement);

// Only column 3 of every row, under the given key prefix, for a later look at the sampler's updates.
bool printCpuColumn(HWND window, Placement placement, const std::string& key);

// Every process of the system's snapshot as seen from here: snap.<pid>=<parent pid>.
void printSnapshot();

}  // namespace e2e
