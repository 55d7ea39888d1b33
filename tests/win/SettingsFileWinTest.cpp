// The settings file in the real system folder, through the Win32 platform.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "settings/SettingsFile.h"
#include "tests/support/SettingsBytes.h"
#include "tests/win/WinFiles.h"

namespace purga {
namespace {

using test::ExpectedDefaultRecord;
using test::ReadWholeFile;
using test::RecordBytes;
using test::RecordWithReservedBytes;
using test::WriteWholeFile;

class SettingsFileWinTest : public ::testing::Test {
 protected:
  SettingsFileWinTest() {
    InstallWin32Platform();
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    path_ = std::string(system) + "\\Purga.in";
    // The folder's state before the test, put back afterwards.
    attributes_ = ::GetFileAttributesW(ToWide(path_).c_str());
    if (attributes_ != INVALID_FILE_ATTRIBUTES) {
      ::SetFileAttributesW(ToWide(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
      saved_ = ReadWholeFile(path_);
    }
    ::DeleteFileW(ToWide(path_).c_str());
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
  }

  ~SettingsFileWinTest() override {
    test::RemoveTree(path_);
    if (saved_) {
      WriteWholeFile(path_, *saved_);
      ::SetFileAttributesW(ToWide(path_).c_str(), attributes_);
    }
  }

  void Start() {
    LoadSettings(controls_);
    controls_.SettingsToControls();
  }

  std::string path_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  std::optional<std::string> saved_;
  SettingsControls controls_;
};

TEST_F(SettingsFileWinTest, LivesInTheSystemFolder) {
  EXPECT_EQ(SettingsFilePath(), Os().ToWide(path_));
  Start();
  SaveSettings(controls_);
  EXPECT_EQ(ReadWholeFile(path_), ExpectedDefaultRecord());
  // Windows redirects a 32-bit program's writes to the system folder into
  // SysWOW64, where the README sends its users.
  BOOL wow64 = FALSE;
  char redirected[MAX_PATH] = {};
  if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
    ASSERT_NE(::GetSystemWow64DirectoryA(redirected, MAX_PATH), 0u);
    EXPECT_EQ(ReadWholeFile(std::string(redirected) + "\\Purga.in"), ExpectedDefaultRecord());
  }
}

TEST_F(SettingsFileWinTest, MissingFileGivesTheDefaults) {
  Start();
  EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());
  EXPECT_EQ(::GetFileAttributesW(ToWide(path_).c_str()), INVALID_FILE_ATTRIBUTES)
      << "not created by a load";
}

TEST_F(SettingsFileWinTest, ShortFileGivesTheDefaultsWithTheFlagsItHeld) {
  std::string file = RecordWithReservedBytes().substr(0, 491);
  file[0x1E8] = 0;
  file[0x1E9] = 0;
  file[0x1EA] = 2;
  ASSERT_TRUE(WriteWholeFile(path_, file));
  LoadSettings(controls_);

  EXPECT_EQ(RecordBytes(), test::ExpectedAfterFailedRead(file));
  EXPECT_EQ(DeleteSettings.CleanBrowserCache, 0);
  EXPECT_EQ(DeleteSettings.ClearRecentDocs, 0);
  EXPECT_EQ(DeleteSettings.CleanWinTemp, 2);
  EXPECT_EQ(DeleteSettings.DeleteReadOnly, 1);

  controls_.SettingsToControls();
  SaveSettings(controls_);
  EXPECT_EQ(ReadWholeFile(path_)->size(), 492u);
}

TEST_F(SettingsFileWinTest, LongFileGivesItsFirst492BytesAndIsSavedAs492) {
  const std::string record = RecordWithReservedBytes();
  ASSERT_TRUE(WriteWholeFile(path_, record + std::string(108, '\x5A')));
  Start();
  EXPECT_EQ(RecordBytes(), record);
  SaveSettings(controls_);
  EXPECT_EQ(ReadWholeFile(path_), record);
}

// The save raises the platform's access-denied text, the record in memory
// keeps its values and the file its bytes.
void ExpectSaveDeniedAccess(SettingsControls& controls) {
  const std::string before = RecordBytes();
  try {
    SaveSettings(controls);
    ADD_FAILURE() << "the save succeeded";
  } catch (const IoError& error) {
    const std::string accessDenied = Os().ErrorMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(accessDenied.empty());
    EXPECT_NE(std::string(error.what()).find(accessDenied), std::string::npos) << error.what();
  }
  EXPECT_EQ(RecordBytes(), before);
}

TEST_F(SettingsFileWinTest, ReadOnlyFileGivesTheDefaultsAndTheSaveFailsWithAccessDenied) {
  const std::string record = RecordWithReservedBytes();
  ASSERT_TRUE(WriteWholeFile(path_, record));
  ASSERT_TRUE(::SetFileAttributesW(ToWide(path_).c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine maps the read-only bit to the Unix write permissions, which do not
  // stop root.
  const HANDLE probe =
      ::CreateFileW(ToWide(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    ::CloseHandle(probe);
    GTEST_SKIP() << "read-only files are writable for this user (Wine run as root)";
  }

  Start();
  EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());
  ExpectSaveDeniedAccess(controls_);
  EXPECT_EQ(ReadWholeFile(path_), record);
}

TEST_F(SettingsFileWinTest, FolderInTheFilesPlaceGivesTheDefaultsAndTheSaveFailsWithAccessDenied) {
  ASSERT_TRUE(::CreateDirectoryW(ToWide(path_).c_str(), nullptr));
  Start();
  EXPECT_EQ(RecordBytes(), ExpectedDefaultRecord());
  ExpectSaveDeniedAccess(controls_);
  EXPECT_EQ(::GetFileAttributesW(ToWide(path_).c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace
}  // namespace purga
