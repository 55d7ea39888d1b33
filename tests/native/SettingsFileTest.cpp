#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "settings/SettingsFile.h"
#include "tests/fake/FakePlatform.h"
#include "tests/support/SettingsBytes.h"

namespace purga {
namespace {

using test::ExpectedDefaultRecord;
using test::RecordBytes;
using test::RecordWithReservedBytes;

constexpr const char* kPath = "C:\\windows\\system32\\Purga.in";

// Arbitrary bytes, none of them 0 or 1, so that every byte the load keeps or
// replaces shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(2 + (i * 37 + 11) % 250);
  return bytes;
}

bool Logged(const std::vector<std::string>& log, const std::string& prefix) {
  return std::any_of(log.begin(), log.end(),
                     [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest() {
    // The program starts with a zero record.
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
  }

  // What the deletion window does when it is created.
  void Start() {
    LoadSettings(controls_);
    controls_.SettingsToControls();
  }

  test::FakePlatform os_;
  SettingsControls controls_;
};

TEST_F(SettingsFileTest, MissingFileGivesTheDefaultRecordAndWindow) {
  Start();
  EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());
  EXPECT_TRUE(Logged(os_.Log(), std::string("OpenFile ") + kPath));
  EXPECT_FALSE(os_.Exists(kPath)) << "loading never creates the file";

  for (int i = 0; i < kRuleCount; ++i) {
    EXPECT_EQ(controls_.categories[i].deleteBox.Checked(), i == 15) << i;
    EXPECT_FALSE(controls_.categories[i].sizeBox.Checked()) << i;
  }
  for (const OptionBox& option : controls_.options) EXPECT_TRUE(option.box.Checked());
  EXPECT_EQ(controls_.otherExtension.Text(), "");
  EXPECT_EQ(controls_.folder.Text(), "");
}

TEST_F(SettingsFileTest, ShortFileTakesTheDefaultPathAndKeepsWhatWasRead) {
  for (size_t size : {0u, 1u, 0x09Au, 0x1A0u, 489u, 490u, 491u}) {
    SCOPED_TRACE(size);
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    const std::string file = Pattern(size);
    os_.SetContent(kPath, file);

    SettingsControls controls;  // a window as created at start-up
    LoadSettings(controls);
    EXPECT_EQ(RecordBytes(), test::ExpectedAfterFailedRead(file));

    // The flags at 0x1E8.. hold the file's bytes as far as it reached.
    for (size_t flag = 0x1E8; flag < 0x1EC; ++flag)
      EXPECT_EQ(RecordBytes()[flag], flag < size ? file[flag] : 1) << flag;
  }
}

TEST_F(SettingsFileTest, FullOrLongerFileRoundTripsByteForByte) {
  const std::string record = RecordWithReservedBytes();
  for (const std::string& file : {record, record + std::string(108, '\xEE')}) {
    SCOPED_TRACE(file.size());
    os_.SetContent(kPath, file);
    SettingsControls controls;
    LoadSettings(controls);
    EXPECT_EQ(RecordBytes(), record);
    controls.SettingsToControls();

    SaveSettings(controls);
    EXPECT_EQ(os_.Content(kPath), record) << "reserved bytes and text tails written back";
  }
}

TEST_F(SettingsFileTest, TextFieldsWithoutNulAreReadToTheEndOfTheirArrayOnly) {
  std::string file = RecordWithReservedBytes();
  std::memcpy(&file[0x098], "ABCDEFG", 7);
  std::fill_n(file.begin() + 0x0A2, 256, 'x');
  os_.SetContent(kPath, file);
  LoadSettings(controls_);
  EXPECT_EQ(LoadText(DeleteSettings.OtherExtension), "ABCDEFG");
  EXPECT_EQ(LoadText(DeleteSettings.SavedFolder), std::string(256, 'x'));

  controls_.SettingsToControls();
  // Edit5 shows the whole field; only typing stops at five characters.
  EXPECT_EQ(controls_.otherExtension.Text(), "ABCDEFG");
  // A folder that does not fit with its NUL is refused, as a chosen one is:
  // the panel stays empty and the save stores an empty folder.
  EXPECT_EQ(controls_.folder.Text(), "");
  SaveSettings(controls_);
  EXPECT_EQ(os_.Content(kPath).substr(0x098, 7), "ABCDEFG") << "the extension changed on loading";
  EXPECT_EQ(os_.Content(kPath).substr(0x0A2, 256), '\0' + std::string(255, 'x'));
}

TEST_F(SettingsFileTest, LoadedExtensionsComeBackByteForByte) {
  for (const std::string& field : {std::string("dat\0\xEE\xEE\xEE", 7), std::string("abcdef\0", 7),
                                   std::string("\x8A\xBF\x8E\x9A\0\xEE\xEE", 7)}) {
    SCOPED_TRACE(field);
    std::string file = RecordWithReservedBytes();
    file.replace(0x098, 7, field);
    os_.SetContent(kPath, file);
    SettingsControls controls;
    LoadSettings(controls);
    controls.SettingsToControls();
    EXPECT_EQ(controls.otherExtension.Text(), field.substr(0, field.find('\0')));
    SaveSettings(controls);
    EXPECT_EQ(os_.Content(kPath).substr(0x098, 7), field);
  }
}

TEST_F(SettingsFileTest, ShorterFolderLeavesTheOldTailAfterItsNul) {
  Start();
  const std::string longer = "C:\\Users\\someone\\Downloads\\archive";
  const std::string shorter = "D:\\tmp";
  ASSERT_TRUE(controls_.SetFolder(longer));
  ASSERT_TRUE(controls_.SetFolder(shorter));
  SaveSettings(controls_);

  const std::string saved = os_.Content(kPath).substr(0x0A2, longer.size() + 1);
  EXPECT_EQ(saved, shorter + '\0' + longer.substr(shorter.size() + 1) + '\0');
}

TEST_F(SettingsFileTest, FolderLongerThan255BytesIsRefused) {
  Start();
  const std::string fits(255, 'a');
  ASSERT_TRUE(controls_.SetFolder(fits));
  EXPECT_EQ(LoadText(DeleteSettings.SavedFolder), fits);

  const std::string before = RecordBytes();
  EXPECT_FALSE(controls_.SetFolder("C:\\" + std::string(253, 'b')));
  EXPECT_EQ(RecordBytes(), before);
  EXPECT_EQ(controls_.folder.Text(), fits);
}

TEST_F(SettingsFileTest, SaveFailureRaisesThePlatformsMessageAndKeepsTheRecord) {
  const struct {
    const char* what;
    std::function<void(test::FakePlatform&)> fail;
    uint32_t error;
    bool wrote;
  } cases[] = {
      {"open", [](test::FakePlatform& os) { os.AddFile(kPath, 0, kAttrReadOnly); },
       test::kErrorAccessDenied, false},
      {"write", [](test::FakePlatform& os) { os.failWrite = true; }, test::kErrorDiskFull, true},
      // A successful short write leaves an older error code in place; it is
      // not the reason.
      {"short write",
       [](test::FakePlatform& os) {
         os.shortWrite = true;
         os.OpenFile(u"C:\\missing\\file", OpenMode::ReadWriteExisting);
       },
       test::kErrorDiskFull, true},
      {"close", [](test::FakePlatform& os) { os.failClose = true; }, test::kErrorAccessDenied,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakePlatform os;
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    os.SetContent(kPath, RecordWithReservedBytes());
    SettingsControls controls;
    LoadSettings(controls);
    controls.SettingsToControls();
    c.fail(os);
    os.ClearLog();
    const std::string before = RecordBytes();

    try {
      SaveSettings(controls);
      ADD_FAILURE() << "no error raised";
    } catch (const IoError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(os.ErrorMessage(c.error)), std::string::npos) << message;
      EXPECT_NE(message.find(kPath), std::string::npos) << message;
    }
    EXPECT_EQ(RecordBytes(), before);
    const std::vector<std::string> log = os.Log();
    EXPECT_EQ(Logged(log, "WriteFile"), c.wrote);
    // The file is closed whether or not the write worked.
    if (c.wrote) {
      EXPECT_EQ(log.back(), "CloseFile");
    }
  }
}

TEST_F(SettingsFileTest, ReadOnlyFileLoadsDefaultsAndRefusesTheSave) {
  os_.AddFile(kPath, 0, kAttrArchive | kAttrReadOnly, RecordWithReservedBytes());
  Start();
  EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());
  EXPECT_THROW(SaveSettings(controls_), IoError);
  EXPECT_EQ(os_.Content(kPath), RecordWithReservedBytes());
}

TEST_F(SettingsFileTest, WithoutASystemFolderNothingIsOpenedAnywhere) {
  const struct {
    const char* what;
    std::string folder;
    uint32_t result;
  } cases[] = {
      {"call fails", "", 0},
      {"needs exactly the buffer", "C:\\windows\\system32", 514},
      {"needs more", "C:\\windows\\system32", 600},
      {"too long to fit", "C:\\" + std::string(511, 'w'), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::FakePlatform os;
    os.systemDirectory = c.folder;
    os.systemDirectoryResult = c.result;
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    SettingsControls controls;
    LoadSettings(controls);
    controls.SettingsToControls();
    EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());

    try {
      SaveSettings(controls);
      ADD_FAILURE() << "no error raised";
    } catch (const IoError& error) {
      EXPECT_STRNE(error.what(), "");
    }
    EXPECT_FALSE(Logged(os.Log(), "OpenFile"));
    EXPECT_FALSE(Logged(os.Log(), "WriteFile"));
  }
}

}  // namespace
}  // namespace purga
