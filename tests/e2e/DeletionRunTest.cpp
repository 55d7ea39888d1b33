// A deletion run through the windows of the real program: launcher, deletion
// window, Start, the confirmation, the counters, the disk and Purga.in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Driver.h"
#include "SettingsRecord.h"
#include "platform/win32/CodePage.h"

namespace e2e {
namespace {

constexpr const char* kConfirmCaption = "　　　設定をもう一度確認";
constexpr const char* kTop = "C:\\purga-e2e";
// The second byte of "ソ" is '\\': read in code page 1252, the same bytes
// name kDecoy, which must not be touched.
constexpr const char* kRoot = "C:\\purga-e2e\\ソフト";
constexpr const wchar_t* kDecoy = L"C:\\purga-e2e\\\u0192\\\u0192t\u0192g";
constexpr const char* kOutside = "C:\\purga-e2e-outside";
// 「その他」: a trail byte '\\' (表), a trail byte 'c' (ツ, which is not "イ"
// upper-cased) and ≒ by its NEC code 87 90, which UTF-16 brings back as
// 81 E0: the saved record must still hold 87 90.
constexpr const char* kOther = "表ツ\x87\x90";

struct TreeFile {
  const char* path;  // below kRoot
  size_t size;
  DWORD attributes;  // set after creation; 0 = as created
  bool deleted;      // by the run
};

// With *.TXT from 5 KB, *.BAK and kOther selected, read-only files kept and
// emptied folders removed.
const TreeFile kTree[] = {
    {"big.txt", 6000, 0, true},
    {"small.txt", 100, 0, false},
    {"notes.doc", 10, 0, false},
    {"old.bak", 10, 0, true},
    {"locked.bak", 10, FILE_ATTRIBUTE_READONLY, false},
    {"hidden.bak", 10, FILE_ATTRIBUTE_HIDDEN, false},
    {"data.dat", 10, 0, false},
    {"x.表ツ", 10, 0, true},
    {"y.イ", 10, 0, false},
    {"sub1\\a.bak", 10, 0, true},
    {"sub1\\b.表", 10, 0, true},
    {"sub1\\deeper\\c.bak", 10, 0, true},
    {".git\\x.bak", 10, 0, false},
    {"keep\\y.bak", 10, 0, true},
    {"keep\\z.doc", 10, 0, false},
};
constexpr int kExamined = 13;  // every file but hidden.bak and .git\x.bak
constexpr int kDeleted = 7;

void MakeTree() {
  RemoveTree(kTop);
  RemoveTree(kOutside);
  for (const char* folder : {kTop, kRoot, "\\sub1", "\\sub1\\deeper", "\\.git", "\\keep", kOutside})
    CreateDirectoryW(
        purga::ToWide(folder[0] == '\\' ? kRoot + std::string(folder) : folder).c_str(), nullptr);
  const std::wstring decoy = kDecoy;
  CreateDirectoryW(decoy.substr(0, decoy.rfind(L'\\')).c_str(), nullptr);
  CreateDirectoryW(kDecoy, nullptr);
  HANDLE bak = CreateFileW((decoy + L"\\old.bak").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                           nullptr);
  ASSERT_NE(bak, INVALID_HANDLE_VALUE);
  CloseHandle(bak);
  for (const TreeFile& f : kTree) {
    const std::string path = std::string(kRoot) + "\\" + f.path;
    ASSERT_TRUE(WriteFileBytes(path, std::string(f.size, 'x'))) << path;
    if (f.attributes != 0) SetFileAttributesW(purga::ToWide(path).c_str(), f.attributes);
  }
  ASSERT_TRUE(WriteFileBytes(std::string(kOutside) + "\\outside.bak", "x"));
}

// A status counter of the deletion window, found by its place in the status
// bar ("読み込み件数" at 528, "削除件数" at 666).
HWND Counter(HWND window, int left) {
  return FindDescendant(window, [left](HWND hwnd) {
    const RECT r = RectInParent(hwnd);
    return ClassOf(hwnd) == "PurgaPanel" && r.left == left && r.top == 4;
  });
}

HWND MessageBoxOf(const Program& program, const std::string& caption) {
  return program.WaitWindow(caption, "#32770");
}

class DeletionRun : public testing::Test {
 protected:
  void TearDown() override {
    RemoveTree(kTop);
    RemoveTree(kOutside);
  }
  KeptSettingsFile settings_;
  const std::string& settingsPath_ = settings_.Path();
};

TEST_F(DeletionRun, DeletesWhatTheSettingsSelectAndSavesThemOnClosing) {
  MakeTree();
  Record record = SampleSettings(kRoot);
  record.Text(Record::kOtherExtension, kOther);
  ASSERT_TRUE(WriteFileBytes(settingsPath_, record.Bytes()));

  Program program(Settings().program);
  HWND launcher = WaitLauncher(program);
  ASSERT_NE(launcher, nullptr);
  HWND deleteButton = LauncherButton(launcher, kDeleteButton);
  ASSERT_NE(deleteButton, nullptr);
  Click(deleteButton);
  HWND window = program.WaitWindow(kDeletionWindow, "PurgaForm");
  ASSERT_NE(window, nullptr) << "the deletion window did not open";
  EXPECT_FALSE(IsWindowEnabled(launcher)) << "the launcher takes input under a modal window";

  // The loaded settings are on the window.
  ASSERT_NE(FindControl(window, "PurgaPanel", kRoot), nullptr) << "folder panel";
  Screenshot(window, "deletion-window");

  HWND start = FindControl(window, "PurgaSpeedButton", "Start");
  ASSERT_NE(start, nullptr);
  Click(start);
  HWND confirm = MessageBoxOf(program, kConfirmCaption);
  ASSERT_NE(confirm, nullptr) << "no confirmation";
  Screenshot(confirm, "deletion-confirmation");
  // Nothing is deleted before the answer.
  EXPECT_TRUE(Exists(std::string(kRoot) + "\\big.txt"));
  HWND yes = GetDlgItem(confirm, IDYES);
  ASSERT_NE(yes, nullptr);
  Click(yes);

  HWND examined = Counter(window, 528);
  HWND deleted = Counter(window, 666);
  ASSERT_NE(examined, nullptr);
  ASSERT_NE(deleted, nullptr);
  const bool counted = WaitFor([&] {
    return Text(examined) == std::to_string(kExamined) && Text(deleted) == std::to_string(kDeleted);
  });
  EXPECT_TRUE(counted) << "read " << Text(examined) << ", deleted " << Text(deleted);

  // The disk: the selected files and the emptied folders are gone, nothing
  // else is touched.
  const bool done = WaitFor([] { return !Exists(kRoot + std::string("\\sub1")); });
  EXPECT_TRUE(done) << "the emptied folders were not removed";
  for (const TreeFile& f : kTree) {
    const std::string path = std::string(kRoot) + "\\" + f.path;
    EXPECT_EQ(Exists(path), !f.deleted) << path;
  }
  EXPECT_TRUE(Exists(kRoot + std::string("\\keep")));
  EXPECT_TRUE(Exists(kRoot + std::string("\\.git")));
  EXPECT_NE(GetFileAttributesW((std::wstring(kDecoy) + L"\\old.bak").c_str()),
            INVALID_FILE_ATTRIBUTES)
      << "a run in the folder the record's bytes spell in another code page";
  EXPECT_TRUE(Exists(std::string(kOutside) + "\\outside.bak"));
  Screenshot(window, "deletion-window-after-run");

  // A change on the window, then closing it, writes the record back.
  HWND htmGroup = FindControl(window, "PurgaPanel", "*.HTM");
  ASSERT_NE(htmGroup, nullptr);
  HWND htmDelete = FindControl(htmGroup, "Button", "削除");
  ASSERT_NE(htmDelete, nullptr);
  Click(htmDelete);
  EXPECT_TRUE(WaitFor([&] { return SendMessageA(htmDelete, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); })) << "the window did not close";
  EXPECT_TRUE(IsWindowEnabled(launcher));

  Record expected = record;
  expected.Rule(0, 1, 0, 30);  // *.HTM ticked
  std::string saved;
  ASSERT_TRUE(ReadFileBytes(settingsPath_, saved));
  ASSERT_EQ(saved.size(), 492u);
  for (size_t i = 0; i < saved.size(); ++i)
    EXPECT_EQ(static_cast<int>(static_cast<uint8_t>(saved[i])),
              static_cast<int>(static_cast<uint8_t>(expected.Bytes()[i])))
        << "byte " << i;
  EXPECT_TRUE(program.Close());
}

}  // namespace
}  // namespace e2e
