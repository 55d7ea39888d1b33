// Where a window goes when it is first shown: centred over another window,
// and kept on the work area of its monitor (the screen less the task bar).
#pragma once

namespace purga {

// A rectangle in screen coordinates; right and bottom lie just outside it.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const ScreenRect&) const = default;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

// The top-left corner of a window of `width` x `height` centred over `over`:
// over's edge plus half the difference of the sizes, halved with truncation
// toward zero.
ScreenPoint CentredOver(const ScreenRect& over, int width, int height);

// The top-left corner of `window` moved the least distance that brings it
// onto `workArea`: where it is when it already lies inside. On an axis where
// the window is larger than the work area, its edge goes to the work area's
// edge, which keeps its top-left corner (title bar, system menu) reachable.
ScreenPoint KeptOnWorkArea(const ScreenRect& window, const ScreenRect& workArea);

}  // namespace purga
