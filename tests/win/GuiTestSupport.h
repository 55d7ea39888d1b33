// Helpers of the GUI tests: waiting for a condition while the test thread
// serves its windows, answering message boxes from another thread, and
// saving a window's picture.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/win32/Win32Api.h"

namespace purga::test {

// Dispatches the test thread's messages until `done` holds or `timeoutMs`
// has passed. True when `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// On a thread other than the one that serves the windows: polls `done`
// until it holds or `timeoutMs` has passed. True when `done` held.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Waits on another thread for a message box (class #32770) with `caption`
// owned by this process, records its text and presses `button` (IDOK,
// IDYES, IDNO...). Start it before the code that shows the box.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer(std::string caption, int button, DWORD timeoutMs = 10000);
  ~MessageBoxAnswerer();
  // Joins the thread; true when a box was seen and answered.
  bool Wait();
  const std::string& Text() const { return text_; }
  // The box's icon style: true when it shows an icon.
  bool HadIcon() const { return hadIcon_; }

 private:
  std::string caption_;
  std::string text_;
  bool hadIcon_ = false;
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

// Saves the picture of `hwnd` (a visible top-level window) as a 24-bit BMP.
bool SaveWindowBitmap(HWND hwnd, const std::string& path);

// The work area (the screen less the task bar) of the monitor that shows
// most of `hwnd`.
RECT WorkAreaOf(HWND hwnd);

// The folder of the test executable, with a trailing backslash.
std::string TestExeFolder();

}  // namespace purga::test
