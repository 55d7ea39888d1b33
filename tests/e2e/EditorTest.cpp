// The file date and attribute editor on the real program: a folder chosen in
// its tree, a file picked in its list with the mouse, the date changed with
// the keyboard, the read-only box ticked, "変更" pressed.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"
// After <windows.h>:
#include <commctrl.h>

namespace e2e {
namespace {

constexpr const char* kFolder = "C:\\purga-e2e-edit";
constexpr const char* kFile = "C:\\purga-e2e-edit\\edit-me.txt";
constexpr const char* kRejected = "指示できないドライブです　 ";

FILETIME LocalToUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0};
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  return utc;
}

SYSTEMTIME LastWriteLocal(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  FILETIME local;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  SYSTEMTIME time{};
  FileTimeToSystemTime(&local, &time);
  return time;
}

bool SetLastWrite(const std::string& path, const FILETIME& time) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
  CloseHandle(file);
  return ok;
}

// A panel of the window that shows `text`.
bool PanelShows(HWND window, const std::string& text) {
  return FindControl(window, "PurgaPanel", text) != nullptr;
}

// Selects nodes of the shell tree by message (no pointers cross the process
// boundary) until the address panel shows `path`: the desktop's children,
// and below the one that holds the drives, the drive, then the folder.
class TreeWalk {
 public:
  TreeWalk(HWND window, HWND tree, HWND status) : window_(window), tree_(tree), status_(status) {}

  // The editor handles the selection change before TVM_SELECTITEM returns;
  // the short wait only covers a repaint of the panel.
  bool Select(HTREEITEM item, const std::string& wanted) {
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return WaitFor([&] { return PanelShows(window_, wanted); }, 500);
  }
  HTREEITEM Child(HTREEITEM item) {
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    return Next(item, TVGN_CHILD);
  }
  HTREEITEM Next(HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  }
  // The child of `parent` whose selection shows `path`.
  HTREEITEM Find(HTREEITEM parent, const std::string& path) {
    for (HTREEITEM c = Child(parent); c != nullptr; c = Next(c, TVGN_NEXT))
      if (Select(c, path)) return c;
    return nullptr;
  }
  // The drive `root` ("C:\"), below the desktop's virtual folder of drives:
  // selecting that folder is refused with the status line's message.
  HTREEITEM FindDrive(HTREEITEM desktop, const std::string& root) {
    for (HTREEITEM c = Child(desktop); c != nullptr; c = Next(c, TVGN_NEXT)) {
      SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(c));
      if (Text(status_) != kRejected) continue;
      if (HTREEITEM drive = Find(c, root)) return drive;
    }
    return nullptr;
  }

 private:
  HWND window_, tree_, status_;
};

TEST(Editor, PicksAFileAndWritesItsDateAndReadOnlyAttribute) {
  RemoveTree(kFolder);
  ASSERT_TRUE(CreateDirectoryA(kFolder, nullptr));
  ASSERT_TRUE(WriteFileBytes(kFile, "a file to change"));
  // 10:15:31 local time: the editor works in steps of two seconds.
  ASSERT_TRUE(SetLastWrite(kFile, LocalToUtc(2015, 6, 15, 10, 15, 31)));

  Program program(Settings().program);
  HWND launcher = WaitLauncher(program);
  ASSERT_NE(launcher, nullptr);
  HWND editButton = LauncherButton(launcher, kEditButton);
  ASSERT_NE(editButton, nullptr);
  Click(editButton);
  HWND window = program.WaitWindow("FileUp", "PurgaForm");
  ASSERT_NE(window, nullptr) << "the editor did not open";
  EXPECT_FALSE(IsWindowEnabled(launcher));

  HWND tree = FindDescendant(window, [](HWND h) { return ClassOf(h) == WC_TREEVIEWA; });
  HWND list = FindDescendant(window, [](HWND h) { return ClassOf(h) == WC_LISTVIEWA; });
  HWND status = FindDescendant(window, [](HWND h) { return ClassOf(h) == STATUSCLASSNAMEA; });
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(list, nullptr);
  ASSERT_NE(status, nullptr);

  TreeWalk walk(window, tree, status);
  HTREEITEM desktop = walk.Next(nullptr, TVGN_ROOT);
  ASSERT_NE(desktop, nullptr);
  HTREEITEM drive = walk.FindDrive(desktop, "C:\\");
  ASSERT_NE(drive, nullptr) << "drive C: not found in the tree";
  ASSERT_NE(walk.Find(drive, kFolder), nullptr) << "folder not found in the tree";
  EXPECT_TRUE(WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }))
      << "the list does not show the folder's one file";

  // Picking the file with the mouse loads the bar.
  RECT listRect;
  GetWindowRect(list, &listRect);
  MouseClick({listRect.left + 40, listRect.top + 8});
  ASSERT_TRUE(WaitFor([&] { return PanelShows(window, kFile); })) << "the file was not picked";
  HWND readOnly = FindControl(window, "Button", "読込み専用");
  HWND change = FindControl(window, "Button", "変更");
  HWND datePicker = FindDescendant(window, [](HWND h) {
    return ClassOf(h) == DATETIMEPICK_CLASSA && RectInParent(h).left == 52;
  });
  ASSERT_NE(readOnly, nullptr);
  ASSERT_NE(change, nullptr);
  ASSERT_NE(datePicker, nullptr);
  EXPECT_EQ(SendMessageA(readOnly, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The file's date and time, the time to the even second below.
  HWND timePicker = FindDescendant(window, [](HWND h) {
    return ClassOf(h) == DATETIMEPICK_CLASSA && RectInParent(h).left == 209;
  });
  ASSERT_NE(timePicker, nullptr);
  EXPECT_EQ(Text(datePicker).rfind("2015", 0), 0u) << Text(datePicker);
  EXPECT_EQ(Text(timePicker), "10:15:30");
  Screenshot(window, "editor");

  // The year is the date's first field: click it, then one step up.
  RECT pickerRect;
  GetWindowRect(datePicker, &pickerRect);
  MouseClick({pickerRect.left + 12, (pickerRect.top + pickerRect.bottom) / 2});
  const bool focused = WaitFor([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus == datePicker;
  });
  ASSERT_TRUE(focused) << "the date picker did not take the focus";
  // One step up, repeated only while the picker shows no change: a press
  // that arrived late would make the year 2017 and fail the test below.
  const std::string before = Text(datePicker);
  bool stepped = false;
  for (int attempt = 0; attempt < 3 && !stepped; ++attempt) {
    PressKey(VK_UP);
    stepped = WaitFor([&] { return Text(datePicker) != before; }, 2000);
  }
  ASSERT_TRUE(stepped) << "the date picker did not take the key";
  EXPECT_EQ(Text(datePicker).rfind("2016", 0), 0u) << Text(datePicker);
  Click(readOnly);
  EXPECT_TRUE(WaitFor([&] { return SendMessageA(readOnly, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  Click(change);

  // One press writes the time (odd second truncated) and then the attribute.
  const bool written = WaitFor([&] {
    return (GetFileAttributesA(kFile) & FILE_ATTRIBUTE_READONLY) != 0 &&
           LastWriteLocal(kFile).wYear == 2016;
  });
  EXPECT_TRUE(written) << "the file was not changed";
  const SYSTEMTIME t = LastWriteLocal(kFile);
  EXPECT_EQ(t.wYear, 2016);
  EXPECT_EQ(t.wMonth, 6);
  EXPECT_EQ(t.wDay, 15);
  EXPECT_EQ(t.wHour, 10);
  EXPECT_EQ(t.wMinute, 15);
  EXPECT_EQ(t.wSecond, 30);
  EXPECT_EQ(GetFileAttributesA(kFile) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  Screenshot(window, "editor-after-change");

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));
  EXPECT_TRUE(program.Close());
  RemoveTree(kFolder);
}

}  // namespace
}  // namespace e2e
