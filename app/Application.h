// The application window: a hidden owner of the program's windows that
// carries the application title "Purgator" and the icon. The task bar shows
// it, so the button reads "Purgator" while the launcher's own caption reads
// "StartForm"; the windows it owns get no task-bar button of their own.
#pragma once

#include <string>

#include "platform/win32/Win32Api.h"

namespace purga::win {

class Application {
 public:
  // Also readies COM and the common controls for the user-interface thread.
  Application(const std::string& title, HICON icon);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  HWND Handle() const { return hwnd_; }
  // The main window: a close asked through the task-bar button goes to it,
  // and it is activated when the task-bar button is pressed.
  void SetMainWindow(HWND main) { main_ = main; }
  // Makes `form` a window owned by the application window.
  void Own(HWND form) const;
  // Runs the message loop until the main window has asked the program to end.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  HWND main_ = nullptr;
};

}  // namespace purga::win
