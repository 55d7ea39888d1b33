#include "common/AnsiName.h"

namespace purga {

AnsiName ToAnsiExact(const AnsiCodec& codec, std::wstring_view wide) {
  AnsiName name;
  if (wide.empty()) return name;
  bool usedDefault = false;
  std::optional<std::string> text = codec.toAnsi(wide, usedDefault);
  if (!text) {
    name.exact = false;
    return name;
  }
  name.text = std::move(*text);
  name.exact = !usedDefault && codec.toWide(name.text) == wide;
  return name;
}

}  // namespace purga
