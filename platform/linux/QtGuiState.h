// The Qt objects of the GUI toolkit, owned by the GUI thread; tests inspect them through here.
#pragma once

#include <QApplication>

#include <memory>

#include "platform/linux/QtGuiWidgets.h"

namespace proccpu::platform::qtgui {

// Declared in destruction order last to first: the window goes before the application.
struct GuiObjects {
  std::unique_ptr<QApplication> application;
  std::unique_ptr<MainWindowWidget> window;
  ProcessListWidget* list = nullptr;  // a child of window
};

/// The one set of objects; touched only on the GUI thread.
GuiObjects& guiObjects();

}  // namespace proccpu::platform::qtgui
