// Loads arbitrary bytes as the settings file and runs every category over a
// set of names and sizes: no crash, no sanitizer finding.
#include <cstdint>
#include <cstring>
#include <string>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/MatchRules.h"
#include "settings/SettingsFile.h"
#include "tests/fake/FakePlatform.h"

using namespace purga;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1000) return 0;
  test::FakePlatform os;
  os.AddFile("C:\\windows\\system32\\Purga.in", 0, kAttrArchive,
             std::string(reinterpret_cast<const char*>(data), size));
  std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
  InitSettings();
  SettingsControls controls;
  LoadSettings(controls);
  controls.SettingsToControls();

  static const char* const names[] = {"a.htm",    "B.JPEG",       "c",
                                      "d.",       "e.~bk",        "f.bk~",
                                      "g.tar.gz", "\x83\x5c.txt", "\x95\x5c\x8e\xa6.Mp3",
                                      "h.$mv",    "i.dat",        ".x"};
  static const uint64_t sizes[] = {0,     1,        1000,     1001,         49000,
                                   50000, 16777217, 20000001, 4294967296ull};
  for (const char* name : names)
    for (uint64_t s : sizes) {
      const int32_t r = MatchFile(os.UpperCase(FileExtension(name)), SizeKB(s));
      if (r != 0 && r != 1) __builtin_trap();
    }
  SaveSettings(controls);
  return 0;
}
