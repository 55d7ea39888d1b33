// Check boxes, flat speed buttons and push buttons.
#include "ui/win/Buttons.h"

namespace purga::win {

namespace {

HCURSOR ArrowCursor() { return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)); }

}  // namespace

// --- CheckBox ---

CheckBox::CheckBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                   CheckBoxModel& model, const std::string& hint)
    : Control(form), model_(model) {
  CreateChild(parent, L"BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, bounds, hint);
  model_.onViewChanged = [this] { ShowModel(); };
  ShowModel();
}

CheckBox::~CheckBox() { model_.onViewChanged = nullptr; }

void CheckBox::ShowModel() {
  const WPARAM state = model_.Checked() ? BST_CHECKED : BST_UNCHECKED;
  if (static_cast<WPARAM>(SendMessageW(Handle(), BM_GETCHECK, 0, 0)) != state)
    SendMessageW(Handle(), BM_SETCHECK, state, 0);
  SetEnabled(model_.Enabled());
}

void CheckBox::OnCommand(HWND /*from*/, int code) {
  if (code != BN_CLICKED) return;
  model_.SetChecked(SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED);
}

// --- SpeedButton ---

SpeedButton::SpeedButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                         COLORREF textColour, const std::string& hint)
    : Control(form), textColour_(textColour) {
  RegisterWindowClass(kClassName, &SpeedButton::ButtonProc, ArrowCursor(), CS_HREDRAW | CS_VREDRAW);
  HWND hwnd = CreateChild(parent, kClassName, caption, 0, 0, bounds, hint);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void SpeedButton::OnCommand(HWND /*from*/, int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

LRESULT CALLBACK SpeedButton::ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SpeedButton* button = FromWindow<SpeedButton>(hwnd);
  if (button == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const auto inside = [hwnd, lParam] {
    RECT r;
    GetClientRect(hwnd, &r);
    const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&r, p) != FALSE;
  };
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(button->Font());
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
      if (button->pressed_)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
      else if (button->hot_)
        DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
      if (button->pressed_) {
        const int shift = button->OwnerForm().Scaled(1);
        OffsetRect(&r, shift, shift);
      }
      HGDIOBJ oldFont = SelectObject(dc, button->Font());
      SetBkMode(dc, TRANSPARENT);
      COLORREF colour =
          button->textColour_ == CLR_INVALID ? GetSysColor(COLOR_BTNTEXT) : button->textColour_;
      if (!IsWindowEnabled(hwnd)) colour = GetSysColor(COLOR_GRAYTEXT);
      SetTextColor(dc, colour);
      const std::wstring caption = button->WideText();
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
                DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
      SelectObject(dc, oldFont);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      button->pressed_ = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_MOUSEMOVE: {
      if (!button->hot_) {
        button->hot_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      if (GetCapture() == hwnd && button->pressed_ != inside()) {
        button->pressed_ = !button->pressed_;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      button->hot_ = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) {
        const bool click = inside();
        ReleaseCapture();
        button->pressed_ = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (click) button->NotifyForm(BN_CLICKED);
      }
      return 0;
    case WM_CAPTURECHANGED:
      button->pressed_ = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) button->NotifyForm(BN_CLICKED);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// --- PushButton ---

PushButton::PushButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption)
    : Control(form) {
  CreateChild(parent, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, 0, bounds, {});
}

void PushButton::OnCommand(HWND /*from*/, int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

}  // namespace purga::win
