#include <gtest/gtest.h>

#include "common/AnsiName.h"

namespace purga {
namespace {

// A code page of four characters: "a" and "b" as themselves, U+00E9 as the
// default "?", U+00A5 (yen) best-fitted to "\" without a word, and U+FFFF
// failing the whole conversion.
std::optional<std::string> ToAnsi(std::wstring_view wide, bool& usedDefault) {
  std::string text;
  for (wchar_t c : wide) {
    if (c == 0xFFFF) return std::nullopt;
    if (c == 0xE9) usedDefault = true;
    text += c == L'a' || c == L'b' ? static_cast<char>(c) : c == 0xA5 ? '\\' : '?';
  }
  return text;
}

std::wstring ToWide(std::string_view ansi) { return std::wstring(ansi.begin(), ansi.end()); }

TEST(ToAnsiExactTest, ExactOnlyWhenTheTextReadsBackAsTheSameCharacters) {
  const struct {
    std::wstring wide;
    std::string text;
    bool exact;
  } cases[] = {
      {L"", "", true},
      {L"ab", "ab", true},
      {L"a\u00e9", "a?", false},     // no form: the default character
      {L"a\u00a5b", "a\\b", false},  // best fit: a backslash that is none
      {L"a\uffff", "", false},       // the conversion failed
  };
  for (const auto& c : cases) {
    const AnsiName name = ToAnsiExact({ToAnsi, ToWide}, c.wide);
    EXPECT_EQ(name.text, c.text) << c.text;
    EXPECT_EQ(name.exact, c.exact) << c.text;
  }
}

}  // namespace
}  // namespace purga
