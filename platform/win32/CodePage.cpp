#include "platform/win32/CodePage.h"

#include "platform/win32/Win32Api.h"

namespace purga {

std::wstring ToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int ansiLength = static_cast<int>(ansi.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, wide.data(), length);
  return wide;
}

namespace {

std::optional<std::string> Convert(std::wstring_view wide, DWORD flags, BOOL* usedDefault) {
  const int wideLength = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string text(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, text.data(), length, nullptr,
                        usedDefault);
  return text;
}

}  // namespace

std::string ToAnsi(std::wstring_view wide) {
  if (wide.empty()) return {};
  return Convert(wide, 0, nullptr).value_or(std::string());
}

std::optional<std::string> ToAnsiNoBestFit(std::wstring_view wide, bool& usedDefault) {
  BOOL defaulted = FALSE;
  auto text = Convert(wide, WC_NO_BEST_FIT_CHARS, &defaulted);
  usedDefault = defaulted != FALSE;
  return text;
}

}  // namespace purga
