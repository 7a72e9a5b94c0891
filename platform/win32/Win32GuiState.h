// What the window half and the list-view half of the GUI backend share.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>

namespace proccpu::platform::win32 {

/// Sent to the main window by a thread that wants a cell changed; lParam points at a CellRequest.
inline constexpr UINT cellUpdateMessage = WM_APP + 1;
/// Posted after a close request so that a wait for events returns even when the request was sent.
inline constexpr UINT closeWakeMessage = WM_APP + 2;

/// One cell change; lives on the stack of the thread that asked until the change has been made.
struct CellRequest {
  HWND list;
  int row;
  int column;
  const std::string* text;
};

/// Makes the change on the user-interface thread; false when the list view is gone or out of range.
bool applyCellText(const CellRequest& request);

/// True on the thread that called initGui.
bool onUiThread();
/// The main window while it exists, else null. Safe from any thread.
HWND mainWindow();
/// True from the start of shutdownGui on. Safe from any thread.
bool guiShuttingDown();

}  // namespace proccpu::platform::win32
