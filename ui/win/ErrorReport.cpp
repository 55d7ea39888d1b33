// The general error report and the program's message boxes.
#include "ui/win/ErrorReport.h"

#include <exception>

#include "platform/win32/CodePage.h"
#include "ui/model/ErrorText.h"

namespace purga::win {

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  return MessageBoxW(owner, ToWide(text).c_str(), ToWide(caption).c_str(), flags);
}

void ShowErrorReport(HWND owner, const std::string& message) {
  ShowMessageBox(owner, ErrorReportText(message), kErrorReportCaption, MB_OK | MB_ICONSTOP);
}

bool RunReported(HWND owner, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    ShowErrorReport(owner, error.what());
  } catch (...) {
    // Nothing may unwind through the window procedures.
    ShowErrorReport(owner, "予期しないエラーが発生しました");
  }
  return false;
}

}  // namespace purga::win
