// The step from a UTF-16 name (as the shell gives it) to the program's ANSI
// text, exact or not at all. The conversions themselves are the platform's;
// the Windows layer passes them in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace purga {

// A name in the program's code page. `exact` is false when some character
// has no form there: the text then names another item, or none, and must not
// be used to reach the item.
struct AnsiName {
  std::string text;
  bool exact = true;
};

// The code page's two conversions.
struct AnsiCodec {
  // `wide` without best-fit mapping; `usedDefault` is set when a character
  // had no form and the default character stands in for it. Nothing when the
  // conversion fails.
  std::optional<std::string> (*toAnsi)(std::wstring_view wide, bool& usedDefault);
  std::wstring (*toWide)(std::string_view ansi);
};

// `wide` in the code page; exact only when the text converts back to the
// very same characters, which also catches a best-fit mapping that the
// conversion made although asked not to (the yen sign U+00A5 becoming a
// backslash, for one).
AnsiName ToAnsiExact(const AnsiCodec& codec, std::wstring_view wide);

}  // namespace purga
