// The program's general error report: an error that an event handler does
// not catch ends that handler and is shown in a message box; the program then
// goes on with the next event.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/Win32Api.h"

namespace purga::win {

// Runs `handler`. A std::exception (IoError included) or any other exception
// that escapes it is shown as MessageBoxW(owner, text, "Purgator",
// MB_OK | MB_ICONSTOP). True when the handler ran to its end.
bool RunReported(HWND owner, const std::function<void()>& handler);

// Shows the report for one message.
void ShowErrorReport(HWND owner, const std::string& message);

// A message box of Shift-JIS texts; returns the button pressed (IDOK, IDYES...).
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

}  // namespace purga::win
