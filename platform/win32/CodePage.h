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

}  // namespace purga
