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

}  // namespace
}  // namespace purga
