#include "platform/win32/CodePage.h"

#include "platform/win32/Win32Api.h"

namespace purga {

namespace {

std::optional<std::wstring> Decode(std::string_view text, DWORD flags) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int wideLength =
      ::MultiByteToWideChar(kProgramCodePage, flags, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  if (::MultiByteToWideChar(kProgramCodePage, flags, text.data(), length, wide.data(),
                            wideLength) != wideLength)
    return std::nullopt;
  return wide;
}

std::optional<std::string> Encode(std::wstring_view wide, DWORD flags, BOOL* usedDefault) {
  if (wide.empty()) return std::string();
  const int wideLength = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(kProgramCodePage, flags, wide.data(), wideLength,
                                           nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string text(static_cast<size_t>(length), '\0');
  if (::WideCharToMultiByte(kProgramCodePage, flags, wide.data(), wideLength, text.data(), length,
                            nullptr, usedDefault) != length)
    return std::nullopt;
  return text;
}

}  // namespace

std::wstring ToWide(std::string_view text) { return Decode(text, 0).value_or(std::wstring()); }

std::optional<std::wstring> ToWideExact(std::string_view text) {
  return Decode(text, MB_ERR_INVALID_CHARS);
}

std::optional<std::string> ToAnsiNoBestFit(std::wstring_view wide, bool& usedDefault) {
  BOOL defaulted = FALSE;
  auto text = Encode(wide, WC_NO_BEST_FIT_CHARS, &defaulted);
  usedDefault = defaulted != FALSE;
  return text;
}

AnsiName ToAnsiExact(std::wstring_view wide) {
  return ToAnsiExact({ToAnsiNoBestFit, ToWide}, wide);
}

std::string ToAnsiShown(std::wstring_view wide) {
  return Encode(wide, 0, nullptr).value_or(std::string());
}

}  // namespace purga
