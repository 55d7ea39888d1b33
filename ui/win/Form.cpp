// The forms' and the controls' common behaviour: creating at the monitor's
// DPI, routing notifications, modal showings, the first placement on the
// work area, and following a change of DPI.
#include "ui/win/Form.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/CodePage.h"
#include "ui/win/ErrorReport.h"

namespace purga::win {

namespace {

constexpr const wchar_t* kFormClass = L"PurgaForm";
constexpr int kTooltipWidth = 600;  // before a hint breaks into lines

void InitControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                             ICC_DATE_CLASSES | ICC_TREEVIEW_CLASSES |
                                             ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    return true;
  }();
  (void)done;
}

}  // namespace

bool ScreenRectOf(HWND hwnd, ScreenRect& rect) {
  RECT r{};
  if (hwnd == nullptr || !GetWindowRect(hwnd, &r)) return false;
  rect = {r.left, r.top, r.right, r.bottom};
  return true;
}

// --- Control ---

Control::~Control() = default;

HWND Control::CreateChild(HWND parent, const wchar_t* className, const std::string& text,
                          DWORD style, DWORD exStyle, const Bounds& bounds,
                          const std::string& hint) {
  id_ = form_.NextControlId();
  design_ = bounds;
  const Bounds at = form_.Scaled(bounds);
  HWND owner = parent != nullptr ? parent : form_.Handle();
  hwnd_ = CreateWindowExW(exStyle, className, ToWide(text).c_str(), style | WS_CHILD | WS_VISIBLE,
                          at.left, at.top, at.width, at.height, owner,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                          GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
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
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  std::wstring text = ToWide(hint);  // the tooltip keeps a copy
  tool.lpszText = text.data();
  SendMessageW(form_.Tooltip(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Control::NotifyForm(int code) {
  bool handled = false;
  form_.RouteChildMessage(WM_COMMAND, MAKEWPARAM(id_, code), reinterpret_cast<LPARAM>(hwnd_),
                          handled);
}

void Control::RegisterWindowClass(const wchar_t* name, WNDPROC proc, HCURSOR cursor, UINT style) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, name, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = cursor;
  wc.hbrBackground = nullptr;  // the procedures paint their own background
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

Bounds Control::GetBounds() const {
  RECT r;
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Control::SetBounds(const Bounds& b) {
  design_ = Unscale(b, form_.Dpi());
  Move(b);
}

void Control::Move(const Bounds& b) { MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE); }

HFONT Control::Font() const { return form_.Font(fontHeight_); }

void Control::SetFontHeight(int height) {
  fontHeight_ = height;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
}

void Control::DpiChanged() {
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  Move(form_.Scaled(design_));
}

bool Control::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

void Control::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

std::wstring Control::WideText() const {
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

std::string Control::Text() const {
  bool usedDefault = false;
  return ToAnsiNoBestFit(WideText(), usedDefault).value_or(std::string());
}

void Control::SetText(const std::string& text) { SetWindowTextW(hwnd_, ToWide(text).c_str()); }

// --- Form ---

Form::Form(const std::string& caption, const Bounds& bounds, FormBorder border, FormSize size) {
  InitControlsOnce();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  static const bool registered = [instance] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Form::StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (border == FormBorder::Sizeable) style |= WS_THICKFRAME;
  constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
  const bool clientSized = size == FormSize::Client;
  // Made at the system's DPI; on a monitor of another one, made again at
  // its DPI in the same place. (A client-sized form keeps its place's
  // top-left corner as the window's.)
  dpi_ = SystemDpi();
  const ScreenRect outer = FormRect(bounds, clientSized, FrameAt(style, kExStyle, dpi_), dpi_);
  CreateWindowExW(kExStyle, kFormClass, ToWide(caption).c_str(), style, outer.left, outer.top,
                  outer.Width(), outer.Height(), nullptr, nullptr, instance, this);
  if (const int dpi = WindowDpi(hwnd_); dpi != dpi_) {
    dpi_ = dpi;
    const ScreenRect there = FormRect(bounds, clientSized, FrameAt(style, kExStyle, dpi), dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, there.Width(), there.Height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

Form::~Form() { DestroyControls(); }

void Form::DestroyControls() {
  destroying_ = true;
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
  children_.clear();
  controls_.clear();
}

LRESULT CALLBACK Form::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // A form of fixed size keeps the size it was drawn at, also where the
  // system's caption font makes the least width of a title bar larger (the
  // launcher, on Windows 10 frames outside Japanese). Asked before
  // WM_NCCREATE, when the window is made.
  if (msg == WM_GETMINMAXINFO && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME) == 0) {
    reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {0, 0};
    return 0;
  }
  Form* form;
  if (msg == WM_NCCREATE) {
    form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    ScaleNonClientArea(hwnd);
  } else {
    form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (form == nullptr || form->destroying_) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return form->WindowProc(msg, wParam, lParam);
}

LRESULT Form::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Resized(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(Font());
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_COMMAND:
    case WM_NOTIFY: {
      bool handled = false;
      const LRESULT result = RouteChildMessage(msg, wParam, lParam, handled);
      if (handled) return result;
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Form::RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  if (destroying_) return 0;
  LRESULT result = 0;
  if (msg == WM_COMMAND) {
    HWND from = reinterpret_cast<HWND>(lParam);
    Control* control = FindControl(from);
    if (control == nullptr) return 0;
    handled = true;
    const int code = HIWORD(wParam);
    RunReported(hwnd_, [&] { control->OnCommand(from, code); });
  } else if (msg == WM_NOTIFY) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    Control* control = FindControl(header->hwndFrom);
    if (control == nullptr) return 0;
    RunReported(hwnd_, [&] { handled = control->OnNotify(*header, result); });
  }
  return result;
}

void Form::RegisterChild(HWND hwnd, Control* control) { children_.push_back({hwnd, control}); }

void Form::UnregisterChild(HWND hwnd) {
  std::erase_if(children_, [hwnd](const Child& c) { return c.hwnd == hwnd; });
}

Control* Form::FindControl(HWND hwnd) const {
  if (hwnd == nullptr) return nullptr;
  for (const Child& c : children_)
    if (c.hwnd == hwnd) return c.control;
  return nullptr;
}

Control* Form::FindControl(const std::string& name) const {
  for (const auto& control : controls_)
    if (control->Name() == name) return control.get();
  return nullptr;
}

HWND Form::Tooltip() {
  if (tooltip_ == nullptr && hwnd_ != nullptr) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scaled(kTooltipWidth));
  }
  return tooltip_;
}

int Form::ShowModal(HWND owner) {
  if (modal_) return 0;
  // The owner keeps the form above it and away from the task bar.
  SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  modal_ = true;
  closing_ = false;
  modalResult_ = 0;
  RunReported(hwnd_, [this] { FormShow(); });
  PlaceForFirstShowing();
  if (owner != nullptr) EnableWindow(owner, FALSE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetActiveWindow(hwnd_);
  MSG msg;
  while (!closing_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: leave the loop and let the outer loop see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Re-enable the owner before hiding, so that activation returns to it.
  if (owner != nullptr) EnableWindow(owner, TRUE);
  ShowWindow(hwnd_, SW_HIDE);
  if (owner != nullptr) SetActiveWindow(owner);
  modal_ = false;
  closing_ = false;
  return modalResult_;
}

void Form::EndModal(int result) {
  modalResult_ = result;
  closing_ = true;
  // Wake the modal loop if nothing else is waiting.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Form::Close() {
  RunReported(hwnd_, [this] {
    if (!CloseQuery()) return;
    if (modal_)
      EndModal(IDCANCEL);
    else
      Hide();
  });
}

void Form::Show() {
  PlaceForFirstShowing();
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void Form::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void Form::PlaceForFirstShowing() {
  if (shownBefore_) return;
  shownBefore_ = true;
  ScreenRect window;
  if (!ScreenRectOf(hwnd_, window)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  const ScreenPoint kept = KeptOnWorkArea(window, {work.left, work.top, work.right, work.bottom});
  if (kept.x != window.left || kept.y != window.top)
    SetWindowPos(hwnd_, nullptr, kept.x, kept.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::ChangeDpi(int dpi, const RECT& suggested) {
  if (dpi <= 0 || hwnd_ == nullptr || destroying_) return;
  dpi_ = dpi;
  if (tooltip_ != nullptr) {
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scaled(kTooltipWidth));
  }
  for (const auto& control : controls_) control->DpiChanged();
  DpiChanged();
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // The layout runs even when the size stayed the same (no WM_SIZE).
  RECT client{};
  GetClientRect(hwnd_, &client);
  Resized(client.right, client.bottom);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace purga::win
