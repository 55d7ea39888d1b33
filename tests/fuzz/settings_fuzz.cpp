// Takes arbitrary bytes as Purga.in and goes the deletion window's way with
// them: created (load, controls filled), Start pressed (save, target taken),
// and the matching rules asked about a set of names. For every input:
//   - the saved file is the loaded record (or, after a failed load, the
//     default path's record) with only the window's own corrections: flags
//     ticked or not, thresholds within the spin edit's range, an over-long
//     folder refused;
//     so a record already in that form comes back byte for byte;
//   - every rule's threshold equals the value its spin edit shows;
//   - MatchFile answers 0 or 1;
//   - a folder longer than 255 bytes is never taken as the target.
// Bytes past the record, which the load ignores, also serve as a file name.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/MatchRules.h"
#include "settings/SettingsFile.h"
#include "tests/fake/FakePlatform.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/SettingsBytes.h"
#include "ui/model/MainCrtModel.h"

using namespace purga;

namespace {

constexpr const char* kPath = "C:\\windows\\system32\\Purga.in";

class NoWindow : public RunWindow {
 public:
  void ShowCaption(RunCaption, const std::string&) override {}
  void ShowProgress(const std::string&) override {}
};

int32_t Int32At(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
  return static_cast<int32_t>(value);
}

// The text field of `size` bytes at `offset`: up to its first NUL.
std::string TextAt(const std::string& record, size_t offset, size_t size) {
  return std::string(&record[offset], strnlen(&record[offset], size));
}

// `record` as the window leaves it once it has shown and stored it.
std::string Corrected(std::string record, Platform& os) {
  auto flag = [&](size_t offset) { record[offset] = record[offset] != 0 ? 1 : 0; };
  for (size_t rule = 0; rule < kRuleCount * 8; rule += 8) {
    flag(rule);
    flag(rule + 1);
    int32_t threshold = Int32At(record, rule + 4);
    threshold = threshold < 1 ? 1 : threshold > 99999 ? 99999 : threshold;
    test::PutInt32(record, rule + 4, threshold);
  }
  for (size_t offset : {0x09F, 0x0A0, 0x0A1, 0x1E8, 0x1E9, 0x1EA, 0x1EB}) flag(offset);
  // The other extension comes back as it was: Edit5 shows the whole field,
  // and only typing stops at five characters.
  // A folder without a NUL in its 256 bytes, or not code page 932 text, is
  // not shown, and an empty one is stored.
  bool exact = false;
  if (std::memchr(&record[0x0A2], 0, 256) != nullptr) os.ToWide(TextAt(record, 0x0A2, 256), exact);
  if (!exact) record[0x0A2] = '\0';
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  test::FakePlatform os;
  os.SetContent(kPath, file);

  std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
  TargetFolder.clear();
  RunGuard.store(0);
  std::string begunWith;
  bool begun = false;
  MainCrtModel window({[](const std::string&, const std::string&, MessageButtons) { return true; },
                       [] { return std::nullopt; },
                       [&](RunWindow&) {
                         begun = true;
                         begunWith = TargetFolder;
                       }});
  // FormCreate, less the executable's folder, which no check here needs.
  InitSettings();
  LoadSettings(window.controls);
  window.controls.SettingsToControls();

  const bool loaded = size >= kSettingsSize;
  const std::string record =
      loaded ? file.substr(0, kSettingsSize) : test::ExpectedAfterFailedRead(file);
  const std::string expected = Corrected(record, os);

  SettingsControls& controls = window.controls;
  for (int i = 0; i < kRuleCount; ++i)
    FUZZ_CHECK(LoadThreshold(DeleteSettings.Rules[i]) == controls.categories[i].spin.Value());

  // Extensions of the fixed categories, the other extension and its parts,
  // and the extension of whatever follows the record, as the walk gives them.
  static const std::vector<std::string> kFixed = {".HTM", ".JPEG", "",     ".",  ".~BK",
                                                  ".BK~", ".GZ",   ".$MV", ".MP"};
  std::vector<std::string> extensions = kFixed;
  const std::string other = LoadText(DeleteSettings.OtherExtension);
  for (size_t cut = 0; cut < other.size(); ++cut)
    extensions.push_back(os.UpperCase("." + other.substr(cut)));
  if (loaded) extensions.push_back(os.UpperCase(FileExtension(file.substr(kSettingsSize))));
  for (size_t i = 0; i < extensions.size(); ++i) {
    // Below or above every threshold the spin edits allow, by turns.
    const int32_t r = MatchFile(extensions[i], i % 2 == 0 ? 0 : 100000);
    FUZZ_CHECK(r == 0 || r == 1);
  }

  NoWindow run;
  window.Start(run);
  FUZZ_CHECK(TargetFolder.size() <= 255);
  FUZZ_CHECK(TargetFolder == TextAt(expected, 0x0A2, 256));
  FUZZ_CHECK(!begun || (!begunWith.empty() && begunWith.size() <= 255));
  FUZZ_CHECK(os.Content(kPath) == expected);
  return 0;
}
