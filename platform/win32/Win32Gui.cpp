// The main window, its window procedure, the event wait, the message box and the toolkit's shutdown.
#include "app/WindowPlacement.h"
#include "platform/Gui.h"
#include "platform/win32/Win32GuiState.h"

#include <atomic>

namespace proccpu::platform {

namespace {

constexpr const char* windowClassName = "ProcCpuMainWindow";
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD windowExStyle = 0;

/// What the window procedure keeps between messages; attached to the window as its user data.
struct WindowContext {
  bool closeRequested;
};

// Written by the user-interface thread; read by any thread. All trivially destructible, so they stay
// valid for a worker that still runs while the process exits.
std::atomic<bool> shuttingDown{false};
std::atomic<HWND> mainWindowHandle{nullptr};
std::atomic<DWORD> uiThreadId{0};
WindowContext windowContext{};

WindowContext* contextOf(HWND window) {
  return reinterpret_cast<WindowContext*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT onCreate(HWND window, LPARAM lParam) {
  const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  return DefWindowProcA(window, WM_NCCREATE, 0, lParam);
}

// The close request only sets a mark; the window stays until the toolkit's shutdown destroys it.
LRESULT onClose(HWND window, WindowContext* context) {
  if (context != nullptr) context->closeRequested = true;
  PostMessageA(window, win32::closeWakeMessage, 0, 0);
  return 0;
}

LRESULT onCellUpdate(LPARAM lParam) {
  if (shuttingDown.load()) return 0;
  return win32::applyCellText(*reinterpret_cast<const win32::CellRequest*>(lParam)) ? 1 : 0;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return onCreate(window, lParam);
    case WM_CLOSE:
      return onClose(window, contextOf(window));
    case win32::cellUpdateMessage:
      return onCellUpdate(lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
  windowClass.lpszClassName = windowClassName;
  return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool consumeCloseRequest() {
  HWND window = mainWindowHandle.load();
  WindowContext* context = window == nullptr ? nullptr : contextOf(window);
  if (context == nullptr || !context->closeRequested) return false;
  context->closeRequested = false;
  return true;
}

}  // namespace

bool initGui() {
  uiThreadId.store(GetCurrentThreadId());
  shuttingDown.store(false);
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  return InitCommonControlsEx(&controls) != FALSE;
}

WindowId openWindow(int clientWidth, int clientHeight, const std::string& title) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registerWindowClass(instance)) return 0;
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, windowStyle, FALSE, windowExStyle);
  const WindowPlacement place = placeWindow(outer.right - outer.left, outer.bottom - outer.top,
                                            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  windowContext = WindowContext{};
  HWND window = CreateWindowExA(windowExStyle, windowClassName, title.c_str(), windowStyle, place.x, place.y,
                                place.width, place.height, nullptr, nullptr, instance, &windowContext);
  if (window == nullptr) return 0;
  mainWindowHandle.store(window);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return win32::toId(window);
}

bool setWindowTitle(WindowId window, const std::string& title) {
  if (window == 0) return false;
  return SetWindowTextA(win32::fromId<HWND>(window), title.c_str()) != FALSE;
}

int waitEvent() {
  // A close request handled by another message loop (a message box's) left its mark here.
  if (consumeCloseRequest()) return closeEvent;
  MSG message{};
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  if (got == 0 || got == -1) return closeEvent;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  if (consumeCloseRequest()) return closeEvent;
  return static_cast<int>(message.message);
}

void showMessageBox(const std::string& caption, const std::string& text) {
  MessageBoxA(mainWindowHandle.load(), text.c_str(), caption.c_str(), MB_OK);
}

void shutdownGui() {
  shuttingDown.store(true);
  win32::closeThreadHandles();
  win32::freeLoadedLibraries();
  // Cell changes already sent are answered now (refused, by the flag), so no sender stays blocked.
  MSG message{};
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  HWND window = mainWindowHandle.exchange(nullptr);
  if (window != nullptr) DestroyWindow(window);
}

namespace win32 {

bool onUiThread() { return GetCurrentThreadId() == uiThreadId.load(); }

HWND mainWindow() { return mainWindowHandle.load(); }

bool guiShuttingDown() { return shuttingDown.load(); }

}  // namespace win32

}  // namespace proccpu::platform
