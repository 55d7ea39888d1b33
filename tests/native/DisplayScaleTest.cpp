#include <gtest/gtest.h>

#include "ui/model/DisplayScale.h"

namespace purga {
namespace {

TEST(DisplayScaleTest, ScalesToTheNearestPixelWithHalvesAwayFromZero) {
  const struct {
    int value, dpi, scaled;
  } cases[] = {
      {12, 96, 12},    {734, 96, 734}, {12, 120, 15}, {12, 144, 18}, {12, 192, 24},
      {13, 120, 16},   {13, 144, 20},  {2, 120, 3},   {1, 120, 1},   {3, 120, 4},
      {-1, 144, -2},   {-2, 120, -3},  {-1, 120, -1}, {0, 192, 0},   {411, 144, 617},
      {631, 120, 789}, {19, 168, 33},  {12, 72, 9},   {13, 72, 10},  {99999, 480, 499995},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.value << " at " << c.dpi);
    EXPECT_EQ(Scale(c.value, c.dpi), c.scaled);
  }
}

TEST(DisplayScaleTest, ControlsThatMeetAt96DpiMeetAtEveryScale) {
  // The deletion window's four buttons, a folder panel and its splitter, the
  // launcher's second and third buttons.
  const Bounds rows[][2] = {
      {{0, -1, 49, 26}, {49, -1, 49, 26}},
      {{98, -1, 52, 26}, {150, -1, 49, 26}},
      {{57, 2, 480, 23}, {537, 2, 3, 23}},
      {{35, 0, 36, 38}, {71, 0, 36, 38}},
  };
  for (const int dpi : {96, 120, 144, 168, 192, 240}) {
    for (const auto& row : rows) {
      const Bounds a = Scale(row[0], dpi), b = Scale(row[1], dpi);
      EXPECT_EQ(b.left, a.left + a.width) << "at " << dpi;
      EXPECT_EQ(a.top, b.top);
      EXPECT_EQ(a.height, b.height);
    }
  }
  EXPECT_EQ(Scale(Bounds{12, 57, 82, 21}, 144), (Bounds{18, 86, 123, 31}));
}

TEST(DisplayScaleTest, UnscalingGivesBackWhatWasScaled) {
  // A control moved at one scale keeps its 96-dpi place for the next.
  for (const int dpi : {96, 120, 144, 168, 192, 240, 288}) {
    for (int x = -40; x < 1500; ++x) {
      const Bounds b{x, x / 3, 17 + x % 29, 5 + x % 7};
      ASSERT_EQ(Unscale(Scale(b, dpi), dpi), b) << x << " at " << dpi;
    }
  }
}

TEST(DisplayScaleTest, FormsAtEachScaleAndTheirFirstPlaceOnTheWorkArea) {
  // Classic frames at 96 dpi; Wine's sizeable frame at 144 and 192.
  const FrameInsets single96{3, 22, 3, 3}, sizeable96{4, 23, 4, 4};
  const FrameInsets sizeable144{5, 33, 5, 5}, sizeable192{5, 42, 5, 5};
  const Bounds launcher{461, 109, 111, 41}, deletion{215, 151, 734, 411};
  const Bounds dialog{0, 0, 631, 411}, editor{220, 151, 721, 470};
  const ScreenRect screen{0, 0, 1280, 1024}, laptop{0, 0, 1920, 1040};
  const struct {
    const char* name;
    Bounds design;
    bool clientSized;
    FrameInsets frame;
    int dpi;
    ScreenRect workArea;
    ScreenRect placed;
  } cases[] = {
      {"launcher, 96 dpi", launcher, true, single96, 96, screen, {461, 109, 578, 175}},
      {"launcher, 120 dpi", launcher, true, {3, 27, 3, 3}, 120, screen, {576, 136, 721, 217}},
      {"deletion window, 96 dpi", deletion, true, sizeable96, 96, screen, {215, 151, 957, 589}},
      {"editor, 96 dpi", editor, false, sizeable96, 96, screen, {220, 151, 941, 621}},
      {"deletion window, 144 dpi", deletion, true, sizeable144, 144, laptop, {323, 227, 1434, 882}},
      {"folder dialog, 120 dpi", dialog, false, sizeable96, 120, screen, {0, 0, 789, 514}},
      {"editor, 192 dpi: moved up onto the work area",
       editor,
       false,
       sizeable192,
       192,
       laptop,
       {440, 100, 1882, 1040}},
      {"deletion window, 192 dpi on 1280 x 1024: wider than the work area, at its left edge",
       deletion,
       true,
       sizeable192,
       192,
       screen,
       {0, 155, 1478, 1024}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ScreenRect rect = FormRect(c.design, c.clientSized, c.frame, c.dpi);
    const ScreenPoint at = KeptOnWorkArea(rect, c.workArea);
    EXPECT_EQ((ScreenRect{at.x, at.y, at.x + rect.Width(), at.y + rect.Height()}), c.placed);
  }
}

TEST(DisplayScaleTest, AKeptLengthIsScaledOnlyForAnotherDpi) {
  // A pane's width as dragged stays to the pixel; a change of DPI scales it
  // from what it was, and back.
  EXPECT_EQ((KeptLength{195, 96}.At(144)), 293);
  EXPECT_EQ((KeptLength{292, 144}.At(144)), 292);
  EXPECT_EQ((KeptLength{292, 144}.At(96)), 195);
  EXPECT_EQ((KeptLength{181, 120}.At(192)), 290);
}

TEST(DisplayScaleTest, PicksTheNearestSizeMadeAndTheSmallerOfTwo) {
  const struct {
    int wanted, nearest;
  } cases[] = {{32, 32}, {40, 40}, {48, 48}, {64, 64}, {56, 48},
               {45, 48}, {80, 64}, {24, 32}, {36, 32}, {37, 40}};
  for (const auto& c : cases) EXPECT_EQ(NearestSize(c.wanted, {32, 40, 48, 64}), c.nearest);
  // The system's icon lists at 96 dpi: 16, 32 and 48 pixels.
  EXPECT_EQ(NearestSize(Scale(16, 144), {16, 32, 48}), 16);
  EXPECT_EQ(NearestSize(Scale(16, 192), {16, 32, 48}), 32);
}

}  // namespace
}  // namespace purga
