// Conversions between UTF-16 and the program's code page, 932 (Shift-JIS),
// in one place for the platform layer and the window code. The program's
// texts, its settings record and the names it shows are code page 932 bytes
// on every system: these never use the system's code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/AnsiName.h"

namespace purga {

inline constexpr unsigned kProgramCodePage = 932;
// The locale whose casing and comparison the program's texts follow: a
// Japanese system's (LCID 0x0411, ja-JP), whatever the user's language.
inline constexpr unsigned long kProgramLocale = 0x0411;

// The program's own text in UTF-16, for showing it; a byte sequence that is
// no character of code page 932 shows as the code page's default character.
std::wstring ToWide(std::string_view text);
// Nothing when some byte sequence is no character of code page 932: such
// bytes name nothing, and must not be used to reach a file or folder.
std::optional<std::wstring> ToWideExact(std::string_view text);
// Without best-fit mapping; `usedDefault` is set when a character had no
// form and the default character stands in for it. Nothing when the
// conversion fails.
std::optional<std::string> ToAnsiNoBestFit(std::wstring_view wide, bool& usedDefault);
// `wide` in code page 932, exact or not at all (see AnsiName): a character
// that would need best-fit mapping (one outside the code page, or one that
// best fit would turn into a backslash, such as the yen sign U+00A5) makes
// the result inexact.
AnsiName ToAnsiExact(std::wstring_view wide);
// For showing a system text (an error message) in the program's code page:
// a look-alike, or "?", for a character that the code page lacks.
std::string ToAnsiShown(std::wstring_view wide);

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
