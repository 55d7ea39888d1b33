#include <gtest/gtest.h>

#include "ui/model/WindowPlacement.h"

namespace purga {
namespace {

ScreenRect At(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

TEST(WindowPlacementTest, CentringHalvesTowardZero) {
  // The launcher (461, 109, 117 x 66) and the folder dialog (631 x 411):
  // -514 / 2 and -345 / 2 give -257 and -172.
  EXPECT_EQ(CentredOver(At(461, 109, 117, 66), 631, 411), (ScreenPoint{204, -63}));
  EXPECT_EQ(CentredOver(At(100, 100, 117, 66), 631, 411), (ScreenPoint{-157, -72}));
  EXPECT_EQ(CentredOver(At(0, 0, 300, 201), 100, 100), (ScreenPoint{100, 50}));
}

TEST(WindowPlacementTest, MovesTheLeastDistanceOntoTheWorkArea) {
  const ScreenRect screen = At(0, 0, 1280, 1024);
  const struct {
    const char* name;
    ScreenRect window;
    ScreenRect workArea;
    ScreenPoint kept;
  } cases[] = {
      {"the folder dialog's first showing", At(204, -63, 631, 411), screen, {204, 0}},
      {"inside: where it is", At(215, 151, 742, 438), screen, {215, 151}},
      {"touching every edge", screen, screen, {0, 0}},
      {"off the left and the bottom", At(-30, 900, 400, 300), screen, {0, 724}},
      {"off the right", At(1000, 10, 400, 300), screen, {880, 10}},
      {"the editor on 800 x 600", At(220, 151, 721, 470), At(0, 0, 800, 570), {79, 100}},
      {"larger than the work area: its top-left corner at the area's",
       At(-100, -50, 2000, 1500),
       screen,
       {0, 0}},
      {"larger, already inside at its top-left", At(100, 200, 2000, 1500), screen, {0, 0}},
      {"larger one way only", At(500, -10, 631, 1100), screen, {500, 0}},
      {"a task bar at the top", At(204, -63, 631, 411), At(0, 40, 1280, 984), {204, 40}},
      {"a task bar at the left", At(10, 100, 600, 400), At(60, 0, 1220, 1024), {60, 100}},
      {"a monitor left of the main one",
       At(-100, 10, 631, 411),
       At(-1280, 0, 1280, 1024),
       {-631, 10}},
      {"a monitor above the main one", At(50, -50, 300, 200), At(0, -768, 1024, 728), {50, -240}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ScreenPoint kept = KeptOnWorkArea(c.window, c.workArea);
    EXPECT_EQ(kept, c.kept);
    // Moved, the window is inside the work area wherever it fits.
    if (c.window.Width() <= c.workArea.Width()) {
      EXPECT_GE(kept.x, c.workArea.left);
      EXPECT_LE(kept.x + c.window.Width(), c.workArea.right);
    }
    if (c.window.Height() <= c.workArea.Height()) {
      EXPECT_GE(kept.y, c.workArea.top);
      EXPECT_LE(kept.y + c.window.Height(), c.workArea.bottom);
    }
  }
}

}  // namespace
}  // namespace purga
