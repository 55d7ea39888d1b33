#include <gtest/gtest.h>

#include "common/commFunc.h"
#include "tests/fake/FakePlatform.h"

namespace purga {
namespace {

// Double-byte characters whose trail byte is a backslash.
#define SO "\x83\x5c"   // ソ
#define HYO "\x95\x5c"  // 表
#define NO "\x94\x5c"   // 能

TEST(GetDriveFreeKBTest, LetterChoosesTheRootQueried) {
  const struct {
    const char* letter;
    const char* root;
  } cases[] = {
      {"e", "E:\\"},
      {"E", "E:\\"},
      {"a", "A:\\"},
      {"D", "D:\\"},
      {"u", "U:\\"},
      {"U", "U:\\"},
      // Outside the table of 21 letters: the current drive.
      {"V", ""},
      {"z", ""},
      {"Z", ""},
      {"\\", ""},
      {"", ""},
      {"1", ""},
      {"\x83", ""},
  };
  for (const auto& c : cases) {
    test::FakePlatform os;
    os.freeBytes[c.root] = 10 * 1024;
    os.ClearLog();
    EXPECT_EQ(GetDriveFreeKB(c.letter), 10) << c.letter;
    EXPECT_EQ(os.Log(), std::vector<std::string>{std::string("GetDiskFreeBytes ") + c.root})
        << c.letter;
  }
}

TEST(GetDriveFreeKBTest, BytesBecomeWholeKilobytesOf1024) {
  const struct {
    uint64_t bytes;
    int64_t kb;
  } cases[] = {
      {0, 0},
      {1023, 0},
      {1024, 1},
      {1048575, 1023},
      {1048576, 1024},
      {2147483647ull * 1024, 2147483647},
      // Beyond 32 bits: the true figure, not its low half.
      {2147483648ull * 1024, 2147483648},
      {4294967296ull * 1024 + 1023, 4294967296},
      {16ull << 40, 16ll << 30},  // a 16 TB drive
      {~0ull, static_cast<int64_t>(~0ull / 1024)},
  };
  for (const auto& c : cases) {
    test::FakePlatform os;
    os.freeBytes["C:\\"] = c.bytes;
    EXPECT_EQ(GetDriveFreeKB("C"), c.kb) << c.bytes;
  }
}

TEST(GetDriveFreeKBTest, FailedQueryGivesZero) {
  test::FakePlatform os;
  os.freeBytes.erase("Q:\\");
  EXPECT_EQ(GetDriveFreeKB("Q"), 0);
}

TEST(FolderPartTest, CutsAtTheLastSeparatorThatIsNotATrailByte) {
  const struct {
    const char* path;
    const char* folder;
    const char* root;  // what GetDriveType is asked about
  } cases[] = {
      {"C:\\Temp\\a.txt", "C:\\Temp", "C:"},
      {"C:\\a.txt", "C:\\", "C:"},
      {"C:\\", "C:\\", "C:"},
      {"C:", "C:", "C:"},
      {"C:a.txt", "C:", "C:"},
      {"a.txt", "", ""},
      {"\\\\server\\share\\a.txt", "\\\\server\\share", "\\\\"},
      {"\\\\server", "\\\\", "\\\\"},
      {"C:\\Temp\\", "C:\\Temp", "C:"},
      // Trail bytes 0x5C inside folder and file names.
      {"C:\\" SO "\\a.txt", "C:\\" SO, "C:"},
      {"C:\\dir\\" HYO, "C:\\dir", "C:"},
      {"C:\\" NO, "C:\\", "C:"},
      {"C:\\" SO HYO "\\" NO ".txt", "C:\\" SO HYO, "C:"},
      {HYO, "", ""},
      {SO "\\" NO, SO, SO},
      // Two characters, never one and a half.
      {"a" SO "\\x", "a" SO, "a" SO},
      {"\\x", "\\", "\\"},
  };
  for (const auto& c : cases) {
    test::FakePlatform os;
    EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
    os.ClearLog();
    GetPathDriveType(c.path);
    EXPECT_EQ(os.Log(), std::vector<std::string>{std::string("GetDriveType ") + c.root}) << c.path;
  }
}

TEST(FolderPartTest, DriveTypeIsThePlatformsCode) {
  test::FakePlatform os;
  os.driveTypes["D:"] = 5;
  for (const char* path : {"C:\\Temp\\a.txt", "C:\\", "C:"}) EXPECT_EQ(GetPathDriveType(path), 3u);
  EXPECT_EQ(GetPathDriveType("D:\\setup.exe"), 5u);
  EXPECT_EQ(GetPathDriveType("Q:\\x"), 1u);
}

TEST(GetExeFolderTest, KeepsTheTrailingSeparator) {
  const struct {
    std::string module;
    std::string folder;
  } cases[] = {
      {"C:\\Tools\\app.exe", "C:\\Tools\\"},
      {"C:\\app.exe", "C:\\"},
      {"C:\\" SO "\\app.exe", "C:\\" SO "\\"},
      {"C:\\Tools\\" HYO NO ".exe", "C:\\Tools\\"},
      {"\\\\server\\share\\app.exe", "\\\\server\\share\\"},
      {"app.exe", ""},
      {"", ""},
      {"C:\\" + std::string(40000, 'd') + "\\app.exe", ""},  // longer than any buffer
  };
  for (const auto& c : cases) {
    test::FakePlatform os;
    os.modulePath = c.module;
    EXPECT_EQ(GetExeFolder(), os.ToWide(c.folder)) << c.module.substr(0, 40);
  }
}

TEST(GetSystemFolderTest, OnlyAWholeFolderIsReturned) {
  const std::string longest = "C:\\" + std::string(510, 's');  // 513 characters and the NUL fit
  const struct {
    std::string folder;
    uint32_t result;  // 0: the fake reports the folder's own length
    std::optional<std::string> expected;
  } cases[] = {
      {"C:\\windows\\system32", 0, "C:\\windows\\system32"},
      {"C:\\", 0, "C:\\"},
      {longest, 0, longest},
      {longest + "s", 0, std::nullopt},
      {"", 0, std::nullopt},
      {"C:\\windows\\system32", 514, std::nullopt},
      {"C:\\windows\\system32", 70000, std::nullopt},
  };
  for (const auto& c : cases) {
    test::FakePlatform os;
    os.systemDirectory = c.folder;
    os.systemDirectoryResult = c.result;
    const auto expected = c.expected ? std::optional(os.ToWide(*c.expected)) : std::nullopt;
    EXPECT_EQ(GetSystemFolder(), expected) << c.folder.size() << " " << c.result;
  }
}

TEST(ShiftJisWalkTest, SeparatorsAndCharacterStarts) {
  test::FakePlatform os;
  const std::string path = "C:\\" SO "\\" HYO;
  EXPECT_EQ(FindLastSeparator(path, "\\"), 5u);
  EXPECT_EQ(FindLastSeparator(HYO NO, "\\"), std::string::npos);
  EXPECT_EQ(FindLastSeparator("a\\b:c", "\\:"), 3u);
  EXPECT_TRUE(StartsCharacter(path, 3));
  EXPECT_FALSE(StartsCharacter(path, 4));
  EXPECT_TRUE(StartsCharacter(path, 5));
  EXPECT_FALSE(StartsCharacter(path, path.size()));
}

}  // namespace
}  // namespace purga
