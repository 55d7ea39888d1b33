// The splitter that moves the border between two controls side by side.
#pragma once

#include <functional>

#include "ui/win/Form.h"

namespace purga::win {

// A vertical splitter between two controls side by side on one parent:
// dragging it moves the border between them (each keeps at least minSize,
// pixels at 96 dpi). One of the two keeps its width when the form's layout
// runs again; the splitter holds that width.
class Splitter : public Control {
 public:
  static constexpr const wchar_t* kClassName = L"PurgaSplitter";
  enum class Kept { Before, After };

  // `keptWidth`: the kept neighbour's width at first, pixels at 96 dpi.
  Splitter(Form& form, HWND parent, const Bounds& bounds, Control& before, Control& after,
           Kept kept, int keptWidth, int minSize = 30);
  // Puts the splitter's left edge at `left` (in the parent), moving the two
  // neighbours; clamped so that each keeps minSize.
  void MoveTo(int left);
  // The kept neighbour's width, in pixels at the form's DPI: as the user
  // left it, scaled when the DPI has changed since.
  int KeptWidth() const;

  // After a move.
  std::function<void()> onMoved;

 private:
  static LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  Control& before_;
  Control& after_;
  Kept kept_;
  KeptLength keptWidth_;
  int minSize_;
  int dragOffset_ = -1;
};

}  // namespace purga::win
