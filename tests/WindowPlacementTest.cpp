// Centring the main window on the primary screen, clamped to the screen.
#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

namespace proccpu {
namespace {

TEST(WindowPlacementTest, CentresAndClampsEachDimensionRoundingDown) {
  struct Case {
    int outerWidth, outerHeight, screenWidth, screenHeight;
    WindowPlacement expected;
  };
  const Case cases[] = {
      {706, 529, 1024, 768, {159, 119, 706, 529}}, {706, 529, 1025, 769, {159, 120, 706, 529}},
      {706, 529, 706, 529, {0, 0, 706, 529}},      {706, 529, 800, 480, {47, 0, 706, 480}},
      {706, 529, 640, 1024, {0, 247, 640, 529}},
  };
  for (const Case& c : cases) {
    const WindowPlacement placed = placeWindow(c.outerWidth, c.outerHeight, c.screenWidth, c.screenHeight);
    EXPECT_EQ(placed.x, c.expected.x);
    EXPECT_EQ(placed.y, c.expected.y);
    EXPECT_EQ(placed.width, c.expected.width);
    EXPECT_EQ(placed.height, c.expected.height);
  }
}

}  // namespace
}  // namespace proccpu
