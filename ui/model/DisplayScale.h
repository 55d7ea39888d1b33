// Sizes and positions at a display's scale. The windows are laid out in
// pixels of a 96-dpi screen; at any other DPI every position, size and font
// height is that figure times DPI / 96, rounded to the nearest pixel, so that
// at 96 dpi nothing moves.
#pragma once

#include <vector>

#include "ui/model/WindowPlacement.h"

namespace purga {

// The DPI the windows' figures are given for.
inline constexpr int kDesignDpi = 96;

// A rectangle in a parent's client coordinates.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// `value` (pixels at 96 dpi) at `dpi`: the nearest whole pixel, a half
// rounded away from zero.
int Scale(int value, int dpi);

// A rectangle at `dpi`. Its edges are scaled rather than its size, so that
// controls that meet, or overlap by a pixel, at 96 dpi still do.
Bounds Scale(const Bounds& bounds, int dpi);

// The 96-dpi rectangle that Scale maps to `bounds`: exactly the one it came
// from at 96 dpi and above; the nearest one otherwise.
Bounds Unscale(const Bounds& bounds, int dpi);

// How far a window's frame reaches beyond its client area on each side.
struct FrameInsets {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The outer rectangle, in screen coordinates, of a form whose 96-dpi place
// is `design`: its top-left corner scaled, and its size the scaled size, of
// the client area with `frame` (the frame at that DPI) around it when
// `clientSized`, else of the whole window.
ScreenRect FormRect(const Bounds& design, bool clientSized, const FrameInsets& frame, int dpi);

// A length the user set (a pane's width, by dragging a splitter): kept in
// the pixels of the DPI it was set at, and scaled only for another DPI, so
// that it neither creeps nor jumps by a pixel when the layout runs again.
struct KeptLength {
  int pixels = 0;
  int dpi = kDesignDpi;
  int At(int atDpi) const;
};

// Of the sizes `made` (in ascending order), the one nearest to `wanted`; of
// two equally near, the smaller.
int NearestSize(int wanted, const std::vector<int>& made);

}  // namespace purga
