// The fuzz targets' reference walk: a text cut into characters by the code
// page's lead-byte table, written out plainly instead of with the program's
// own helpers, which it checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace purga::test {

struct Character {
  size_t start, size;
};

// A lead byte takes the next byte with it; a lead byte at the very end
// stands alone.
inline std::vector<Character> Characters(const std::string& text) {
  std::vector<Character> characters;
  for (size_t i = 0; i < text.size();) {
    const bool pair = Os().IsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size();
    characters.push_back({i, pair ? 2u : 1u});
    i += pair ? 2 : 1;
  }
  return characters;
}

}  // namespace purga::test
