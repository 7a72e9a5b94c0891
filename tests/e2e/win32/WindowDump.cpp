// Window facts through user32 calls that work across processes, list contents through ListViewReader.
#include "WindowDump.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>

#include "ListViewReader.h"
#include "RemoteBuffer.h"
#include "TargetWindow.h"

namespace e2e {

namespace {
constexpr int clientWidth = 700;
constexpr int clientHeight = 500;
constexpr int maxColumns = 16;
constexpr int cpuColumn = 3;
// Bits the system sets on a top-level window by itself, not asked for by the program.
constexpr DWORD systemStyleBits = WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD systemExStyleBits = WS_EX_WINDOWEDGE;

void printRect(const char* key, RECT rect) {
  std::printf("%s=%ld,%ld,%ld,%ld\n", key, rect.left, rect.top, rect.right, rect.bottom);
}

HWND findList(HWND window) { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }

void printExpectedOuter(DWORD style, DWORD exStyle) {
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, style & ~systemStyleBits, FALSE, exStyle & ~systemExStyleBits);
  std::printf("window.expectedouter=%ld,%ld\n", outer.right - outer.left, outer.bottom - outer.top);
}

void printListPlacement(HWND window, HWND list) {
  RECT rect{};
  GetWindowRect(list, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  std::printf("list.class=%s\n", windowClass(list).c_str());
  std::printf("list.rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  std::printf("list.style=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(list, GWL_STYLE)));
  std::printf("list.exstyle=0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(list, GWL_EXSTYLE)));
  std::printf("list.lvexstyle=0x%08lx\n",
              static_cast<unsigned long>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)));
  std::printf("list.ccversion=%ld\n", static_cast<long>(SendMessageA(list, CCM_GETVERSION, 0, 0)));
  // Font handles are only comparable where the system shares stock objects between processes.
  const auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0));
  std::printf("list.font=%p\nlist.font.ourdefaultgui=%p\n", font, GetStockObject(DEFAULT_GUI_FONT));
}

void printColumns(const ListViewReader& reader) {
  int count = 0;
  for (; count < maxColumns; ++count) {
    auto column = reader.column(count);
    if (!column) break;
    std::printf("column.%d.text=%s\ncolumn.%d.width=%d\n", count, column->text.c_str(), count, column->width);
  }
  std::printf("columns=%d\n", count);
}

void printRows(const ListViewReader& reader, int columns) {
  const int rows = reader.rowCount();
  std::printf("rows=%d\n", rows);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      auto text = reader.cell(row, column);
      std::printf("cell.%d.%d=%s\n", row, column, text ? text->c_str() : "<unreadable>");
    }
}
}  // namespace

void printWindowFacts(HWND window) {
  RECT outer{};
  RECT client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  std::printf("window.title=%s\nwindow.class=%s\n", windowText(window).c_str(), windowClass(window).c_str());
  std::printf("window.pid=%lu\n", windowProcess(window));
  printRect("window.rect", outer);
  std::printf("window.client=%ld,%ld\n", client.right, client.bottom);
  std::printf("window.clientorigin=%ld,%ld\n", origin.x, origin.y);
  std::printf("window.style=0x%08lx\nwindow.exstyle=0x%08lx\n", style, exStyle);
  std::printf("window.menu=%d\n", GetMenu(window) != nullptr ? 1 : 0);
  printExpectedOuter(style, exStyle);
  std::printf("screen=%d,%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  std::printf("color.btnface=0x%06lx\n", GetSysColor(COLOR_BTNFACE));
}

bool printListView(HWND window, Placement placement) {
  HWND list = findList(window);
  std::printf("list.found=%d\n", list != nullptr ? 1 : 0);
  if (list == nullptr) return false;
  printListPlacement(window, list);
  ListViewReader reader(list, placement);
  if (!reader.valid()) return false;
  printColumns(reader);
  printRows(reader, 5);
  return true;
}

bool printCpuColumn(HWND window, Placement placement, const std::string& key) {
  HWND list = findList(window);
  if (list == nullptr) return false;
  ListViewReader reader(list, placement);
  if (!reader.valid()) return false;
  const int rows = reader.rowCount();
  for (int row = 0; row < rows; ++row) {
    auto text = reader.cell(row, cpuColumn);
    std::printf("%s.%d=%s\n", key.c_str(), row, text ? text->c_str() : "<unreadable>");
  }
  return true;
}

void printSnapshot() {
  OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
    std::printf("snap.%lu=%lu\n", entry.th32ProcessID, entry.th32ParentProcessID);
}

}  // namespace e2e
