// The display scale on the Windows side, with the later systems' functions
// looked up at run time.
#include "ui/win/Dpi.h"

#include <map>
#include <utility>

#include "platform/win32/CodePage.h"

namespace purga::win {

namespace {

// Windows 10 (1607 and later).
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using EnableNonClientDpiScalingFn = BOOL(WINAPI*)(HWND);
// Windows 8.1, shcore.dll: MDT_EFFECTIVE_DPI is 0.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <class F>
F User32(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

GetDpiForMonitorFn DpiForMonitor() {
  static const GetDpiForMonitorFn function = [] {
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    return shcore == nullptr ? nullptr
                             : reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void (*)()>(
                                   GetProcAddress(shcore, "GetDpiForMonitor")));
  }();
  return function;
}

}  // namespace

int SystemDpi() {
  static const int dpi = [] {
    if (const auto forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem"))
      return static_cast<int>(forSystem());
    HDC screen = GetDC(nullptr);
    const int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return logPixels > 0 ? logPixels : kDesignDpi;
  }();
  return dpi;
}

int WindowDpi(HWND hwnd) {
  static const auto forWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (forWindow != nullptr) {
    if (const UINT dpi = forWindow(hwnd); dpi != 0) return static_cast<int>(dpi);
  }
  if (const GetDpiForMonitorFn forMonitor = DpiForMonitor()) {
    UINT x = 0, y = 0;
    if (SUCCEEDED(forMonitor(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), 0, &x, &y)) &&
        y != 0)
      return static_cast<int>(y);
  }
  return SystemDpi();
}

int MetricAt(int index, int dpi) {
  static const auto forDpi = User32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi != nullptr) return forDpi(index, static_cast<UINT>(dpi));
  // The metrics are the system DPI's.
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

FrameInsets FrameAt(DWORD style, DWORD exStyle, int dpi) {
  static const auto forDpi = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, 0, 0};
  // Before Windows 10 a frame does not follow a monitor's DPI: it stays
  // the system's.
  if (forDpi == nullptr || !forDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return {-r.left, -r.top, r.right, r.bottom};
}

HFONT FontAt(int height, int dpi) {
  static std::map<std::pair<int, int>, HFONT> fonts;  // user-interface thread only
  HFONT& font = fonts[{height, dpi}];
  if (font == nullptr)
    font = CreateFontW(-Scale(height, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, ToWide(kFontFace).c_str());
  return font;
}

void ScaleNonClientArea(HWND hwnd) {
  static const auto enable = User32<EnableNonClientDpiScalingFn>("EnableNonClientDpiScaling");
  if (enable != nullptr) enable(hwnd);
}

}  // namespace purga::win
