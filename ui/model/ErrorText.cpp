#include "ui/model/ErrorText.h"

#include "common/commFunc.h"

namespace purga {

std::string ErrorReportText(const std::string& message) {
  const std::string_view ideographicStop = "。";
  const size_t n = message.size();
  if (n >= 1 && message.back() == '.' && StartsCharacter(message, n - 1)) return message;
  if (n >= ideographicStop.size() && message.ends_with(ideographicStop) &&
      StartsCharacter(message, n - ideographicStop.size()))
    return message;
  return message + ".";
}

}  // namespace purga
