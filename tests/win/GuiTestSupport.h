// Helpers of the GUI tests: waiting for a condition while the test thread
// serves its windows, answering message boxes from another thread, and
// saving a window's picture.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/CodePage.h"
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

// Sets values of a registry key and puts the old ones back (or removes those
// that were not there) when it goes.
class RegistryChange {
 public:
  struct Value {
    std::string name;
    DWORD type;
    std::string data;  // the value's bytes
  };
  static Value Text(const std::string& name, const std::string& text);
  static Value Number(const std::string& name, DWORD number);

  RegistryChange(HKEY root, const std::string& key, const std::vector<Value>& values);
  ~RegistryChange();
  RegistryChange(const RegistryChange&) = delete;
  RegistryChange& operator=(const RegistryChange&) = delete;
  bool Made() const { return key_ != nullptr; }

 private:
  void Set(const Value& value);
  HKEY key_ = nullptr;
  std::vector<std::pair<bool, Value>> saved_;  // whether it was there, and how
};

// Runs the tests `filter` of this test program in a process of its own, with
// the environment variable `variable` set to `value`. Its exit code, or -1
// when it did not start or did not end within `timeoutMs` (it is then ended).
// With `desktop` ("name,WIDTHxHEIGHT") the process runs on a Wine desktop of
// that size, whose explorer gives no exit code of the tests: they must report
// otherwise.
int RunTestsInChild(const std::string& filter, const std::string& variable,
                    const std::string& value, DWORD timeoutMs = 120000,
                    const std::string& desktop = {});

}  // namespace purga::test
