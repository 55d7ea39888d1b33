// The splitter that moves the border between two controls side by side.
#pragma once

#include <functional>

#include "ui/win/Form.h"

namespace purga::win {

// A vertical splitter between two controls side by side on one parent:
// dragging it moves the border between them (each keeps at least minSize).
class Splitter : public Control {
 public:
  static constexpr const char* kClassName = "PurgaSplitter";

  Splitter(Form& form, HWND parent, const Bounds& bounds, Control& before, Control& after,
           int minSize = 30);
  // Puts the splitter's left edge at `left` (in the parent), moving the two
  // neighbours; clamped so that each keeps minSize.
  void MoveTo(int left);

  // After a move.
  std::function<void()> onMoved;

 private:
  static LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  Control& before_;
  Control& after_;
  int minSize_;
  int dragOffset_ = -1;
};

}  // namespace purga::win
