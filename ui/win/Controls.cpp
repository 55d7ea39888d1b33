#include "ui/win/Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace purga::win {

namespace {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

void RegisterClassOnce(const char* name, WNDPROC proc, HCURSOR cursor, UINT style) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(Instance(), name, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = Instance();
  wc.hCursor = cursor;
  wc.hbrBackground = nullptr;  // the procedures paint their own background
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

HCURSOR Arrow() { return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)); }

template <class T>
T* FromWindow(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Sends a notification to the form as if the control's parent had passed it on.
void NotifyForm(Control& control, int code) {
  bool handled = false;
  control.OwnerForm().RouteChildMessage(WM_COMMAND, MAKEWPARAM(control.Id(), code),
                                        reinterpret_cast<LPARAM>(control.Handle()), handled);
}

}  // namespace

// --- Control ---

Control::~Control() = default;

HWND Control::CreateChild(HWND parent, const char* className, const std::string& text, DWORD style,
                          DWORD exStyle, const Bounds& bounds, const std::string& hint) {
  id_ = form_.NextControlId();
  HWND owner = parent != nullptr ? parent : form_.Handle();
  hwnd_ = CreateWindowExA(exStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE,
                          bounds.left, bounds.top, bounds.width, bounds.height, owner,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont()), FALSE);
  AddWindow(hwnd_);
  hint_ = hint;
  if (!hint.empty()) AddTooltip(hwnd_, hint);
  return hwnd_;
}

void Control::AddWindow(HWND hwnd) {
  windows_.push_back(hwnd);
  form_.RegisterChild(hwnd, this);
}

void Control::AddTooltip(HWND hwnd, const std::string& hint) {
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  tool.lpszText = const_cast<char*>(hint.c_str());
  SendMessageA(form_.Tooltip(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

Bounds Control::GetBounds() const {
  RECT r;
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Control::SetBounds(const Bounds& b) {
  MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
}

bool Control::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

void Control::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

std::string Control::Text() const { return WindowText(hwnd_); }

void Control::SetText(const std::string& text) { SetWindowTextA(hwnd_, text.c_str()); }

// --- Label ---

Label::Label(Form& form, HWND parent, int left, int top, const std::string& caption,
             const std::string& hint)
    : Control(form) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FormFont());
  SIZE size{};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  // SS_NOTIFY lets the label see the mouse, which its tooltip needs.
  CreateChild(parent, "STATIC", caption, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0,
              {left, top, size.cx, size.cy}, hint);
}

// --- Panel ---

Panel::Panel(Form& form, HWND parent, const Bounds& bounds, const PanelLook& look,
             const std::string& caption, const std::string& hint)
    : Control(form), look_(look) {
  RegisterClassOnce(kClassName, &Panel::PanelProc, Arrow(), CS_HREDRAW | CS_VREDRAW);
  brush_ = CreateSolidBrush(look.colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : look.colour);
  HWND hwnd =
      CreateChild(parent, kClassName, caption, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, bounds, hint);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  InvalidateRect(hwnd, nullptr, TRUE);
}

Panel::~Panel() {
  if (caption_ != nullptr) caption_->onViewChanged = nullptr;
  if (Handle() != nullptr && IsWindow(Handle())) SetWindowLongPtrA(Handle(), GWLP_USERDATA, 0);
  DeleteObject(brush_);
}

void Panel::BindCaption(CaptionModel& caption) {
  caption_ = &caption;
  caption.onViewChanged = [this] { SetText(caption_->Text()); };
  SetText(caption.Text());
}

void Panel::OnCommand(HWND /*from*/, int code) {
  if (code == STN_CLICKED && onClick) onClick();
}

LRESULT CALLBACK Panel::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Panel* panel = FromWindow<Panel>(hwnd);
  if (panel == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
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
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      panel->Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
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
        if (PtInRect(&r, p)) NotifyForm(*panel, STN_CLICKED);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Panel::Paint(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, brush_);
  HGDIOBJ oldFont = SelectObject(dc, FormFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  const std::string caption = Text();
  if (look_.edge == Edge::GroupFrame) {
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    RECT frame = r;
    frame.top = tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!caption.empty()) {
      SIZE size{};
      GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
      RECT text{8, 0, 8 + size.cx + 2, tm.tmHeight};
      FillRect(dc, &text, brush_);
      TextOutA(dc, 9, 0, caption.c_str(), static_cast<int>(caption.size()));
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
    InflateRect(&r, -2, 0);
    UINT format = look_.wrap ? DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX
                             : DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    format |= look_.align == Align::Left    ? DT_LEFT
              : look_.align == Align::Right ? DT_RIGHT
                                            : DT_CENTER;
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
  }
  SelectObject(dc, oldFont);
}

GroupBox::GroupBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                   const std::string& hint)
    : Panel(form, parent, bounds, {Edge::GroupFrame, Align::Left, CLR_INVALID}, caption, hint) {}

// --- CheckBox ---

CheckBox::CheckBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                   CheckBoxModel& model, const std::string& hint)
    : Control(form), model_(model) {
  CreateChild(parent, "BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, bounds, hint);
  model_.onViewChanged = [this] { ShowModel(); };
  ShowModel();
}

CheckBox::~CheckBox() { model_.onViewChanged = nullptr; }

void CheckBox::ShowModel() {
  const WPARAM state = model_.Checked() ? BST_CHECKED : BST_UNCHECKED;
  if (static_cast<WPARAM>(SendMessageA(Handle(), BM_GETCHECK, 0, 0)) != state)
    SendMessageA(Handle(), BM_SETCHECK, state, 0);
  SetEnabled(model_.Enabled());
}

void CheckBox::OnCommand(HWND /*from*/, int code) {
  if (code != BN_CLICKED) return;
  model_.SetChecked(SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED);
}

// --- Edit ---

Edit::Edit(Form& form, HWND parent, const Bounds& bounds, EditModel& model, const std::string& hint)
    : Control(form), model_(model) {
  CreateChild(parent, "EDIT", model.Text(), ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
              bounds, hint);
  if (model.MaxLength() != 0) SendMessageA(Handle(), EM_LIMITTEXT, model.MaxLength(), 0);
  model_.onViewChanged = [this] { ShowModel(); };
  ShowModel();
}

Edit::~Edit() { model_.onViewChanged = nullptr; }

void Edit::ShowModel() {
  if (Text() != model_.Text()) {
    const bool focused = GetFocus() == Handle();
    SetText(model_.Text());
    if (focused) {
      const auto end = static_cast<WPARAM>(model_.Text().size());
      SendMessageA(Handle(), EM_SETSEL, end, static_cast<LPARAM>(end));
    }
  }
  SetEnabled(model_.Enabled());
}

void Edit::OnCommand(HWND /*from*/, int code) {
  if (code != EN_CHANGE) return;
  model_.Typed(Text());
  // The model may keep less than was typed (a byte limit); show what it kept.
  if (Text() != model_.Text()) ShowModel();
}

// --- SpinEdit ---

SpinEdit::SpinEdit(Form& form, HWND parent, const Bounds& bounds, SpinEditModel& model,
                   const std::string& hint)
    : Edit(form, parent, bounds, model, hint) {
  // The arrows are placed by SetBounds, not by the up-down control: its own
  // alignment overlaps the edit's border and changes the outer size.
  arrows_ = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS, 0, 0, 0, 0,
                            GetParent(Handle()), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(arrows_, UDM_SETRANGE32, SpinEditModel::kMinValue, SpinEditModel::kMaxValue);
  SendMessageA(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
  AddWindow(arrows_);
  if (!hint.empty()) AddTooltip(arrows_, hint);
  SetBounds(bounds);
  SetEnabled(model.Enabled());
}

Bounds SpinEdit::GetBounds() const {
  const Bounds edit = Control::GetBounds();
  RECT r;
  GetWindowRect(arrows_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(arrows_), reinterpret_cast<POINT*>(&r), 2);
  const int right = std::max<int>(edit.left + edit.width, r.right);
  const int bottom = std::max<int>(edit.top + edit.height, r.bottom);
  return {edit.left, edit.top, right - edit.left, bottom - edit.top};
}

void SpinEdit::SetBounds(const Bounds& bounds) {
  const int arrowsWidth = std::min(GetSystemMetrics(SM_CXVSCROLL), bounds.width / 2);
  Control::SetBounds({bounds.left, bounds.top, bounds.width - arrowsWidth, bounds.height});
  MoveWindow(arrows_, bounds.left + bounds.width - arrowsWidth, bounds.top, arrowsWidth,
             bounds.height, TRUE);
}

void SpinEdit::SetEnabled(bool enabled) {
  Control::SetEnabled(enabled);
  if (arrows_ != nullptr) EnableWindow(arrows_, enabled ? TRUE : FALSE);
}

void SpinEdit::OnCommand(HWND from, int code) {
  if (code == EN_KILLFOCUS) {
    Spin().FocusLost();
    return;
  }
  Edit::OnCommand(from, code);
}

bool SpinEdit::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != arrows_ || header.code != UDN_DELTAPOS) return false;
  const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
  if (change.iDelta > 0)
    Spin().StepUp();
  else if (change.iDelta < 0)
    Spin().StepDown();
  result = 1;  // the model holds the value, not the arrows
  return true;
}

// --- SpeedButton ---

SpeedButton::SpeedButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
                         COLORREF textColour, const std::string& hint)
    : Control(form), textColour_(textColour) {
  RegisterClassOnce(kClassName, &SpeedButton::ButtonProc, Arrow(), CS_HREDRAW | CS_VREDRAW);
  HWND hwnd = CreateChild(parent, kClassName, caption, 0, 0, bounds, hint);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void SpeedButton::OnCommand(HWND /*from*/, int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

LRESULT CALLBACK SpeedButton::ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SpeedButton* button = FromWindow<SpeedButton>(hwnd);
  if (button == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  const auto inside = [hwnd, lParam] {
    RECT r;
    GetClientRect(hwnd, &r);
    const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&r, p) != FALSE;
  };
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
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
      if (button->pressed_) OffsetRect(&r, 1, 1);
      HGDIOBJ oldFont = SelectObject(dc, FormFont());
      SetBkMode(dc, TRANSPARENT);
      COLORREF colour =
          button->textColour_ == CLR_INVALID ? GetSysColor(COLOR_BTNTEXT) : button->textColour_;
      if (!IsWindowEnabled(hwnd)) colour = GetSysColor(COLOR_GRAYTEXT);
      SetTextColor(dc, colour);
      const std::string caption = button->Text();
      DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
                DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
      SelectObject(dc, oldFont);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
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
        if (click) NotifyForm(*button, BN_CLICKED);
      }
      return 0;
    case WM_CAPTURECHANGED:
      button->pressed_ = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) NotifyForm(*button, BN_CLICKED);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// --- Splitter ---

Splitter::Splitter(Form& form, HWND parent, const Bounds& bounds, Control& before, Control& after,
                   int minSize)
    : Control(form), before_(before), after_(after), minSize_(minSize) {
  RegisterClassOnce(kClassName, &Splitter::SplitterProc,
                    LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZEWE)), 0);
  HWND hwnd = CreateChild(parent, kClassName, "", 0, 0, bounds, {});
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Splitter::MoveTo(int left) {
  const Bounds self = GetBounds();
  const Bounds before = before_.GetBounds();
  const Bounds after = after_.GetBounds();
  const int afterRight = after.left + after.width;
  const int lowest = before.left + minSize_;
  const int highest = afterRight - minSize_ - self.width;
  left = std::clamp(left, lowest, std::max(lowest, highest));
  before_.SetBounds({before.left, before.top, left - before.left, before.height});
  SetBounds({left, self.top, self.width, self.height});
  after_.SetBounds({left + self.width, after.top, afterRight - left - self.width, after.height});
  if (onMoved) onMoved();
}

LRESULT CALLBACK Splitter::SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Splitter* splitter = FromWindow<Splitter>(hwnd);
  if (splitter == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
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
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace purga::win
