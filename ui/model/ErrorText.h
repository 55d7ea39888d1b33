// The text of the program's general error report, without a display.
#pragma once

#include <string>

namespace purga {

// The error's message with a full stop appended, unless it already ends in
// "." or "。".
std::string ErrorReportText(const std::string& message);

// The caption of the general error report.
inline constexpr const char* kErrorReportCaption = "Purgator";

}  // namespace purga
