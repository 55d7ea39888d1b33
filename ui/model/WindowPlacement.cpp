#include "ui/model/WindowPlacement.h"

#include <algorithm>

namespace purga {

namespace {

// One axis: the window's start within [areaStart, areaEnd), its start edge
// winning when it does not fit.
int KeptOnAxis(int start, int size, int areaStart, int areaEnd) {
  return std::max(std::min(start, areaEnd - size), areaStart);
}

}  // namespace

ScreenPoint CentredOver(const ScreenRect& over, int width, int height) {
  // Integer division truncates toward zero, as the halving must.
  return {over.left + (over.Width() - width) / 2, over.top + (over.Height() - height) / 2};
}

ScreenPoint KeptOnWorkArea(const ScreenRect& window, const ScreenRect& workArea) {
  return {KeptOnAxis(window.left, window.Width(), workArea.left, workArea.right),
          KeptOnAxis(window.top, window.Height(), workArea.top, workArea.bottom)};
}

}  // namespace purga
