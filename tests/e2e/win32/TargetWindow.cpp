// Window lookups over EnumWindows, and message boxes answered through their OK button.
#include "TargetWindow.h"

#include <array>

#include "ListViewReader.h"

namespace e2e {

namespace {
constexpr int textCapacity = 1024;
constexpr DWORD pollMs = 20;
constexpr char dialogClass[] = "#32770";

struct TopSearch {
  const std::string* title;
  const std::string* prefix;
  HWND found;
};

struct BoxSearch {
  DWORD processId;
  std::vector<HWND>* boxes;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TopSearch*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  const std::string text = windowText(window);
  if (text == *search->title || (!text.empty() && text.starts_with(*search->prefix))) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK matchBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  if (IsWindowVisible(window) && windowProcess(window) == search->processId &&
      windowClass(window) == dialogClass)
    search->boxes->push_back(window);
  return TRUE;
}

BOOL CALLBACK collectStatic(HWND child, LPARAM context) {
  auto* text = reinterpret_cast<std::string*>(context);
  if (windowClass(child) == "Static") {
    const std::string part = windowText(child);
    if (!part.empty()) text->append(text->empty() ? "" : "|").append(part);
  }
  return TRUE;
}
}  // namespace

std::string windowText(HWND window) {
  std::array<char, textCapacity> text{};
  GetWindowTextA(window, text.data(), textCapacity);
  return text.data();
}

std::string windowClass(HWND window) {
  std::array<char, textCapacity> name{};
  GetClassNameA(window, name.data(), textCapacity);
  return name.data();
}

HWND findTopWindow(const std::string& title, const std::string& titlePrefix) {
  TopSearch search{&title, &titlePrefix, nullptr};
  EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> findMessageBoxes(DWORD processId) {
  std::vector<HWND> boxes;
  BoxSearch search{processId, &boxes};
  EnumWindows(matchBox, reinterpret_cast<LPARAM>(&search));
  return boxes;
}

std::string messageBoxText(HWND box) {
  std::string text;
  EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
  return text;
}

bool dismissMessageBox(HWND box, DWORD waitMs) {
  HWND ok = GetDlgItem(box, IDOK);
  // A posted click cannot block us on a target that is slow to answer.
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  for (DWORD waited = 0; waited < waitMs; waited += pollMs) {
    if (!IsWindow(box) || !IsWindowVisible(box)) return true;
    Sleep(pollMs);
  }
  return false;
}

}  // namespace e2e
