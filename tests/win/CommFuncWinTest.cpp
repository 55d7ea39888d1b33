// The shared file-system routines on a real Windows file system.
#include <gtest/gtest.h>

#include "common/commFunc.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/WinFiles.h"

namespace purga {
namespace {

class CommFuncWinTest : public ::testing::Test {
 protected:
  CommFuncWinTest() { InstallWin32Platform(); }

  // A drive letter from the table of 21 with nothing behind it.
  static std::string MissingLetter() {
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'U'; letter >= 'D'; --letter)
      if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter);
    return {};
  }
};

TEST_F(CommFuncWinTest, FreeSpaceOfARealDriveInUnitsOf1024) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(::GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
  const int64_t kb = GetDriveFreeKB("C");
  EXPECT_GT(kb, 0);
  // Other programs write meanwhile: the two readings agree within 256 MB.
  const int64_t direct = static_cast<int64_t>(available.QuadPart / 1024);
  EXPECT_LT(std::llabs(kb - direct), 256 * 1024) << kb << " " << direct;
  EXPECT_LT(std::llabs(GetDriveFreeKB("c") - kb), 256 * 1024);

  const std::string missing = MissingLetter();
  ASSERT_FALSE(missing.empty());
  EXPECT_EQ(GetDriveFreeKB(missing), 0) << missing;
}

TEST_F(CommFuncWinTest, DriveTypesOfRealPaths) {
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  const std::string missing = MissingLetter();
  const struct {
    std::string path;
    uint32_t type;
  } cases[] = {
      {std::string(system) + "\\kernel32.dll", DRIVE_FIXED},
      {"C:\\", DRIVE_FIXED},
      {"C:", DRIVE_FIXED},
      {missing + ":\\folder\\file.txt", DRIVE_NO_ROOT_DIR},
      {missing + ":", DRIVE_NO_ROOT_DIR},
  };
  for (const auto& c : cases) EXPECT_EQ(GetPathDriveType(c.path), c.type) << c.path;
}

TEST_F(CommFuncWinTest, ExeFolderHoldsTheRunningProgram) {
  const std::u16string folder = GetExeFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), u'\\');
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::u16string path = FromWide(module);
  ASSERT_EQ(path.rfind(folder, 0), 0u);
  EXPECT_EQ(path.find(u'\\', folder.size()), std::u16string::npos) << "only the file name is cut";
  EXPECT_NE(::GetFileAttributesW(Wide(path)), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CommFuncWinTest, SystemAndTempFoldersAreRealFolders) {
  const std::optional<std::u16string> system = GetSystemFolder();
  ASSERT_TRUE(system.has_value());
  EXPECT_NE(system->back(), u'\\');
  EXPECT_EQ(::GetFileAttributesW(Wide(*system)) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

  char16_t temp[kFolderBufferSize] = {};
  const uint32_t length = Os().GetTempPath(temp, kFolderBufferSize);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, kFolderBufferSize);
  EXPECT_EQ(temp[length - 1], u'\\');
  EXPECT_EQ(::GetFileAttributesW(reinterpret_cast<const wchar_t*>(temp)) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(CommFuncWinTest, AttributesAreSetWholeAndReadBack) {
  test::ScratchFolder folder("purga-attributes");
  const std::string file = folder / "\x83\x5c\x95\x5c\x94\x5c.txt";  // ソ表能.txt
  ASSERT_TRUE(test::WriteWholeFile(file, "x"));

  for (int32_t word : {33, 34, 32}) {
    SetPathAttributes(file, word);
    EXPECT_EQ(::GetFileAttributesW(ToWide(file).c_str()), static_cast<DWORD>(word));
    FindEntry entry;
    FindHandle find = Os().FindFirst(Os().ToWide(file), entry);
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(entry.attributes, static_cast<uint32_t>(word));
    Os().FindClose(find);
  }

  // A read-only file cannot be deleted until 32 has cleared the bit.
  SetPathAttributes(file, 33);
  EXPECT_FALSE(::DeleteFileW(ToWide(file).c_str()));
  SetPathAttributes(file, 32);
  EXPECT_TRUE(::DeleteFileW(ToWide(file).c_str()));

  // 16 clears a folder's hidden bit.
  const std::string sub = folder / "\x94\x5c";  // 能
  ASSERT_TRUE(::CreateDirectoryW(ToWide(sub).c_str(), nullptr));
  SetPathAttributes(sub, 18);
  EXPECT_EQ(::GetFileAttributesW(ToWide(sub).c_str()), 18u);
  SetPathAttributes(sub, 16);
  EXPECT_EQ(::GetFileAttributesW(ToWide(sub).c_str()), 16u);
}

TEST_F(CommFuncWinTest, NamesWithBackslashTrailBytesOnARealDisk) {
  test::ScratchFolder folder("purga-names");
  const std::string sub = folder / "\x83\x5c\x95\x5c";  // ソ表
  ASSERT_TRUE(::CreateDirectoryW(ToWide(sub).c_str(), nullptr));
  const std::string file = sub + "\\\x94\x5c.txt";  // 能.txt
  ASSERT_TRUE(test::WriteWholeFile(file, "x"));

  EXPECT_EQ(FolderPart(file), sub);
  EXPECT_EQ(GetPathDriveType(file), static_cast<uint32_t>(DRIVE_FIXED));
  EXPECT_EQ(FileExtension("\x94\x5c.txt"), ".txt");
  EXPECT_NE(::GetFileAttributesW(ToWide(FolderPart(file)).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace purga
