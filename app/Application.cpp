// The application window: the task bar's button, and the message loop.
#include "app/Application.h"

#include <commctrl.h>
#include <ole2.h>

#include "platform/win32/CodePage.h"

namespace purga::win {

namespace {
constexpr const wchar_t* kApplicationClass = L"PurgaApplication";
}

Application::Application(const std::string& title, HICON icon) {
  // The shell namespace widgets and the shell's open call want COM (single
  // threaded) on the user-interface thread.
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{
      sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Application::WindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.lpszClassName = kApplicationClass;
  RegisterClassExW(&wc);
  // Visible, so that the task bar shows it, but of no size and off the
  // screen: nothing to look at (Wine does not even map it to an X window).
  hwnd_ = CreateWindowExW(0, kApplicationClass, ToWide(title).c_str(),
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, -10000, -10000, 0,
                          0, nullptr, nullptr, instance, this);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

Application::~Application() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  OleUninitialize();
}

void Application::Own(HWND form) const {
  SetWindowLongPtrW(form, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(hwnd_));
}

int Application::Run() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    HWND active = GetActiveWindow();
    if (active == nullptr || !IsDialogMessageW(active, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK Application::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self =
        static_cast<Application*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Application*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->main_ == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_ACTIVATE:
      // Pressing the task-bar button activates this window of no size: hand
      // the activation to the window the user works in (a modal form, or the
      // launcher).
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND target = GetLastActivePopup(self->main_);
        if (!IsWindowVisible(target) || !IsWindowEnabled(target)) target = self->main_;
        if (IsWindowVisible(target) && IsWindowEnabled(target)) SetActiveWindow(target);
      }
      return 0;
    case WM_CLOSE:
      // "Close window" on the task-bar button: the launcher decides, and only
      // while no other window is shown modally over it.
      if (IsWindowEnabled(self->main_)) PostMessageW(self->main_, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace purga::win
