// Feeds arbitrary bytes, as a name or path read from the disk, to the
// program's byte-level name routines and compares each answer with a plain
// character-by-character walk written here with the same lead-byte table.
// The same bytes, read as UTF-16 code units, are a shell name for the step to
// an exact ANSI path, with code page 932 from iconv standing in for the
// platform's conversions (glibc, like a best-fit table, turns the yen sign
// into a backslash without saying so).
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/AnsiName.h"
#include "common/commFunc.h"
#include "engine/DeleteF.h"
#include "tests/fake/FakePlatform.h"
#include "tests/fuzz/Characters.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace purga;

namespace {

// --- the reference walk ---

using test::Character;
using test::Characters;

bool IsSingle(const std::string& text, const Character& c, std::string_view bytes) {
  return c.size == 1 && bytes.find(text[c.start]) != std::string_view::npos;
}

size_t LastSingle(const std::string& text, const std::vector<Character>& characters,
                  std::string_view bytes) {
  for (size_t k = characters.size(); k-- > 0;)
    if (IsSingle(text, characters[k], bytes)) return characters[k].start;
  return std::string::npos;
}

// The folder part: up to the last "\" or ":", without that last backslash
// unless the character before it is a colon or another backslash, or there
// is none (the root).
std::string FolderPartReference(const std::string& path) {
  const std::vector<Character> characters = Characters(path);
  for (size_t k = characters.size(); k-- > 0;) {
    if (!IsSingle(path, characters[k], "\\:")) continue;
    const size_t cut = characters[k].start;
    const bool keep = path[cut] == ':' || k == 0 || IsSingle(path, characters[k - 1], "\\:");
    return path.substr(0, keep ? cut + 1 : cut);
  }
  return "";
}

// --- code page 932 through iconv, in the platform's manner ---

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    FUZZ_CHECK(cd_ != reinterpret_cast<iconv_t>(-1));
  }
  // Converts `in`; an input unit that has no form gives `fallback` and is
  // skipped (`unit` bytes), and sets `failed`.
  std::string Convert(std::string in, size_t unit, const std::string& fallback,
                      bool& failed) const {
    std::string out;
    char* src = in.data();
    size_t left = in.size();
    char buffer[256];
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof buffer;
      const size_t done = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) {
        out += fallback;
        failed = true;
        const size_t skip = left < unit ? left : unit;
        src += skip;
        left -= skip;
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::string Utf16Bytes(std::wstring_view wide) {
  std::string bytes;
  for (wchar_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

const Iconv& ToCp932() {
  static const Iconv codec("CP932", "UTF-16LE");
  return codec;
}

std::optional<std::string> IconvToAnsi(std::wstring_view wide, bool& usedDefault) {
  return ToCp932().Convert(Utf16Bytes(wide), 2, "?", usedDefault);
}

std::wstring IconvToWide(std::string_view ansi) {
  static const Iconv codec("UTF-16LE", "CP932");
  bool failed = false;
  const std::string bytes = codec.Convert(std::string(ansi), 1, "\xFB\x30", failed);  // ・
  std::wstring wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1])
                                                                      << 8);
  return wide;
}

// One UTF-16 unit alone in the code page, or nothing when it has no exact
// form there (no form at all, or one that reads back as another character).
// Worked out once per unit: it depends on nothing else.
const std::optional<std::string>& ExactForm(wchar_t unit) {
  struct Form {
    bool known = false;
    std::optional<std::string> ansi;
  };
  static std::vector<Form> forms(0x10000);
  Form& form = forms[static_cast<size_t>(unit)];
  if (!form.known) {
    bool failed = false;
    const std::string ansi = ToCp932().Convert(Utf16Bytes({&unit, 1}), 2, "?", failed);
    if (!failed && IconvToWide(ansi) == std::wstring(1, unit)) form.ansi = ansi;
    form.known = true;
  }
  return form.ansi;
}

// --- the checks ---

void CheckSeparatorSearch(const std::string& text, const std::vector<Character>& characters) {
  // The sets the program searches for, and one with a lead byte in it.
  for (std::string_view set : {"\\", ".", "\\:", "\\/:*?<>\"|", "\\\x83"})
    FUZZ_CHECK(FindLastSeparator(text, set) == LastSingle(text, characters, set));
  // Every position near either end (each call walks from the start).
  std::vector<bool> starts(text.size() + 2, false);
  for (const Character& c : characters) starts[c.start] = true;
  for (size_t pos = 0; pos < starts.size(); ++pos) {
    if (pos == 8 && starts.size() > 16) pos = starts.size() - 8;
    FUZZ_CHECK(StartsCharacter(text, pos) == starts[pos]);
  }
}

void CheckNameParts(const std::string& text, const std::vector<Character>& characters) {
  const size_t dot = LastSingle(text, characters, ".");
  FUZZ_CHECK(FileExtension(text) == (dot == std::string::npos ? "" : text.substr(dot)));

  const std::string folder = FolderPartReference(text);
  FUZZ_CHECK(FolderPart(text) == folder);
  const std::vector<Character> folderCharacters = Characters(folder);
  size_t drive = 0;
  for (size_t k = 0; k < folderCharacters.size() && k < 2; ++k) drive += folderCharacters[k].size;
  FUZZ_CHECK(DrivePart(text) == folder.substr(0, drive));
}

void CheckUpperCasing(test::FakePlatform& os, const std::string& text,
                      const std::vector<Character>& characters) {
  // The other extension's upper-casing: ASCII letters of single-byte
  // characters, nothing else.
  std::string ascii = text;
  for (const Character& c : characters)
    if (c.size == 1 && ascii[c.start] >= 'a' && ascii[c.start] <= 'z') ascii[c.start] -= 'a' - 'A';
  FUZZ_CHECK(AsciiUpperCase(text) == ascii);

  // The fake's stand-in for the platform's upper-casing, on which the native
  // tests rely: the same characters at the same places, single-byte ones
  // upper-cased as above, double-byte ones staying double-byte.
  const std::string upper = os.UpperCase(text);
  FUZZ_CHECK(upper.size() == text.size());
  const std::vector<Character> upperCharacters = Characters(upper);
  FUZZ_CHECK(upperCharacters.size() == characters.size());
  for (size_t k = 0; k < characters.size(); ++k) {
    const Character& c = characters[k];
    FUZZ_CHECK(upperCharacters[k].start == c.start && upperCharacters[k].size == c.size);
    if (c.size == 1) FUZZ_CHECK(upper[c.start] == ascii[c.start]);
  }
}

void CheckExtension(test::FakePlatform& os, const std::string& name) {
  // A name that the code page holds exactly is matched by the same extension
  // whether it is taken from its code-page bytes, as the walk takes it when
  // it has them, or from its UTF-16 form.
  bool exact = false;
  const std::u16string wide = os.ToWide(name);
  if (os.ToAnsi(wide, exact) != name || !exact) return;
  const auto extension = MatchedExtension(wide);
  FUZZ_CHECK(extension.has_value());
  FUZZ_CHECK(extension == MatchedExtension(wide, &name));
}

void CheckExactName(const uint8_t* data, size_t size) {
  std::wstring wide;
  for (size_t i = 0; i + 1 < size; i += 2) wide += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  const AnsiName name = ToAnsiExact({IconvToAnsi, IconvToWide}, wide);

  // Exact when, and only when, every character alone has an exact form; the
  // text is then those forms, one character each by the lead-byte table.
  bool exact = true;
  std::string forms;
  for (wchar_t unit : wide) {
    const std::optional<std::string>& form = ExactForm(unit);
    if (!form) {
      exact = false;
      break;
    }
    forms += *form;
  }
  FUZZ_CHECK(name.exact == exact);
  if (!exact) return;
  FUZZ_CHECK(name.text == forms);
  const std::vector<Character> characters = Characters(name.text);
  FUZZ_CHECK(characters.size() == wide.size());
  for (size_t k = 0; k < characters.size(); ++k)
    FUZZ_CHECK(name.text.compare(characters[k].start, characters[k].size, *ExactForm(wide[k])) ==
               0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The fake keeps no state for these calls: one serves every input.
  static test::FakePlatform os;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<Character> characters = Characters(text);
  CheckSeparatorSearch(text, characters);
  CheckNameParts(text, characters);
  CheckUpperCasing(os, text, characters);
  CheckExtension(os, text);
  CheckExactName(data, size);
  return 0;
}
