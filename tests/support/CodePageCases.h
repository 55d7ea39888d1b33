// Code page 932 cases that the fake and the real platform must agree on: the
// lead-byte test and the upper-casing of names. The Windows tests run them
// through the Win32 calls under Wine, the native tests through the fake.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace purga::test {

struct LeadByteCase {
  uint8_t byte;
  bool lead;
};

inline constexpr LeadByteCase kLeadByteCases[] = {
    {0x00, false}, {0x41, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
    {0x83, true},  {0x9F, true},  {0xA0, false}, {0xB1, false}, {0xDF, false}, {0xE0, true},
    {0xEF, true},  {0xFC, true},  {0xFD, false}, {0xFF, false},
};

struct UpperCaseCase {
  const char* text;
  const char* upper;
};

inline constexpr UpperCaseCase kUpperCaseCases[] = {
    {"readme.txt", "README.TXT"},
    {".htm", ".HTM"},
    {"", ""},
    // ソ表能: trail bytes 0x5C stay.
    {"\x83\x5c\x95\x5c\x94\x5c.txt", "\x83\x5c\x95\x5c\x94\x5c.TXT"},
    // ヂ (83 61) and ア (83 41) carry an ASCII letter as trail byte.
    {"\x83\x61\x83\x41.a", "\x83\x61\x83\x41.A"},
    // Full-width letters are letters too: ａｔｚ -> ＡＴＺ.
    {"\x82\x81\x82\x94\x82\x9a.x", "\x82\x60\x82\x73\x82\x79.X"},
    // Greek α and Cyrillic а, я.
    {"\x83\xbf\x84\x70\x84\x91", "\x83\x9f\x84\x40\x84\x60"},
    // Hiragana あ, half-width katakana ｱﾟ, a full-width capital Ａ.
    {"\x82\xa0x\xb1\xdf\x82\x60", "\x82\xa0X\xb1\xdf\x82\x60"},
    // A lead byte at the very end stands alone.
    {"ab\x83", "AB\x83"},
};

}  // namespace purga::test
