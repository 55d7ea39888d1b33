#include <gtest/gtest.h>

#include <cstring>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/MatchRules.h"
#include "tests/fake/FakePlatform.h"

namespace purga {
namespace {

class MatchRulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    DeleteSettings.DeleteSmaller = 0;
  }
  void Enable(int i, uint8_t sizeLimited = 0, int32_t threshold = 0) {
    DeleteSettings.Rules[i].Enabled = 1;
    DeleteSettings.Rules[i].SizeLimited = sizeLimited;
    DeleteSettings.Rules[i].ThresholdKB = threshold;
  }
  // The walk's view of a name: extension, upper-cased by the code page.
  int32_t Match(const std::string& name, int32_t kb = 1) {
    return MatchFile(os_.UpperCase(FileExtension(name)), kb);
  }
  test::FakePlatform os_;
};

TEST(SizeKBTest, RoundsUpThousandsAfterSinglePrecision) {
  const struct {
    uint64_t bytes;
    int32_t kb;
  } cases[] = {
      {0, 0},
      {1, 1},
      {1000, 1},
      {1001, 2},
      {49000, 49},
      {49001, 50},
      {50000, 50},
      {16777216, 16778},
      {20000001, 20000},  // single precision drops the odd byte
      {2147483647ull, 2147484},
      {4294967296ull + 1, 4294968},  // beyond 32 bits: the true figure
      {~0ull, INT32_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeKB(c.bytes), c.kb) << c.bytes;
}

TEST_F(MatchRulesTest, SubstringTestsOnUnsplitLists) {
  const struct {
    int category;
    const char* name;
    int32_t expected;
  } cases[] = {
      {0, "page.htm", 1}, {0, "Page.Html", 1}, {0, "a.h", 1},        {0, "a.tm", 1},
      {0, "a.l", 1},      {0, "a.htmx", 0},    {1, "photo.jpeg", 1}, {1, "x. jp", 1},
      {1, "x.g, j", 1},   {5, "clip.rm", 1},   {5, "x.a", 1},        {15, "x.$mv", 1},
      {15, "x.v,c", 1},   {14, "readme", 0},   {14, "readme.", 0},   {13, "a.~bk", 1},
      {13, "a.bk~", 1},   {13, "a.~", 1},      {13, "noext", 0},     {13, "dot.", 0},
      {13, "a~.bak", 0},  {2, "a.tar.gif", 1}, {2, "a.gif.gz", 0},
  };
  for (const auto& c : cases) {
    SetUp();
    DeleteSettings.Rules[15].Enabled = 0;
    Enable(c.category);
    EXPECT_EQ(Match(c.name), c.expected) << c.category << " " << c.name;
  }
}

TEST_F(MatchRulesTest, FirstEnabledCategoryDecidesEvenWhenItsSizeFails) {
  Enable(0, 1, 50);  // *.HTM, at least 50 KB
  Enable(kOtherRule);
  std::strcpy(DeleteSettings.OtherExtension, "htm");
  EXPECT_EQ(Match("a.htm", 10), 0);
  EXPECT_EQ(Match("a.htm", 60), 1);
  EXPECT_EQ(Match("a.htm", 50), 1);
  DeleteSettings.DeleteSmaller = 1;
  EXPECT_EQ(Match("a.htm", 50), 0);
  EXPECT_EQ(Match("a.htm", 49), 1);
}

TEST_F(MatchRulesTest, EarlierCategoriesWinOverLaterOnes) {
  Enable(9);  // *.MP3
  EXPECT_EQ(Match("a.mp"), 1);
  Enable(7, 1, 99999);  // *.MPG decides first, and its size test fails
  EXPECT_EQ(Match("a.mp"), 0);
  EXPECT_EQ(Match("a.mp3"), 1);
}

TEST_F(MatchRulesTest, OtherExtensionIsUpperCasedByAsciiOnly) {
  Enable(kOtherRule);
  std::strcpy(DeleteSettings.OtherExtension, "dat");
  for (const char* name : {"x.dat", "x.DA", "x.at", "x.d", "x.a", "x.t"})
    EXPECT_EQ(Match(name), 1) << name;
  EXPECT_EQ(Match("x.data"), 0);
  // An empty extension field never selects anything.
  DeleteSettings.OtherExtension[0] = '\0';
  EXPECT_EQ(Match("x.dat"), 0);
  // All seven bytes without a NUL are used, and never more.
  std::memcpy(DeleteSettings.OtherExtension, "abcdefg", 7);
  DeleteSettings.DeleteEmptyFolders = 'H';
  EXPECT_EQ(Match("x.efg"), 1);
  EXPECT_EQ(Match("x.fgh"), 0);
}

TEST_F(MatchRulesTest, OtherExtensionKeepsItsDoubleByteCharacters) {
  // ッ is 83 62 and ィ 83 42: upper-casing the trail byte 'b' would make a
  // rule typed for ッ select ィ files.
  Enable(kOtherRule);
  std::strcpy(DeleteSettings.OtherExtension, "\x83\x62z");
  const struct {
    const char* name;
    int32_t expected;
  } cases[] = {
      {"x.\x83\x62z", 1}, {"x.\x83\x62Z", 1}, {"x.\x83\x62", 1},
      {"x.\x83\x42z", 0}, {"x.\x83\x42", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Match(c.name), c.expected) << c.name;
}

TEST_F(MatchRulesTest, EarlierCategoriesDecideBeforeTheOtherExtension) {
  // Every fixed category enabled with a size test no file passes: where one
  // of them holds the extension, it decides and the file stays.
  for (int i = 0; i < kCategoryCount; ++i) Enable(i, 1, 99999);
  Enable(kOtherRule);
  std::strcpy(DeleteSettings.OtherExtension, "dat");
  const struct {
    const char* name;
    int32_t expected;
  } cases[] = {
      {"x.dat", 1}, {"x.da", 1}, {"x.at", 1}, {"x.a", 0},  // *.RA
      {"x.d", 0},                                          // *.GID
      {"x.t", 0},                                          // *.HTM
  };
  for (const auto& c : cases) EXPECT_EQ(Match(c.name), c.expected) << c.name;
}

TEST_F(MatchRulesTest, FlagsCountOnlyWhenExactlyOne) {
  for (uint8_t value : {0, 2, 0xFF}) {
    SetUp();
    DeleteSettings.Rules[0].Enabled = value;
    EXPECT_EQ(Match("a.htm"), 0) << int(value);
    DeleteSettings.Rules[0].Enabled = 1;
    DeleteSettings.Rules[0].SizeLimited = value;
    DeleteSettings.Rules[0].ThresholdKB = 1000;
    EXPECT_EQ(Match("a.htm", 1), 1) << int(value);  // size limit not set
    DeleteSettings.Rules[0].SizeLimited = 1;
    DeleteSettings.DeleteSmaller = value;
    EXPECT_EQ(Match("a.htm", 1), 0) << int(value);  // "smaller" not set: at least 1000 KB
  }
}

TEST_F(MatchRulesTest, DoubleByteNamesKeepTheirTrailBytes) {
  Enable(14);  // *.TXT
  // ソ is 83 5C, 表 is 95 5C, 能 is 94 5C: the trail byte is a backslash.
  EXPECT_EQ(FileExtension("\x83\x5c.txt"), ".txt");
  EXPECT_EQ(FileExtension("\x95\x5c"), "");
  // A trail byte equal to "." is never taken for the dot (、 is 81 41, but
  // ．is 81 44; no CP932 trail byte is 0x2E, so test a lone lead byte too).
  EXPECT_EQ(FileExtension("a.\x83"), ".\x83");
  // Upper-casing leaves double-byte characters whole: ａ is 82 81, ｔ is 82 94,
  // and ア (83 41) carries an 'A' trail byte; ポ is 83 7C.
  EXPECT_EQ(os_.UpperCase(".\x83\x61x"), ".\x83\x61X");
  EXPECT_EQ(Match("memo.\x82\x94xt"), 0);
  EXPECT_EQ(Match("\x94\x5c\x97\xcd.Txt"), 1);
}

}  // namespace
}  // namespace purga
