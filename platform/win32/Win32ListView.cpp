// The report list view: creation, columns, rows, and cell changes carried out on the user-interface thread.
#include "platform/Gui.h"
#include "platform/win32/Win32GuiState.h"

#include <vector>

namespace proccpu::platform {

namespace {

constexpr DWORD listStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL;
constexpr DWORD listExStyle = WS_EX_CLIENTEDGE;
constexpr DWORD listViewExStyles = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
constexpr int listControlId = 1;

HWND toList(ListId list) { return win32::fromId<HWND>(list); }

int itemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

int columnCount(HWND list) {
  const auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

bool setItemText(HWND list, int row, int column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());  // the control only reads it
  return SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

bool cellHolds(HWND list, int row, int column, const std::string& text) {
  // One byte more than the text: a longer cell text then reads back longer and differs.
  std::vector<char> buffer(text.size() + 2, '\0');
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  const auto length = static_cast<std::size_t>(
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
  return length == text.size() && text.compare(0, length, buffer.data(), length) == 0;
}

}  // namespace

ListId createListView(WindowId window, ListRect rect, const std::string& column0Title, int column0Width) {
  HWND list = CreateWindowExA(listExStyle, WC_LISTVIEWA, "", listStyle, rect.left, rect.top, rect.width,
                              rect.height, win32::fromId<HWND>(window),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(listControlId)),
                              GetModuleHandleA(nullptr), nullptr);
  if (list == nullptr) return 0;
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, listViewExStyles, listViewExStyles);
  SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  addColumn(win32::toId(list), 0, column0Title, column0Width);
  return win32::toId(list);
}

bool addColumn(ListId list, int index, const std::string& title, int width) {
  if (list == 0) return false;
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = const_cast<char*>(title.c_str());  // the control only reads it
  column.iSubItem = index;
  return SendMessageA(toList(list), LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&column)) != -1;
}

bool appendRow(ListId list, const std::vector<std::string>& cells) {
  if (list == 0) return false;
  const std::string first = cells.empty() ? std::string() : cells.front();
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = itemCount(toList(list));
  item.pszText = const_cast<char*>(first.c_str());  // the control only reads it
  const auto row =
      static_cast<int>(SendMessageA(toList(list), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return false;
  for (std::size_t column = 1; column < cells.size(); ++column) {
    setItemText(toList(list), row, static_cast<int>(column), cells[column]);
  }
  return true;
}

int rowCount(ListId list) { return list == 0 ? 0 : itemCount(toList(list)); }

bool setCellText(ListId list, int row, int column, const std::string& text) {
  if (list == 0 || win32::guiShuttingDown()) return false;
  const win32::CellRequest request{toList(list), row, column, &text};
  if (win32::onUiThread()) return win32::applyCellText(request);
  HWND window = win32::mainWindow();
  if (window == nullptr) return false;
  // A sent message runs on the window's thread while it waits for messages; we return when it is done.
  return SendMessageA(window, win32::cellUpdateMessage, 0, reinterpret_cast<LPARAM>(&request)) != 0;
}

namespace win32 {

bool applyCellText(const CellRequest& request) {
  if (IsWindow(request.list) == FALSE) return false;
  if (request.row < 0 || request.row >= itemCount(request.list)) return false;
  if (request.column < 0 || request.column >= columnCount(request.list)) return false;
  // An unchanged text is left alone so the control does not repaint the cell.
  if (cellHolds(request.list, request.row, request.column, *request.text)) return true;
  return setItemText(request.list, request.row, request.column, *request.text);
}

}  // namespace win32

}  // namespace proccpu::platform
