// Reads a list view of another process: columns, row count and cell texts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "RemoteBuffer.h"

namespace e2e {

struct ColumnInfo {
  std::string text;
  int width = 0;
};

class ListViewReader {
 public:
  // The buffer lives in the list view's own process, since the pointers in the messages must be its.
  ListViewReader(HWND list, Placement placement);

  bool valid() const { return buffer_.valid(); }
  // Nothing when the column does not exist or the target does not answer in time.
  std::optional<ColumnInfo> column(int index) const;
  // -1 when the target does not answer in time.
  int rowCount() const;
  std::optional<std::string> cell(int row, int column) const;

 private:
  std::optional<LRESULT> send(UINT message, WPARAM wParam, LPARAM lParam) const;
  std::optional<std::string> readText() const;

  HWND list_;
  RemoteBuffer buffer_;
};

// The process that owns a window; 0 when the window is gone.
DWORD windowProcess(HWND window);

}  // namespace e2e
