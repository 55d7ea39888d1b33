#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/fake/FakePlatform.h"
#include "ui/model/FileUpdateDateTime.h"
#include "ui/model/FileUpdateModel.h"

namespace purga {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kLocalOffset = 9 * 3600;  // the fake's local time minus UTC

// A FILETIME (UTC) whose local time is `when`.
uint64_t UtcOf(const CivilDateTime& when) {
  const double days = EncodeDateTime(when);
  // 1601-01-01 is 109205 days before 1899-12-30.
  const auto seconds = static_cast<int64_t>((days + 109205) * 86400 + 0.5) - kLocalOffset;
  return static_cast<uint64_t>(seconds) * kTicksPerSecond;
}

// Records what the editor shows; its inputs are plain fields.
class FakeView : public FileUpdateView {
 public:
  void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
  void SetListRoot(const std::string& path) override { calls.push_back("root " + path); }
  void SetAddress(const std::string& path) override { calls.push_back("address " + path); }
  bool SelectedItem(std::u16string& path, bool& isFolder) override {
    if (!selected) return false;
    path = *selected;
    isFolder = selectedIsFolder;
    return true;
  }
  void SetPickedFile(const std::string& path) override { calls.push_back("picked " + path); }
  double DateValue() override { return date; }
  double TimeValue() override { return time; }
  void SetDateValue(double value) override {
    date = value;
    calls.push_back("date");
  }
  void SetTimeValue(double value) override {
    time = value;
    calls.push_back("time");
  }
  bool ReadOnlyChecked() override { return readOnly; }
  void SetReadOnlyChecked(bool checked) override {
    readOnly = checked;
    calls.push_back(checked ? "readonly 1" : "readonly 0");
  }
  void RefreshList() override { calls.push_back("refresh"); }

  std::vector<std::string> calls;
  std::optional<std::u16string> selected;
  bool selectedIsFolder = false;
  double date = 0, time = 0;
  bool readOnly = false;
};

class FileUpdateModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.Create();
    SelectedFile = u"stale";
    model_.Create();
    ASSERT_TRUE(SelectedFile.empty());
    SelectedReadOnly = 0;
  }
  // A file with a last-write time given in local time.
  void AddFile(const std::string& path, const CivilDateTime& local, uint32_t attributes) {
    AddFile(os_.ToWide(path), local, attributes);
  }
  void AddFile(const std::u16string& path, const CivilDateTime& local, uint32_t attributes) {
    os_.AddFile(path);
    const FileHandle file = os_.OpenFile(path, OpenMode::WriteExistingShared);
    ASSERT_NE(file, nullptr);
    os_.SetLastWriteTime(file, UtcOf(local));
    os_.CloseFile(file);
    os_.SetFileAttributes(path, attributes);
  }
  uint64_t WriteTime(const std::string& path) { return WriteTime(os_.ToWide(path)); }
  uint64_t WriteTime(const std::u16string& path) {
    FindEntry entry;
    const FindHandle find = os_.FindFirst(path, entry);
    EXPECT_NE(find, nullptr);
    if (find) os_.FindClose(find);
    return entry.lastWriteTime;
  }
  void Pick(const std::string& path) { Pick(os_.ToWide(path)); }
  void Pick(const std::u16string& path) {
    view_.selected = path;
    model_.ListMouseDown();
  }
  void SetPickers(const CivilDateTime& when) {
    view_.date = DatePart(EncodeDateTime(when));
    view_.time = TimePart(EncodeDateTime(when));
  }

  test::FakePlatform os_;
  FakeView view_;
  FileUpdateModel model_{view_};
};

TEST_F(FileUpdateModelTest, TreeSelectionListsOnlyAcceptedFolders) {
  os_.driveTypes["D:"] = 2;
  os_.driveTypes["E:"] = 5;
  os_.driveTypes["F:"] = 6;
  os_.driveTypes["N:"] = 4;
  os_.driveTypes["R:"] = 0;
  const std::vector<std::string> status{"status   "};
  const std::vector<std::string> rejected{"status   ", std::string("status ") + kRejectedDrive};
  const auto listed = [&](const std::string& path) {
    return std::vector<std::string>{"status   ", "root " + path, "address " + path};
  };
  const struct {
    std::string path;
    bool exact;
    std::vector<std::string> calls;
  } cases[] = {
      {"C:\\Users\\me\\Desktop", true, listed("C:\\Users\\me\\Desktop")},
      {"C:\\", true, listed("C:\\")},
      {"D:\\stick", true, listed("D:\\stick")},
      {"E:\\", true, listed("E:\\")},  // a CD-ROM is listed
      {"F:\\ram", true, listed("F:\\ram")},
      {"N:\\share", true, rejected},
      {"R:\\x", true, rejected},
      {"Q:\\nodrive", true, rejected},
      {"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", true, rejected},
      {"\\\\server\\share", true, rejected},
      // "Favorites", case-sensitive, anywhere; nothing else changes.
      {"C:\\Users\\me\\Favorites", true, status},
      {"C:\\Users\\me\\Favorites\\Links", true, status},
      {"N:\\MyFavoritesToo", true, status},
      {"C:\\Users\\me\\favorites", true, listed("C:\\Users\\me\\favorites")},
      {"C:\\FAVORITES", true, listed("C:\\FAVORITES")},
      // The F here is the second byte of a double-byte character.
      {"C:\\\x83"
       "Favorites",
       true,
       listed("C:\\\x83"
              "Favorites")},
      // No exact name: the list keeps its folder, and the status line says so.
      {"C:\\a?b", false, {"status   ", "status 選択できないフォルダーです。"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    view_.calls.clear();
    model_.TreeChanged(c.path, c.exact);
    EXPECT_EQ(view_.calls, c.calls);
  }
}

TEST_F(FileUpdateModelTest, PickLoadsTimeReadOnlyBitAndPanel) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 31}, kAttrArchive | kAttrReadOnly);
  os_.ClearLog();
  Pick("C:\\docs\\a.txt");
  EXPECT_EQ(SelectedFile, u"C:\\docs\\a.txt");
  EXPECT_EQ(SelectedReadOnly, 1);
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"picked C:\\docs\\a.txt", "date", "time", "readonly 1"}));
  const CivilDateTime date = DecodeDateTime(view_.date), time = DecodeDateTime(view_.time);
  EXPECT_EQ(view_.date, DatePart(view_.date));  // the date picker holds midnight
  EXPECT_EQ((std::vector<int>{date.year, date.month, date.day}), (std::vector<int>{2023, 4, 5}));
  // 31 seconds show as 30: the packed form counts two-second steps.
  EXPECT_EQ((std::vector<int>{time.hour, time.minute, time.second}),
            (std::vector<int>{10, 15, 30}));
  EXPECT_LT(view_.time, 1.0);
  EXPECT_EQ(os_.Log(),
            (std::vector<std::string>{"FindFirst C:\\docs\\a.txt", "FindClose C:\\docs\\a.txt"}));
}

TEST_F(FileUpdateModelTest, PressesThatPickNothing) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  Pick("C:\\docs\\a.txt");
  os_.AddFolder("C:\\docs\\sub");
  struct Case {
    const char* name;
    std::optional<std::u16string> selected;
    bool isFolder;
  };
  for (const Case& c :
       {Case{"nothing selected", std::nullopt, false}, Case{"a folder", u"C:\\docs\\sub", true}}) {
    SCOPED_TRACE(c.name);
    view_.calls.clear();
    os_.ClearLog();
    view_.selected = c.selected;
    view_.selectedIsFolder = c.isFolder;
    model_.ListMouseDown();
    EXPECT_EQ(SelectedFile, u"C:\\docs\\a.txt");
    EXPECT_TRUE(view_.calls.empty());
    EXPECT_TRUE(os_.Log().empty());
  }
}

TEST_F(FileUpdateModelTest, ANameTheCodePageLacksIsPickedAndChangedByItself) {
  // "é" has no form in the code page, where best fit would read "e".
  const std::u16string name = u"C:\\docs\\caf\u00e9.txt";
  AddFile(name, {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  AddFile("C:\\docs\\cafe.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  Pick(name);
  EXPECT_EQ(SelectedFile, name);
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"picked C:\\docs\\caf?.txt", "date", "time", "readonly 0"}));
  SetPickers({2020, 2, 2, 2, 2, 2});
  view_.readOnly = true;
  model_.Apply();
  EXPECT_EQ(WriteTime(name), UtcOf({2020, 2, 2, 2, 2, 2}));
  EXPECT_EQ(os_.Attributes(name), kAttrReadOnly);
  EXPECT_EQ(WriteTime("C:\\docs\\cafe.txt"), UtcOf({2023, 4, 5, 10, 15, 30}));
  EXPECT_EQ(os_.Attributes("C:\\docs\\cafe.txt"), kAttrArchive);
}

TEST_F(FileUpdateModelTest, AVanishedFileIsPickedAndChangeTouchesNoOtherFile) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  Pick("C:\\docs\\a.txt");
  view_.calls.clear();
  // Gone since the list showed it.
  Pick("C:\\docs\\gone.txt");
  EXPECT_EQ(SelectedFile, u"C:\\docs\\gone.txt");
  EXPECT_EQ(view_.calls, (std::vector<std::string>{"picked C:\\docs\\gone.txt",
                                                   "status ファイルが見つかりません。"}));
  view_.calls.clear();
  os_.ClearLog();
  SetPickers({2001, 1, 1, 1, 1, 2});
  view_.readOnly = true;
  model_.Apply();
  // Only the attribute step, which fails on the missing file.
  EXPECT_EQ(os_.Log(), std::vector<std::string>{"SetFileAttributes C:\\docs\\gone.txt 1"});
  EXPECT_EQ(WriteTime("C:\\docs\\a.txt"), UtcOf({2023, 4, 5, 10, 15, 30}));
  EXPECT_EQ(os_.Attributes("C:\\docs\\a.txt"), kAttrArchive);
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"status ファイルが見つかりません。", "refresh"}));

  // A good pick afterwards clears the message.
  view_.calls.clear();
  Pick("C:\\docs\\a.txt");
  EXPECT_EQ(view_.calls, (std::vector<std::string>{"picked C:\\docs\\a.txt", "date", "time",
                                                   "status   ", "readonly 0"}));
}

TEST_F(FileUpdateModelTest, TimeOutsidePackedRangeLeavesPickers) {
  // The fake's new files carry the earliest time there is, 1601.
  os_.AddFile("C:\\docs\\old.txt", 1, kAttrArchive | kAttrReadOnly);
  view_.date = 40000;
  view_.time = 0.5;
  Pick("C:\\docs\\old.txt");
  EXPECT_EQ(SelectedFile, u"C:\\docs\\old.txt");
  EXPECT_EQ(view_.calls,
            (std::vector<std::string>{"picked C:\\docs\\old.txt",
                                      std::string("status ") + kDateNotShown, "readonly 1"}));
  EXPECT_EQ(view_.date, 40000);
  EXPECT_EQ(view_.time, 0.5);
}

// The pickers keep the previous file's date when the picked file's has no
// packed form: "変更" must not write that date onto it.
TEST_F(FileUpdateModelTest, ChangeNeverWritesADateTheFileWasNotShownWith) {
  const CivilDateTime shown{2023, 4, 5, 10, 15, 30};
  for (const CivilDateTime& unshowable :
       {CivilDateTime{1975, 6, 1, 12, 0, 0}, CivilDateTime{2110, 1, 1, 0, 0, 0},
        CivilDateTime{1601, 1, 1, 0, 0, 0}}) {
    SCOPED_TRACE(unshowable.year);
    AddFile("C:\\docs\\a.txt", shown, kAttrArchive);
    AddFile("C:\\docs\\b.txt", unshowable, kAttrArchive);
    const uint64_t before = WriteTime("C:\\docs\\b.txt");
    Pick("C:\\docs\\a.txt");
    view_.calls.clear();
    Pick("C:\\docs\\b.txt");
    ASSERT_EQ(SelectedFile, u"C:\\docs\\b.txt");
    EXPECT_EQ(view_.calls,
              (std::vector<std::string>{"picked C:\\docs\\b.txt",
                                        std::string("status ") + kDateNotShown, "readonly 0"}));

    // Only to tick the box: the time stays, the attribute is set.
    view_.calls.clear();
    os_.ClearLog();
    view_.readOnly = true;
    model_.Apply();
    EXPECT_EQ(os_.Log(), std::vector<std::string>{"SetFileAttributes C:\\docs\\b.txt 1"});
    EXPECT_EQ(WriteTime("C:\\docs\\b.txt"), before);
    EXPECT_EQ(os_.Attributes("C:\\docs\\b.txt"), kAttrReadOnly);
    EXPECT_EQ(view_.calls,
              (std::vector<std::string>{std::string("status ") + kDateNotShown, "refresh"}));

    // Once the user sets a picker, "変更" writes what the pickers show.
    view_.calls.clear();
    view_.readOnly = false;
    SetPickers({2012, 12, 12, 12, 12, 12});
    model_.PickerChanged();
    EXPECT_EQ(view_.calls, std::vector<std::string>{"status   "});
    model_.Apply();  // clears read-only first
    model_.Apply();
    EXPECT_EQ(WriteTime("C:\\docs\\b.txt"), UtcOf({2012, 12, 12, 12, 12, 12}));
    EXPECT_EQ(WriteTime("C:\\docs\\a.txt"), UtcOf(shown));
  }
}

TEST_F(FileUpdateModelTest, ChangeBeforeAnyPickDoesNothing) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  os_.ClearLog();
  SetPickers({2020, 1, 1, 0, 0, 0});
  model_.Apply();
  EXPECT_TRUE(os_.Log().empty());
  EXPECT_TRUE(view_.calls.empty());
}

TEST_F(FileUpdateModelTest, ChangeWritesLocalTimeThenAttributeThenRefreshes) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive | kAttrHidden | kAttrSystem);
  Pick("C:\\docs\\a.txt");
  view_.calls.clear();
  os_.ClearLog();
  // The date of the date picker, the time of the time picker.
  view_.date = EncodeDateTime({2021, 12, 24, 23, 0, 0});
  view_.time = EncodeDateTime({2030, 1, 1, 18, 30, 45});
  model_.Apply();
  const uint64_t written = UtcOf({2021, 12, 24, 18, 30, 44});
  EXPECT_EQ(os_.Log(),
            (std::vector<std::string>{"FindFirst C:\\docs\\a.txt", "FindClose C:\\docs\\a.txt",
                                      "OpenFile C:\\docs\\a.txt",
                                      "SetLastWriteTime " + std::to_string(written), "CloseFile",
                                      "SetFileAttributes C:\\docs\\a.txt 0"}));
  EXPECT_EQ(WriteTime("C:\\docs\\a.txt"), written);
  EXPECT_EQ(os_.Attributes("C:\\docs\\a.txt"), 0x80u);  // hidden, system, archive gone
  EXPECT_EQ(view_.calls, std::vector<std::string>{"refresh"});

  // Picking it again shows what was written.
  Pick("C:\\docs\\a.txt");
  const CivilDateTime shown = DecodeDateTime(CombineDateTime(view_.date, view_.time));
  EXPECT_EQ((std::vector<int>{shown.year, shown.month, shown.day, shown.hour, shown.minute,
                              shown.second}),
            (std::vector<int>{2021, 12, 24, 18, 30, 44}));
}

TEST_F(FileUpdateModelTest, YearsOutsidePackedRangeLeaveTheTimeButSetTheAttribute) {
  for (const CivilDateTime& when :
       {CivilDateTime{1979, 12, 31, 23, 59, 58}, CivilDateTime{2108, 1, 1, 0, 0, 0}}) {
    SCOPED_TRACE(when.year);
    AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
    Pick("C:\\docs\\a.txt");
    view_.calls.clear();
    os_.ClearLog();
    SetPickers(when);
    view_.readOnly = true;
    model_.Apply();
    EXPECT_EQ(WriteTime("C:\\docs\\a.txt"), UtcOf({2023, 4, 5, 10, 15, 30}));
    EXPECT_EQ(os_.Attributes("C:\\docs\\a.txt"), kAttrReadOnly);
    EXPECT_EQ(view_.calls, std::vector<std::string>{"refresh"});
    for (const auto& line : os_.Log())
      EXPECT_EQ(line.rfind("SetLastWriteTime", 0), std::string::npos);
  }
}

TEST_F(FileUpdateModelTest, ReadOnlyFileGetsItsTimeOnlyOnceWritable) {
  // Even where the platform would open it for writing.
  os_.beforeOperation = [this](const std::string& line) {
    if (line.rfind("OpenFile C:\\docs\\ro.txt", 0) == 0) {
      EXPECT_FALSE(os_.Attributes("C:\\docs\\ro.txt") & kAttrReadOnly) << "opened read-only";
    }
  };
  AddFile("C:\\docs\\ro.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive | kAttrReadOnly);
  Pick("C:\\docs\\ro.txt");
  ASSERT_TRUE(view_.readOnly);
  SetPickers({2022, 2, 2, 2, 2, 2});
  const uint64_t before = WriteTime("C:\\docs\\ro.txt");

  model_.Apply();  // box still ticked: stays read-only, time unchanged
  EXPECT_EQ(WriteTime("C:\\docs\\ro.txt"), before);
  EXPECT_EQ(os_.Attributes("C:\\docs\\ro.txt"), kAttrReadOnly);

  view_.readOnly = false;
  model_.Apply();  // the file opens no sooner than the attribute is cleared
  EXPECT_EQ(WriteTime("C:\\docs\\ro.txt"), before);
  EXPECT_EQ(os_.Attributes("C:\\docs\\ro.txt"), 0x80u);

  model_.Apply();
  EXPECT_EQ(WriteTime("C:\\docs\\ro.txt"), UtcOf({2022, 2, 2, 2, 2, 2}));
}

TEST_F(FileUpdateModelTest, ChangeAppliesToThePickedFileAfterTheFolderChanged) {
  AddFile("C:\\docs\\a.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  AddFile("C:\\other\\b.txt", {2023, 4, 5, 10, 15, 30}, kAttrArchive);
  Pick("C:\\docs\\a.txt");
  model_.TreeChanged("C:\\other", true);
  view_.selected = u"C:\\other\\b.txt";  // moved by keyboard: not picked
  SetPickers({2024, 6, 1, 12, 0, 0});
  model_.Apply();
  EXPECT_EQ(WriteTime("C:\\docs\\a.txt"), UtcOf({2024, 6, 1, 12, 0, 0}));
  EXPECT_EQ(WriteTime("C:\\other\\b.txt"), UtcOf({2023, 4, 5, 10, 15, 30}));
}

TEST(FileUpdateDateTimeTest, PackedEdges) {
  const struct {
    CivilDateTime when;
    uint32_t packed;
  } cases[] = {
      {{1979, 12, 31, 23, 59, 59}, 0},
      {{1980, 1, 1, 0, 0, 0}, 0x00210000},
      {{1980, 1, 1, 0, 0, 1}, 0x00210000},  // odd seconds go down
      {{2023, 4, 5, 10, 15, 31}, (43u << 25 | 4 << 21 | 5 << 16) | (10 << 11 | 15 << 5 | 15)},
      {{2107, 12, 31, 23, 59, 58}, 0xFF9FBF7D},
      {{2107, 12, 31, 23, 59, 59}, 0xFF9FBF7D},
      {{2108, 1, 1, 0, 0, 0}, 0},
      {{1899, 12, 30, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when.year);
    EXPECT_EQ(PackDosDateTime(EncodeDateTime(c.when)), c.packed);
  }
}

TEST(FileUpdateDateTimeTest, UnpackRejectsImpossibleFields) {
  const auto pack = [](int y, int mo, int d, int h, int mi, int s2) {
    return static_cast<uint32_t>((y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 | s2);
  };
  EXPECT_FALSE(UnpackDosDateTime(0));
  EXPECT_FALSE(UnpackDosDateTime(pack(2001, 2, 29, 0, 0, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2100, 2, 29, 0, 0, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2000, 13, 1, 0, 0, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2000, 4, 31, 0, 0, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2000, 1, 1, 24, 0, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2000, 1, 1, 0, 60, 0)));
  EXPECT_FALSE(UnpackDosDateTime(pack(2000, 1, 1, 0, 0, 30)));
  EXPECT_EQ(UnpackDosDateTime(pack(2000, 2, 29, 23, 59, 29)),
            EncodeDateTime({2000, 2, 29, 23, 59, 58}));
  EXPECT_EQ(UnpackDosDateTime(0xFF9FBF7D), EncodeDateTime({2107, 12, 31, 23, 59, 58}));
  EXPECT_EQ(UnpackDosDateTime(0x00210000), EncodeDateTime({1980, 1, 1, 0, 0, 0}));
}

TEST(FileUpdateDateTimeTest, ValuesCountDaysFrom1899) {
  EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0.0);
  EXPECT_EQ(EncodeDateTime({1900, 1, 1, 0, 0, 0}), 2.0);
  EXPECT_EQ(EncodeDateTime({2000, 1, 1, 0, 0, 0}), 36526.0);
  EXPECT_EQ(EncodeDateTime({2000, 1, 1, 12, 0, 0}), 36526.5);
  EXPECT_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0}), -1.25);  // fraction counts forward
  const CivilDateTime before = DecodeDateTime(-1.25);
  EXPECT_EQ((std::vector<int>{before.year, before.month, before.day, before.hour}),
            (std::vector<int>{1899, 12, 29, 6}));
}

TEST(FileUpdateDateTimeTest, EverySecondOfADaySurvivesTheRoundTrip) {
  for (int second = 0; second < 86400; ++second) {
    const CivilDateTime when{2107, 12, 31, second / 3600, second / 60 % 60, second % 60};
    const CivilDateTime back = DecodeDateTime(EncodeDateTime(when));
    ASSERT_EQ(back.hour * 3600 + back.minute * 60 + back.second, second);
    ASSERT_EQ(back.day, 31);
    const uint32_t packed = PackDosDateTime(EncodeDateTime(when));
    const CivilDateTime unpacked = DecodeDateTime(*UnpackDosDateTime(packed));
    ASSERT_EQ(unpacked.hour * 3600 + unpacked.minute * 60 + unpacked.second, second & ~1);
  }
}

TEST(FileUpdateDateTimeTest, CombineTakesDateOfOneAndTimeOfTheOther) {
  const double date = EncodeDateTime({2020, 2, 29, 23, 59, 59});
  const double time = EncodeDateTime({1899, 12, 30, 6, 30, 0});
  EXPECT_EQ(CombineDateTime(date, time), EncodeDateTime({2020, 2, 29, 6, 30, 0}));
  const double otherDay = EncodeDateTime({2031, 7, 7, 6, 30, 0});
  EXPECT_EQ(CombineDateTime(date, otherDay), EncodeDateTime({2020, 2, 29, 6, 30, 0}));
  const CivilDateTime early = DecodeDateTime(CombineDateTime(EncodeDateTime({1899, 1, 1}), time));
  EXPECT_EQ((std::vector<int>{early.year, early.month, early.day, early.hour, early.minute}),
            (std::vector<int>{1899, 1, 1, 6, 30}));
}

}  // namespace
}  // namespace purga
