// Conversions between UTF-16 and the program's code page (CP_ACP), in one
// place for the platform layer and the window code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace purga {

std::wstring ToWide(std::string_view ansi);
// As the ANSI calls convert names: a look-alike (best fit) or "?" for a
// character the code page lacks.
std::string ToAnsi(std::wstring_view wide);
// Without best-fit mapping; `usedDefault` is set when a character had no
// form and the default character stands in for it. Nothing when the
// conversion fails.
std::optional<std::string> ToAnsiNoBestFit(std::wstring_view wide, bool& usedDefault);

// The program's UTF-16 strings are Windows' own wide text, seen as the other
// type.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace purga
