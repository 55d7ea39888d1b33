#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fake/FakePlatform.h"
#include "ui/model/FolderSelectModel.h"

namespace purga {
namespace {

constexpr char kNotSelectable[] = "選択できないフォルダーです。";

class FolderSelectModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os_.AddFolder("C:\\work");
    os_.AddFolder("C:\\data\\photos");
    os_.currentDirectory = "C:\\work";
    prompts_.inform = [this](const std::string& text, const std::string& caption) {
      boxes_.push_back(text + "|" + caption);
    };
    prompts_.confirm = [this](const std::string& text, const std::string& caption) {
      boxes_.push_back(text + "|" + caption);
      return answerOk_;
    };
    model_.StartShowing();
  }
  bool Select(const std::string& path, bool exact = true) {
    model_.SelectionChanged(path, exact);
    os_.ClearLog();
    return model_.Set(prompts_);
  }
  std::vector<std::string> CurrentDirectoryCalls() const {
    std::vector<std::string> calls;
    for (const auto& line : os_.Log())
      if (line.rfind("SetCurrentDirectory ", 0) == 0) calls.push_back(line.substr(20));
    return calls;
  }

  test::FakePlatform os_;
  FolderSelectModel model_;
  FolderSelectPrompts prompts_;
  std::vector<std::string> boxes_;
  bool answerOk_ = true;
};

TEST_F(FolderSelectModelTest, EmptyPathTellsAndCloses) {
  EXPECT_TRUE(Select(""));
  EXPECT_EQ(model_.FolderSet, 0);
  EXPECT_EQ(boxes_, std::vector<std::string>{"フォルダーの指示が間違い|確認"});
  EXPECT_TRUE(os_.Log().empty());
}

TEST_F(FolderSelectModelTest, OnlyRemovableFixedAndRamDrivesPass) {
  os_.AddFolder("D:\\data");
  for (uint32_t type = 0; type <= 6; ++type) {
    SCOPED_TRACE(type);
    os_.driveTypes["D:"] = type;
    boxes_.clear();
    model_.StartShowing();
    const bool selectable = type == 2 || type == 3 || type == 6;
    EXPECT_EQ(Select("D:\\data"), selectable);
    EXPECT_EQ(model_.FolderSet, selectable ? 1 : 0);
    if (selectable) {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_EQ(CurrentDirectoryCalls(), (std::vector<std::string>{"D:", "\\data", "C:\\work"}));
    } else {
      EXPECT_EQ(boxes_, std::vector<std::string>{std::string(kNotSelectable) + "|確認"});
      EXPECT_TRUE(CurrentDirectoryCalls().empty());
    }
  }
}

TEST_F(FolderSelectModelTest, VirtualAndNetworkPathsAreRefused) {
  // The fake knows no drive "::" or "\\": both report no root folder.
  for (const char* path : {"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "\\\\server\\share\\dir"}) {
    SCOPED_TRACE(path);
    boxes_.clear();
    EXPECT_FALSE(Select(path));
    EXPECT_EQ(model_.FolderSet, 0);
    EXPECT_EQ(boxes_, std::vector<std::string>{std::string(kNotSelectable) + "|確認"});
  }
}

TEST_F(FolderSelectModelTest, FolderThatCannotBeEnteredThrowsAndRestoresCurrentDirectory) {
  try {
    Select("C:\\gone");
    FAIL() << "no error";
  } catch (const FolderEntryError& error) {
    EXPECT_STREQ(error.what(), "指定されたパスが見つかりません。");
  }
  EXPECT_EQ(model_.FolderSet, 0);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(os_.currentDirectory, "C:\\work");
  EXPECT_EQ(CurrentDirectoryCalls(), (std::vector<std::string>{"C:", "\\gone", "C:\\work"}));
}

TEST_F(FolderSelectModelTest, AcceptedFolderLeavesCurrentDirectoryAsItWas) {
  EXPECT_TRUE(Select("C:\\data\\photos"));
  EXPECT_EQ(model_.FolderSet, 1);
  EXPECT_EQ(model_.FolderPath, "C:\\data\\photos");
  EXPECT_EQ(os_.currentDirectory, "C:\\work");
  EXPECT_EQ(CurrentDirectoryCalls(),
            (std::vector<std::string>{"C:", "\\data\\photos", "C:\\work"}));
}

TEST_F(FolderSelectModelTest, DriveRootAsksFirst) {
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok);
    answerOk_ = ok;
    boxes_.clear();
    model_.StartShowing();
    EXPECT_EQ(Select("C:\\"), ok);
    EXPECT_EQ(model_.FolderSet, ok ? 1 : 0);
    EXPECT_EQ(boxes_, std::vector<std::string>{
                          "この選択で良いですか？|ルートディレクトリーを選択しました。"});
    EXPECT_EQ(os_.currentDirectory, "C:\\work");
  }
}

TEST_F(FolderSelectModelTest, NameWithoutExactFormIsRefusedUntouched) {
  // The tree's lossy form of a name it could not convert.
  os_.AddFolder("C:\\data\\a?b");
  EXPECT_FALSE(Select("C:\\data\\a?b", false));
  EXPECT_EQ(model_.FolderSet, 0);
  EXPECT_EQ(boxes_, std::vector<std::string>{std::string(kNotSelectable) + "|確認"});
  EXPECT_TRUE(os_.Log().empty());
  // The next exact selection is judged on its own.
  boxes_.clear();
  EXPECT_TRUE(Select("C:\\data\\photos"));
  EXPECT_EQ(model_.FolderSet, 1);
}

TEST_F(FolderSelectModelTest, PathMustFitTheSettingsRecord) {
  const std::string base = "C:\\data\\";
  const std::string fits = base + std::string(kMaxFolderPathBytes - base.size(), 'x');
  const std::string tooLong = fits + "y";
  os_.AddFolder(fits);
  os_.AddFolder(tooLong);
  EXPECT_TRUE(Select(fits));
  EXPECT_EQ(model_.FolderSet, 1);
  model_.StartShowing();
  EXPECT_FALSE(Select(tooLong));
  EXPECT_EQ(model_.FolderSet, 0);
  EXPECT_EQ(boxes_, std::vector<std::string>{std::string(kNotSelectable) + "|確認"});
}

TEST_F(FolderSelectModelTest, ShowAndCancelClearTheResult) {
  EXPECT_TRUE(Select("C:\\data"));
  ASSERT_EQ(model_.FolderSet, 1);
  EXPECT_EQ(model_.StartShowing(), "C:\\data");  // the path carries over
  EXPECT_EQ(model_.FolderSet, 0);
  EXPECT_TRUE(Select("C:\\data"));
  EXPECT_TRUE(model_.Cancel());
  EXPECT_EQ(model_.FolderSet, 0);
}

TEST(SplitPatternTest, DriveDirectoryAndFile) {
  const struct {
    const char* pattern;
    const char* drive;
    const char* directory;
    const char* file;
  } cases[] = {
      {"C:\\\\*.*", "C:", "\\", "*.*"},  // a drive root: the first backslash
      {"C:\\data\\*.*", "C:", "\\data", "*.*"},
      {"C:\\data\\photos\\*.*", "C:", "\\data\\photos", "*.*"},
      // 表 ends in the byte of a backslash.
      {"C:\\表\\*.*", "C:", "\\表", "*.*"},
      {"C:\\a\\表\\*.*", "C:", "\\a\\表", "*.*"},
      {"\\\\server\\share\\*.*", "", "\\\\server\\share", "*.*"},
  };
  test::FakePlatform os;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const PatternParts parts = SplitPattern(c.pattern);
    EXPECT_EQ(parts.drive, c.drive);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.file, c.file);
  }
}

TEST_F(FolderSelectModelTest, FolderWhoseNameEndsInBackslashByte) {
  os_.AddFolder("C:\\表");
  EXPECT_TRUE(Select("C:\\表"));
  EXPECT_EQ(model_.FolderSet, 1);
  EXPECT_TRUE(boxes_.empty());  // not mistaken for a drive root
}

}  // namespace
}  // namespace purga
