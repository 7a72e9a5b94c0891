// Finds the program's window and its message boxes from outside, and answers the boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The text of a window of any process; empty when it has none or is gone.
std::string windowText(HWND window);
std::string windowClass(HWND window);

// The first visible top-level window whose title is this one or starts with this prefix; 0 if none.
HWND findTopWindow(const std::string& title, const std::string& titlePrefix);

// The visible dialog-class windows ("#32770") of this process: its message boxes.
std::vector<HWND> findMessageBoxes(DWORD processId);

// The box's message: the text of its static controls that carry text.
std::string messageBoxText(HWND box);

// Clicks OK as a user would and waits, bounded, until the box is gone. False when it stays.
bool dismissMessageBox(HWND box, DWORD waitMs);

}  // namespace e2e
