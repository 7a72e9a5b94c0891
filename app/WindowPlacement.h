// Where the main window goes: its outer size clamped to the primary screen and centred on it.
#pragma once

namespace proccpu {

struct WindowPlacement {
  int x;
  int y;
  int width;
  int height;
};

/// Clamps each outer dimension to the screen's and centres it, rounding down. Backends pass the outer
/// size that the system computes for the frame and the full size of the primary screen.
constexpr WindowPlacement placeWindow(int outerWidth, int outerHeight, int screenWidth, int screenHeight) {
  const int width = outerWidth > screenWidth ? screenWidth : outerWidth;
  const int height = outerHeight > screenHeight ? screenHeight : outerHeight;
  // Both differences are >= 0 after clamping, so division rounds down.
  return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

}  // namespace proccpu
