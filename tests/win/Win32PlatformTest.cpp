// The Win32 implementation of the platform seam on real files, and the
// environment the program expects: code page 932 and its font.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/support/CodePageCases.h"
#include "tests/win/WinFiles.h"

namespace purga {
namespace {

class Win32PlatformTest : public ::testing::Test {
 protected:
  Win32PlatformTest() : os_(InstallWin32Platform()) {}
  Win32Platform& os_;
};

// The prefix is the Windows it was made for: Japanese (932) unless the run
// asked for another system code page.
TEST(Win32Environment, SystemCodePageIsThePrefixs) {
  char wanted[8] = "932";
  ::GetEnvironmentVariableA("PURGA_CODEPAGE", wanted, sizeof wanted);
  EXPECT_EQ(::GetACP(), static_cast<UINT>(std::stoul(wanted)));
}

TEST(Win32Environment, FormsFontIsMappedToIpaPGothic) {
  // Without the mapping Wine would fall back to its first Japanese font, the
  // fixed-pitch IPA Gothic.
  const char* face = "ＭＳ Ｐゴシック";
  const HDC dc = ::CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  const HFONT font = ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, ToWide(face).c_str());
  ASSERT_NE(font, nullptr);
  const HGDIOBJ old = ::SelectObject(dc, font);

  wchar_t selected[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, selected);
  EXPECT_EQ(std::wstring(selected), ToWide(face));
  TEXTMETRICW metrics = {};
  ASSERT_TRUE(::GetTextMetricsW(dc, &metrics));
  EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET);
  std::vector<char> outline(::GetOutlineTextMetricsW(dc, 0, nullptr));
  ASSERT_FALSE(outline.empty());
  auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(outline.data());
  ASSERT_NE(::GetOutlineTextMetricsW(dc, static_cast<UINT>(outline.size()), otm), 0u);
  const std::wstring fullName = reinterpret_cast<const wchar_t*>(
      outline.data() + reinterpret_cast<size_t>(otm->otmpFullName));
  EXPECT_EQ(fullName.rfind(L"IPAPGothic", 0), 0u);
  // Proportional: an i is narrower than a W.
  SIZE narrow, wide;
  ::GetTextExtentPoint32W(dc, L"i", 1, &narrow);
  ::GetTextExtentPoint32W(dc, L"W", 1, &wide);
  EXPECT_LT(narrow.cx, wide.cx);

  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::DeleteDC(dc);
}

TEST_F(Win32PlatformTest, CodePageAgreesWithTheFake) {
  for (const auto& c : test::kLeadByteCases)
    EXPECT_EQ(os_.IsLeadByte(c.byte), c.lead) << int(c.byte);
  for (const auto& c : test::kUpperCaseCases) EXPECT_EQ(os_.UpperCase(c.text), c.upper) << c.text;
}

TEST_F(Win32PlatformTest, ErrorMessageIsTheSystemsTextWithoutLineBreak) {
  EXPECT_EQ(os_.ErrorMessage(ERROR_ACCESS_DENIED), "アクセスが拒否されました。");
  const std::string notFound = os_.ErrorMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(notFound.empty());
  EXPECT_NE(notFound.back(), '\n');
  EXPECT_NE(notFound.back(), '\r');
  EXPECT_EQ(os_.ErrorMessage(0x2000FFFF), "");  // no such message
}

TEST_F(Win32PlatformTest, OpenModesShareAsTheirCallersNeed) {
  test::ScratchFolder folder("purga-open");
  const std::string ansiPath = folder / "file.bin";
  const std::u16string path = os_.ToWide(ansiPath);

  EXPECT_EQ(os_.OpenFile(path, OpenMode::ReadWriteExisting), nullptr);
  EXPECT_EQ(os_.LastError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(os_.OpenFile(path, OpenMode::WriteExistingShared), nullptr);

  FileHandle created = os_.OpenFile(path, OpenMode::CreateTruncate);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(os_.WriteFile(created, "abcdef", 6), 6);
  EXPECT_TRUE(os_.CloseFile(created));

  // Read and write, sharing only reading: a second writer is refused.
  FileHandle first = os_.OpenFile(path, OpenMode::ReadWriteExisting);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(os_.OpenFile(path, OpenMode::ReadWriteExisting), nullptr);
  EXPECT_EQ(os_.LastError(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  char buffer[16] = {};
  EXPECT_EQ(os_.ReadFile(first, buffer, sizeof buffer), 6);
  EXPECT_EQ(std::string(buffer), "abcdef");
  EXPECT_EQ(os_.ReadFile(first, buffer, sizeof buffer), 0);
  EXPECT_TRUE(os_.CloseFile(first));

  // Writers that share writing can open the file side by side.
  FileHandle a = os_.OpenFile(path, OpenMode::WriteExistingShared);
  FileHandle b = os_.OpenFile(path, OpenMode::WriteExistingShared);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  if (a) os_.CloseFile(a);
  if (b) os_.CloseFile(b);

  // Creating an existing file truncates it.
  created = os_.OpenFile(path, OpenMode::CreateTruncate);
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(os_.CloseFile(created));
  EXPECT_EQ(test::ReadWholeFile(ansiPath), "");
}

// What a listing gives of each entry.
using Listed = std::set<std::tuple<std::u16string, uint32_t, uint64_t>>;

Listed ListAll(Platform& os, FindHandle find, FindEntry& entry) {
  Listed listed;
  if (find == nullptr) return listed;
  do {
    listed.insert({entry.name, entry.attributes, entry.size});
    EXPECT_NE(entry.lastWriteTime, 0u);
  } while (os.FindNext(find, entry));
  os.FindClose(find);
  return listed;
}

TEST_F(Win32PlatformTest, ListingsByPatternAndThroughTheFolderAgree) {
  test::ScratchFolder folder("purga-find");
  const std::string name = "\x83\x5c\x95\x5c.txt";  // ソ表.txt
  ASSERT_TRUE(test::WriteWholeFile(folder / name, std::string(1234, 'x')));
  ASSERT_TRUE(::CreateDirectoryW(ToWide((folder / "sub")).c_str(), nullptr));

  FindEntry entry;
  const Listed byPattern = ListAll(os_, os_.FindFirst(os_.ToWide(folder / "*.*"), entry), entry);
  EXPECT_EQ(byPattern.size(), 4u);
  EXPECT_EQ(byPattern.count({os_.ToWide(name), kAttrArchive, 1234}), 1u);
  EXPECT_EQ(byPattern.count({u"sub", kAttrDirectory, 0}), 1u);
  EXPECT_EQ(os_.FindFirst(os_.ToWide(folder / "missing\\*.*"), entry), nullptr);

  // Through the folder's handle, in batches, with the entries' file IDs.
  const EntryHandle top = os_.OpenFolder(os_.ToWide(folder.Path()), kRightList);
  ASSERT_NE(top, nullptr);
  Listed throughHandle;
  std::vector<FindEntry> batch;
  for (bool restart = true; os_.ReadEntries(top, restart, IdSize::Bits64, batch); restart = false)
    for (const FindEntry& listed : batch) {
      throughHandle.insert({listed.name, listed.attributes, listed.size});
      EXPECT_TRUE(listed.fileId.Given());
    }
  EXPECT_EQ(throughHandle, byPattern);
  os_.CloseEntry(top);
  EXPECT_EQ(os_.OpenFolder(os_.ToWide(folder / "missing"), 0), nullptr);
}

// The file ID that a listing of `folder` gives for `name`; none when none.
FileId ListedId(Platform& os, EntryHandle folder, const std::u16string& name) {
  std::vector<FindEntry> batch;
  for (bool restart = true; os.ReadEntries(folder, restart, IdSize::Bits64, batch); restart = false)
    for (const FindEntry& entry : batch)
      if (entry.name == name) return entry.fileId;
  return {};
}

TEST_F(Win32PlatformTest, EntriesAreOpenedByNameCheckedAndChangedThroughTheirHandle) {
  test::ScratchFolder folder("purga-entries");
  const std::u16string names[] = {os_.ToWide("\x83\x5c.txt"), u"caf\u00e9 \U0001F600.txt"};
  for (const std::u16string& name : names) {
    const HANDLE made = ::CreateFileW(
        reinterpret_cast<const wchar_t*>((os_.ToWide(folder.Path() + "\\") + name).c_str()),
        GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    ::CloseHandle(made);
  }
  ASSERT_TRUE(::CreateDirectoryW(ToWide((folder / "sub")).c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(folder / "sub\\in.txt", "x"));

  const EntryHandle top =
      os_.OpenFolder(os_.ToWide(folder.Path()), kRightList | kRightChange | kRightDelete);
  ASSERT_NE(top, nullptr);
  std::u16string topPath, topName;
  ASSERT_TRUE(os_.GetEntryPath(top, topPath));
  EXPECT_TRUE(os_.SameName(topPath, os_.ToWide(folder.Path().substr(2))));
  ASSERT_TRUE(os_.GetEntryName(top, topName));
  EXPECT_GT(topName.size(), topPath.size());
  EXPECT_TRUE(os_.SameName(topName.substr(topName.size() - topPath.size()), topPath));
  uint64_t volume = 0, childVolume = 0;
  ASSERT_TRUE(os_.GetEntryVolume(top, volume));

  // A file, by its own name: its ID is the listing's, its full name its
  // folder's and its name. Read-only set through the handle stops its deletion until
  // it is cleared through the same handle; it goes when the handle closes.
  for (const std::u16string& name : names) {
    const EntryHandle entry =
        os_.OpenChild(top, name, EntryKind::File, kRightChange | kRightDelete);
    ASSERT_NE(entry, nullptr);
    EntryInfo info;
    ASSERT_TRUE(os_.GetEntryInfo(entry, IdSize::Bits64, info));
    EXPECT_EQ(info.attributes, kAttrArchive);
    EXPECT_EQ(info.fileId, ListedId(os_, top, name));
    std::u16string full;
    ASSERT_TRUE(os_.GetEntryName(entry, full));
    EXPECT_TRUE(os_.SameName(full, topName + u"\\" + name));
    ASSERT_TRUE(os_.GetEntryVolume(entry, childVolume));
    EXPECT_EQ(childVolume, volume);
    EXPECT_TRUE(os_.SetEntryAttributes(entry, kAttrArchive | kAttrReadOnly));
    EXPECT_FALSE(os_.DeleteEntry(entry));
    EXPECT_TRUE(os_.SetEntryAttributes(entry, kAttrArchive));
    EXPECT_TRUE(os_.DeleteEntry(entry));
    os_.CloseEntry(entry);
    EXPECT_FALSE(ListedId(os_, top, name).Given());
  }

  // A folder: not as a file, and not removed while it holds anything.
  EXPECT_EQ(os_.OpenChild(top, u"sub", EntryKind::File, kRightDelete), nullptr);
  const EntryHandle sub = os_.OpenChild(top, u"sub", EntryKind::Folder, kRightList | kRightDelete);
  ASSERT_NE(sub, nullptr);
  EntryInfo info;
  ASSERT_TRUE(os_.GetEntryInfo(sub, IdSize::Bits64, info));
  EXPECT_EQ(info.attributes, kAttrDirectory);
  EXPECT_FALSE(os_.DeleteEntry(sub));
  ASSERT_TRUE(::DeleteFileW(ToWide((folder / "sub\\in.txt")).c_str()));
  EXPECT_TRUE(os_.DeleteEntry(sub));
  os_.CloseEntry(sub);
  EXPECT_EQ(::GetFileAttributesW(ToWide((folder / "sub")).c_str()), INVALID_FILE_ATTRIBUTES);
  os_.CloseEntry(top);
}

TEST_F(Win32PlatformTest, TimeConversionsRoundTrip) {
  // 2024-02-29 13:45:58, packed as a FAT date and time.
  const uint16_t date = ((2024 - 1980) << 9) | (2 << 5) | 29;
  const uint16_t time = (13 << 11) | (45 << 5) | (58 / 2);
  uint64_t fileTime = 0;
  ASSERT_TRUE(os_.DosDateTimeToFileTime(date, time, fileTime));
  uint16_t date2 = 0, time2 = 0;
  ASSERT_TRUE(os_.FileTimeToDosDateTime(fileTime, date2, time2));
  EXPECT_EQ(date2, date);
  EXPECT_EQ(time2, time);

  uint64_t local = 0, back = 0;
  ASSERT_TRUE(os_.FileTimeToLocal(fileTime, local));
  ASSERT_TRUE(os_.LocalToFileTime(local, back));
  EXPECT_EQ(back, fileTime);
  // Before 1980 has no FAT form.
  ASSERT_TRUE(os_.DosDateTimeToFileTime((0 << 9) | (1 << 5) | 1, 0, fileTime));
  EXPECT_FALSE(os_.FileTimeToDosDateTime(fileTime - 10'000'000ull * 86400, date2, time2));
}

TEST_F(Win32PlatformTest, CurrentDirectoryRoundTrips) {
  std::u16string before;
  ASSERT_TRUE(os_.GetCurrentDirectory(before));
  test::ScratchFolder folder("purga-cwd");
  // A name that no single code page holds: the folder is reached by UTF-16.
  const std::u16string inside = os_.ToWide(folder.Path()) + u"\\\u00dcnal-\u6f22";
  ASSERT_TRUE(::CreateDirectoryW(Wide(inside), nullptr));
  ASSERT_TRUE(os_.SetCurrentDirectory(inside));
  std::u16string now;
  ASSERT_TRUE(os_.GetCurrentDirectory(now));
  EXPECT_EQ(now, inside);
  EXPECT_FALSE(os_.SetCurrentDirectory(os_.ToWide(folder / "missing")));
  ASSERT_TRUE(os_.SetCurrentDirectory(before));
}

// Finds `url` in the URL cache through the seam, with the size probe that
// the clean-up uses.
bool CacheHolds(Platform& os, const std::string& url) {
  uint32_t size = 0;
  CacheHandle find = os.FindFirstUrlCacheEntry(nullptr, nullptr, &size);
  if (find != nullptr || os.LastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  std::vector<char> block(size);
  auto* entry = reinterpret_cast<CacheEntryHead*>(block.data());
  entry->dwStructSize = size;
  find = os.FindFirstUrlCacheEntry(nullptr, entry, &size);
  if (find == nullptr) return false;
  bool found = false;
  for (;;) {
    if (entry->lpszSourceUrlName != nullptr && url == entry->lpszSourceUrlName) found = true;
    size = 0;
    if (os.FindNextUrlCacheEntry(find, nullptr, &size)) break;  // cannot succeed without a block
    if (os.LastError() != ERROR_INSUFFICIENT_BUFFER) break;
    block.assign(size, '\0');
    entry = reinterpret_cast<CacheEntryHead*>(block.data());
    entry->dwStructSize = size;
    if (!os.FindNextUrlCacheEntry(find, entry, &size)) break;
  }
  os.FindCloseUrlCache(find);
  return found;
}

TEST_F(Win32PlatformTest, UrlCacheEntriesAreFoundAndDeleted) {
  const std::string url =
      "http://purga.test/win32-platform-" + std::to_string(::GetCurrentProcessId());
  char local[MAX_PATH] = {};
  ASSERT_TRUE(::CreateUrlCacheEntryA(url.c_str(), 0, "txt", local, 0));
  ASSERT_TRUE(test::WriteWholeFile(local, "cached"));
  const FILETIME never = {};
  ASSERT_TRUE(::CommitUrlCacheEntryA(url.c_str(), local, never, never, NORMAL_CACHE_ENTRY, nullptr,
                                     0, nullptr, nullptr));

  EXPECT_TRUE(CacheHolds(os_, url));
  EXPECT_TRUE(os_.DeleteUrlCacheEntry(url.c_str()));
  EXPECT_FALSE(CacheHolds(os_, url));
  EXPECT_FALSE(os_.DeleteUrlCacheEntry(url.c_str()));
}

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    ++*reinterpret_cast<int*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Win32PlatformTest, PendingMessagesAreDispatchedAndQuitIsKept) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingWindowProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "PurgaPendingMessagesTest";
  ::RegisterClassA(&windowClass);
  const HWND window = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  int count = 0;
  ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));

  ::PostMessageA(window, WM_APP, 0, 0);
  ::PostMessageA(window, WM_APP, 0, 0);
  os_.ProcessPendingMessages();
  EXPECT_EQ(count, 2);
  MSG message;

  // A quit request stays for the message loop that owns it.
  ::PostQuitMessage(7);
  os_.ProcessPendingMessages();
  ASSERT_TRUE(::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 7u);

  ::DestroyWindow(window);
  ::UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
}

}  // namespace
}  // namespace purga
