// Labels, panels and the status line.
#include "ui/win/Panels.h"

#include <commctrl.h>

#include <new>

namespace purga::win {

namespace {

HCURSOR ArrowCursor() { return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)); }

}  // namespace

// --- Label ---

Label::Label(Form& form, HWND parent, int left, int top, const std::string& caption,
             const std::string& hint)
    : Control(form) {
  // SS_NOTIFY lets the label see the mouse, which its tooltip needs.
  CreateChild(parent, L"STATIC", caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0, {left, top, 0, 0},
              hint);
  Move(OwnerForm().Scaled(DesignBounds()));
}

void Label::Move(const Bounds& bounds) {
  // As large as its text in its font, wherever it goes.
  const std::wstring caption = WideText();
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, Font());
  SIZE size{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  Control::Move({bounds.left, bounds.top, size.cx, size.cy});
}

// --- Panel ---

Panel::Panel(Form& form, HWND parent, const Bounds& bounds, const PanelLook& look,
             const std::string& caption, const std::string& hint)
    : Control(form), look_(look) {
  RegisterWindowClass(kClassName, &Panel::PanelProc, ArrowCursor(), CS_HREDRAW | CS_VREDRAW);
  brush_ = CreateSolidBrush(look.colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : look.colour);
  HWND hwnd =
      CreateChild(parent, kClassName, caption, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, bounds, hint);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  InvalidateRect(hwnd, nullptr, TRUE);
}

Panel::~Panel() {
  if (caption_ != nullptr) caption_->onViewChanged = nullptr;
  if (Handle() != nullptr && IsWindow(Handle())) SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
  DeleteObject(brush_);
}

void Panel::BindCaption(CaptionModel& caption, bool later) {
  caption_ = &caption;
  if (later)
    caption.onViewChanged = [this] { due_ = true; };
  else
    caption.onViewChanged = [this] { SetText(caption_->Text()); };
  SetText(caption.Text());
}

void Panel::ShowDue() noexcept {
  if (!due_) return;
  // Cleared first: a read of the text while it is set must not set it again.
  due_ = false;
  try {
    SetText(caption_->Text());
  } catch (const std::bad_alloc&) {
    due_ = true;  // shown at the next frame, pause or read
  }
}

void Panel::OnCommand(HWND /*from*/, int code) {
  if (code == STN_CLICKED && onClick) onClick();
}

LRESULT CALLBACK Panel::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Panel* panel = FromWindow<Panel>(hwnd);
  if (panel == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY: {
      // Children's notifications belong to the form.
      bool handled = false;
      const LRESULT result = panel->OwnerForm().RouteChildMessage(msg, wParam, lParam, handled);
      if (handled) return result;
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(panel->Font());
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      // A reader (a screen reader, automation) gets the latest caption,
      // not the last one drawn.
      panel->ShowDue();
      break;
    case WM_PAINT: {
      // Set before BeginPaint, which validates what the new text invalidates.
      panel->ShowDue();
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      panel->Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) {
        ReleaseCapture();
        RECT r;
        GetClientRect(hwnd, &r);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&r, p)) panel->NotifyForm(STN_CLICKED);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Panel::Paint(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, brush_);
  HGDIOBJ oldFont = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  const std::wstring caption = WideText();
  if (look_.edge == Edge::GroupFrame) {
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    RECT frame = r;
    frame.top = tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!caption.empty()) {
      SIZE size{};
      GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
      // The caption on the frame's top line, a little in from its left end.
      const int at = OwnerForm().Scaled(9);
      RECT text{at - OwnerForm().Scaled(1), 0, at + size.cx + OwnerForm().Scaled(1), tm.tmHeight};
      FillRect(dc, &text, brush_);
      TextOutW(dc, at, 0, caption.c_str(), static_cast<int>(caption.size()));
    }
    SelectObject(dc, oldFont);
    return;
  }
  switch (look_.edge) {
    case Edge::None:
      break;
    case Edge::Raised:
      DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RECT | BF_ADJUST);
      break;
    case Edge::Lowered:
    case Edge::Sunken:
      DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
      break;
    case Edge::Etched:
      DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT | BF_ADJUST);
      break;
    case Edge::SoftBevel:
      DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT | BF_SOFT | BF_ADJUST);
      break;
    case Edge::RightLine:
      DrawEdge(dc, &r, EDGE_ETCHED, BF_RIGHT);
      break;
    case Edge::GroupFrame:
      break;
  }
  if (!caption.empty()) {
    InflateRect(&r, -OwnerForm().Scaled(2), 0);
    UINT format = look_.wrap ? DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX
                             : DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    format |= look_.align == Align::Left    ? DT_LEFT
              : look_.align == Align::Right ? DT_RIGHT
                                            : DT_CENTER;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
  }
  SelectObject(dc, oldFont);
}

GroupBox::GroupBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                   const std::string& hint)
    : Panel(form, parent, bounds, {Edge::GroupFrame, Align::Left, CLR_INVALID}, caption, hint) {}

// --- StatusBar ---

StatusBar::StatusBar(Form& form, HWND parent, const Bounds& bounds) : Control(form) {
  // Placed by the form, not by the control itself.
  CreateChild(parent, STATUSCLASSNAMEW, "",
              SBARS_SIZEGRIP | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0, bounds, {});
}

}  // namespace purga::win
