// The GUI toolkit: one top-level window with one report list view, a modal message box, an event wait.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace proccpu::platform {

using WindowId = std::uintptr_t;  // 0 is "no window"
using ListId = std::uintptr_t;    // 0 is "no list view"

inline constexpr int closeEvent = 16;

struct ListRect {
  int left;
  int top;
  int width;
  int height;
};

/// Prepares the toolkit (registers the common controls). Call once on the thread that will own the
/// window; that thread is the user-interface thread. Returns false when the toolkit is unusable.
bool initGui();

/// Opens and shows the top-level window: this client size, this title, a caption with system menu,
/// minimize and close buttons, a fixed border (no resize, no maximize), centred on the primary screen
/// as placeWindow computes it, face-coloured background. Returns 0 when it cannot be created.
WindowId openWindow(int clientWidth, int clientHeight, const std::string& title);

/// Creates the report list view in the window at this client rectangle, with its column 0. Returns 0
/// when it cannot be created (then every list operation below does nothing and counts 0 rows).
ListId createListView(WindowId window, ListRect rect, const std::string& column0Title, int column0Width);

/// Adds a left-aligned column at this index. Returns false when the list view is 0 or refuses.
bool addColumn(ListId list, int index, const std::string& title, int width);

/// Appends a row at the end: cells[i] is the text of column i. Returns false when the list is 0.
bool appendRow(ListId list, const std::vector<std::string>& cells);

/// The number of rows of the list view; 0 when the list view is 0.
int rowCount(ListId list);

/// Sets one cell's text. May be called from any thread: the change is carried out on the user-interface
/// thread while it waits for events, and the call returns once the cell holds the text. A text equal to
/// the cell's causes no repaint. Returns false, without waiting, once the toolkit is shutting down or
/// the list view is gone, or when row or column is out of range.
bool setCellText(ListId list, int row, int column, const std::string& text);

/// Sets the window's title. Returns false when the window is 0.
bool setWindowTitle(WindowId window, const std::string& title);

/// Waits for the next window event and returns its code; closeEvent (16) when the user or another
/// program asks to close the window. Carries out pending cell updates while it waits. The close request
/// does not close the window. Returns closeEvent when the toolkit can no longer deliver events.
int waitEvent();

/// Shows a modal message box with this caption, this text and one OK button, and returns once it is
/// dismissed.
void showMessageBox(const std::string& caption, const std::string& text);

/// Ends the toolkit: from here on setCellText returns false at once (a caller blocked in it is released),
/// and the window with its list view is destroyed. Threads started are not waited for.
void shutdownGui();

}  // namespace proccpu::platform
