// The display scale on the Windows side: the DPI of the system and of a
// window, the system's metrics and window frames at a DPI, and the forms'
// font at a DPI. What Windows 8.1 and 10 added for monitors of their own
// DPI is looked up when first needed, so that the program still starts on
// Windows 7, where the whole system has one DPI.
#pragma once

#include "platform/win32/Win32Api.h"
#include "ui/model/DisplayScale.h"

namespace purga::win {

// The forms' font height, in pixels at 96 dpi, and its face (the
// program's text, handed to Windows in UTF-16).
inline constexpr int kFontHeight = 12;
inline constexpr const char* kFontFace = "ＭＳ Ｐゴシック";

// The DPI of the system: of the main monitor when the program started.
int SystemDpi();
// The DPI of the monitor the window is on (the system's before 8.1).
int WindowDpi(HWND hwnd);
// GetSystemMetrics(index) at `dpi`.
int MetricAt(int index, int dpi);
// The frame of a window of these styles at `dpi`.
FrameInsets FrameAt(DWORD style, DWORD exStyle, int dpi);
// kFontFace, Shift-JIS, `height` pixels at 96 dpi scaled to `dpi`.
// Made once for each height and DPI, and kept while the program runs.
HFONT FontAt(int height, int dpi);
// In WM_NCCREATE: asks Windows 10 of 2016, whose per-monitor mode does not
// yet scale title bars by itself, to scale this window's.
void ScaleNonClientArea(HWND hwnd);

}  // namespace purga::win
