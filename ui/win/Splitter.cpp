// The splitter between two controls side by side.
#include "ui/win/Splitter.h"

#include <algorithm>

namespace purga::win {

// --- Splitter ---

Splitter::Splitter(Form& form, HWND parent, const Bounds& bounds, Control& before, Control& after,
                   Kept kept, int keptWidth, int minSize)
    : Control(form),
      before_(before),
      after_(after),
      kept_(kept),
      keptWidth_{keptWidth, kDesignDpi},
      minSize_(minSize) {
  RegisterWindowClass(kClassName, &Splitter::SplitterProc,
                      LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)), 0);
  HWND hwnd = CreateChild(parent, kClassName, "", 0, 0, bounds, {});
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Splitter::MoveTo(int left) {
  const Bounds self = GetBounds();
  const Bounds before = before_.GetBounds();
  const Bounds after = after_.GetBounds();
  const int afterRight = after.left + after.width;
  const int minSize = OwnerForm().Scaled(minSize_);
  const int lowest = before.left + minSize;
  const int highest = afterRight - minSize - self.width;
  left = std::clamp(left, lowest, std::max(lowest, highest));
  before_.SetBounds({before.left, before.top, left - before.left, before.height});
  SetBounds({left, self.top, self.width, self.height});
  after_.SetBounds({left + self.width, after.top, afterRight - left - self.width, after.height});
  keptWidth_ = {(kept_ == Kept::Before ? before_ : after_).GetBounds().width, OwnerForm().Dpi()};
  if (onMoved) onMoved();
}

int Splitter::KeptWidth() const { return keptWidth_.At(OwnerForm().Dpi()); }

LRESULT CALLBACK Splitter::SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Splitter* splitter = FromWindow<Splitter>(hwnd);
  if (splitter == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const int x = static_cast<short>(LOWORD(lParam));
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      splitter->dragOffset_ = x;
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd && splitter->dragOffset_ >= 0)
        splitter->MoveTo(splitter->GetBounds().left + x - splitter->dragOffset_);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      splitter->dragOffset_ = -1;
      if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace purga::win
