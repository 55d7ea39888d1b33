#include <gtest/gtest.h>

#include <cstring>

#include "settings/SettingsControls.h"
#include "tests/fake/FakePlatform.h"

namespace purga {
namespace {

TEST(SettingsControlsTest, BuildingTheControlsWritesNothingIntoTheRecord) {
  test::FakePlatform os;
  DeleteSettingsRecord record;
  std::memset(&record, 0xA5, sizeof record);
  DeleteSettingsRecord before = record;
  SettingsControls controls(record);
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
  // Every spin edit shows a number from the start.
  for (const CategoryControls& c : controls.categories) EXPECT_EQ(c.spin.Text(), "1");
}

// Edit5 admits five typed characters but shows a loaded extension whole (up
// to the field's seven bytes).
TEST(SettingsControlsTest, TypingStopsAtTheLimitWhileALoadedTextStaysWhole) {
  const struct {
    const char* before;  // set from code
    const char* typed;
    const char* kept;
  } cases[] = {
      {"", "abc", "abc"},
      {"", "abcdef", "abcde"},
      {"", "ab漢字", "ab漢"},              // a double-byte character is never split
      {"ABCDEFG", "ABCDEF", "ABCDEF"},     // shortened
      {"ABCDEFG", "ABCDEFGH", "ABCDEFG"},  // never past the loaded length
      {"ABCDEF", "ABCDEFG", "ABCDEF"},
  };
  test::FakePlatform os;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    DeleteSettingsRecord record{};
    SettingsControls controls(record);
    controls.otherExtension.SetText(c.before);
    EXPECT_EQ(controls.otherExtension.Text(), c.before);
    controls.otherExtension.Typed(c.typed);
    EXPECT_EQ(controls.otherExtension.Text(), c.kept);
  }
  DeleteSettingsRecord record{};
  SettingsControls controls(record);
  controls.otherExtension.SetText("ABCDEFGH");
  EXPECT_EQ(controls.otherExtension.Text(), "ABCDEFG");
}

}  // namespace
}  // namespace purga
