// The scaling arithmetic of the windows' geometry.
#include "ui/model/DisplayScale.h"

#include <cstdint>
#include <cstdlib>

namespace purga {

namespace {

// value * numerator / denominator, the nearest whole number, a half rounded
// away from zero (as MulDiv rounds).
int MulDivRounded(int value, int numerator, int denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t magnitude = (2 * std::llabs(product) + denominator) / (2 * int64_t{denominator});
  return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

}  // namespace

int Scale(int value, int dpi) { return MulDivRounded(value, dpi, kDesignDpi); }

Bounds Scale(const Bounds& b, int dpi) {
  const int left = Scale(b.left, dpi);
  const int top = Scale(b.top, dpi);
  return {left, top, Scale(b.left + b.width, dpi) - left, Scale(b.top + b.height, dpi) - top};
}

Bounds Unscale(const Bounds& b, int dpi) {
  const int left = MulDivRounded(b.left, kDesignDpi, dpi);
  const int top = MulDivRounded(b.top, kDesignDpi, dpi);
  return {left, top, MulDivRounded(b.left + b.width, kDesignDpi, dpi) - left,
          MulDivRounded(b.top + b.height, kDesignDpi, dpi) - top};
}

ScreenRect FormRect(const Bounds& design, bool clientSized, const FrameInsets& frame, int dpi) {
  // The size is scaled as a whole, not by its edges: the client area holds
  // controls laid out from its own corner, whose far edges scale from zero.
  const int left = Scale(design.left, dpi);
  const int top = Scale(design.top, dpi);
  int width = Scale(design.width, dpi);
  int height = Scale(design.height, dpi);
  if (clientSized) {
    width += frame.left + frame.right;
    height += frame.top + frame.bottom;
  }
  return {left, top, left + width, top + height};
}

int KeptLength::At(int atDpi) const {
  return atDpi == dpi ? pixels : MulDivRounded(pixels, atDpi, dpi);
}

int NearestSize(int wanted, const std::vector<int>& made) {
  int best = 0;
  bool first = true;
  for (const int size : made) {
    if (first || std::abs(size - wanted) < std::abs(best - wanted)) best = size;
    first = false;
  }
  return best;
}

}  // namespace purga
