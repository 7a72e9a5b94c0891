// List view messages with their structures and text buffers placed in the target process.
#include "ListViewReader.h"

#include <commctrl.h>

#include <array>

namespace e2e {

namespace {
// Small enough for the slack of an executable's data section.
constexpr std::size_t bufferSize = 640;
constexpr std::size_t textOffset = 128;  // the structure sits at 0, its text buffer here
constexpr int textCapacity = 511;
constexpr UINT answerTimeoutMs = 5000;
}  // namespace

DWORD windowProcess(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

const void* windowImage(HWND window) {
  return reinterpret_cast<const void*>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

ListViewReader::ListViewReader(HWND list, Placement placement)
    : list_(list), buffer_(windowProcess(list), bufferSize, windowImage(GetParent(list)), placement) {}

std::optional<LRESULT> ListViewReader::send(UINT message, WPARAM wParam, LPARAM lParam) const {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(list_, message, wParam, lParam, SMTO_ABORTIFHUNG, answerTimeoutMs, &result) == 0)
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

std::optional<std::string> ListViewReader::readText() const {
  std::array<char, textCapacity + 1> text{};
  if (!buffer_.read(textOffset, text.data(), textCapacity)) return std::nullopt;
  return std::string(text.data());
}

std::optional<ColumnInfo> ListViewReader::column(int index) const {
  LVCOLUMNA request{};
  request.mask = LVCF_TEXT | LVCF_WIDTH;
  request.pszText = buffer_.at(textOffset);
  request.cchTextMax = textCapacity;
  const char empty = 0;
  if (!buffer_.write(0, &request, sizeof request) || !buffer_.write(textOffset, &empty, 1))
    return std::nullopt;
  auto answer = send(LVM_GETCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer_.at(0)));
  if (!answer || *answer == 0) return std::nullopt;
  LVCOLUMNA reply{};
  auto text = readText();
  if (!text || !buffer_.read(0, &reply, sizeof reply)) return std::nullopt;
  return ColumnInfo{*text, reply.cx};
}

int ListViewReader::rowCount() const {
  auto answer = send(LVM_GETITEMCOUNT, 0, 0);
  return answer ? static_cast<int>(*answer) : -1;
}

std::optional<std::string> ListViewReader::cell(int row, int column) const {
  LVITEMA request{};
  request.iSubItem = column;
  request.pszText = buffer_.at(textOffset);
  request.cchTextMax = textCapacity;
  const char empty = 0;
  if (!buffer_.write(0, &request, sizeof request) || !buffer_.write(textOffset, &empty, 1))
    return std::nullopt;
  if (!send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer_.at(0))))
    return std::nullopt;
  return readText();
}

}  // namespace e2e
