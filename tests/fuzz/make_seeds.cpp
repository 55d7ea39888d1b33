// Writes the seed inputs of the fuzz targets that are made rather than found:
//   fuzz_seeds tests/fuzz/corpus
// writes settings/*.in and names/*.name there. Inputs that a fuzz run found
// are added to the same folders by hand, under names that say what they hold.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/SettingsBytes.h"

using namespace purga::test;

namespace {

struct Seed {
  const char* name;
  std::string bytes;
};

std::string SetRules(std::string record, uint8_t enabled, uint8_t sizeLimited,
                     const std::vector<int32_t>& thresholds) {
  for (size_t i = 0; i < 17; ++i) {
    record[8 * i] = static_cast<char>(enabled);
    record[8 * i + 1] = static_cast<char>(sizeLimited);
    PutInt32(record, 8 * i + 4, thresholds[i % thresholds.size()]);
  }
  return record;
}

std::string PutText(std::string record, size_t offset, const std::string& text) {
  record.replace(offset, text.size(), text);
  return record;
}

std::vector<Seed> SettingsSeeds() {
  const std::string defaults = ExpectedDefaultRecord();
  const std::string tails = RecordWithReservedBytes();
  std::string allRules = SetRules(defaults, 1, 1, {1, 30, 50, 99999, 3000, 200});
  allRules = PutText(allRules, 0x098, std::string("dat\0", 4));
  allRules = PutText(allRules, 0x0A2, std::string("C:\\Data\\\x83\x5c\0", 11));
  const std::vector<int32_t> extremes = {INT32_MIN, -1, 0, 1, 99999, 100000, INT32_MAX};
  std::string oddFlags = SetRules(defaults, 2, 0xFF, {50});
  for (size_t flag : {0x09F, 0x0A0, 0x0A1, 0x1E8, 0x1E9, 0x1EA, 0x1EB})
    oddFlags[flag] = static_cast<char>(flag % 2 != 0 ? 0x80 : 2);
  // Seven bytes of extension and 256 of folder, none of them NUL; a
  // double-byte character (ア, 83 41) across Edit5's five-byte limit.
  std::string noNul = PutText(SetRules(tails, 1, 0, {5}), 0x098, "abcd\x83\x41g");
  noNul = PutText(noNul, 0x0A2, "C:\\" + std::string(253, 'x'));
  std::string justFits = PutText(tails, 0x0A2, "D:\\" + std::string(252, 'y') + '\0');
  return {
      {"empty.in", ""},
      {"default.in", defaults},
      {"all-rules-size-limited.in", allRules},
      {"extreme-thresholds.in", SetRules(defaults, 1, 1, extremes)},
      {"odd-flag-bytes.in", oddFlags},
      {"text-tails-and-reserved-bytes.in", tails},
      {"texts-without-nul.in", noNul},
      {"folder-of-255-bytes.in", justFits},
      {"491-bytes.in", tails.substr(0, 491)},
      {"600-bytes.in", tails + "x.dat" + std::string(103, '\xEE')},
  };
}

std::vector<Seed> NameSeeds() {
  return {
      {"plain.name", "C:\\Temp\\Page.Html"},
      // ソ表能 end in 0x5C; ヂ (83 61) and ア (83 41) carry letters.
      {"trail-backslashes.name", "C:\\\x83\x5c\\\x95\x5c\x94\x5c.txt"},
      {"trail-letters.name", "\x83\x61\x83\x41.\x83\x61z"},
      {"full-width-letters.name", "\x82\x81\x82\x94.\x83\xbf\x84\x70"},
      {"lone-lead-byte.name", "dir\\a.b\x83"},
      {"root-and-share.name", "\\\\server\\share\\C:\\\\x"},
      {"leading-backslash.name", "\\Temp"},
      {"not-faithful.name", "a?b*c:d/e.  ."},
      // UTF-16LE: ¥ (A5 00), a lone surrogate, カ (AB 30), a pair.
      {"wide-units.name", std::string("\xa5\x00\x00\xd8\xab\x30\x3d\xd8\x00\xde", 10)},
  };
}

bool Write(const std::string& folder, const std::vector<Seed>& seeds) {
  for (const Seed& seed : seeds) {
    std::ofstream out(folder + "/" + seed.name, std::ios::binary);
    out.write(seed.bytes.data(), static_cast<std::streamsize>(seed.bytes.size()));
    if (!out) {
      std::cerr << "cannot write " << folder << "/" << seed.name << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds <corpus folder holding settings/ and names/>\n";
    return 2;
  }
  const std::string root = argv[1];
  return Write(root + "/settings", SettingsSeeds()) && Write(root + "/names", NameSeeds()) ? 0 : 1;
}
