#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/GuiTestSupport.h"
#include "tests/win/ShellTestSupport.h"
#include "ui/model/FileUpdateDateTime.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/ShellMenu.h"
#include "ui/win/ShellNames.h"
// After <windows.h>:
#include <commctrl.h>
#include <shlobj.h>

namespace purga::win {
namespace {

using test::PumpUntil;
using test::RemoveTree;

// The picked file's path in the code page, for comparing with the test's.
std::string Picked() {
  bool exact = false;
  return Os().ToAnsi(SelectedFile, exact);
}

constexpr char kRejectedDriveText[] = "指示できないドライブです　 ";
constexpr char kDateNotShown[] =
    "日付・時間を表示できないファイルです。日付・時間は指示するまで変更しません。";

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

struct FileTimes {
  FILETIME creation{}, access{}, write{};
};

FileTimes TimesOf(const std::wstring& path) {
  FileTimes times;
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  GetFileTime(file, &times.creation, &times.access, &times.write);
  CloseHandle(file);
  return times;
}
FileTimes TimesOf(const std::string& path) { return TimesOf(ToWide(path)); }

uint64_t Ticks(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The last-write time of a file as local calendar time.
CivilDateTime LocalWriteTime(const std::wstring& path) {
  FILETIME local{};
  SYSTEMTIME when{};
  const FILETIME write = TimesOf(path).write;
  FileTimeToLocalFileTime(&write, &local);
  FileTimeToSystemTime(&local, &when);
  return FromSystemTime(when);
}
CivilDateTime LocalWriteTime(const std::string& path) { return LocalWriteTime(ToWide(path)); }

void SetLocalWriteTime(const std::string& path, const CivilDateTime& when) {
  const SYSTEMTIME system = ToSystemTime(when);
  FILETIME local{}, utc{};
  SystemTimeToFileTime(&system, &local);
  LocalFileTimeToFileTime(&local, &utc);
  HANDLE file = CreateFileW(ToWide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  SetFileTime(file, nullptr, nullptr, &utc);
  CloseHandle(file);
}

std::vector<int> Fields(const CivilDateTime& when) {
  return {when.year, when.month, when.day, when.hour, when.minute, when.second};
}

void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
  HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, "data", 4, &written, nullptr);
  CloseHandle(file);
  SetFileAttributesW(ToWide(path).c_str(), attributes);
}

class FileUpdateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InstallWin32Platform();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    base_ = std::string(temp) + "purga_file_update";
    RemoveTree(ToWide(base_));
    CreateDirectoryW(ToWide(base_).c_str(), nullptr);
    window_ = new TFileUp();
    window_->Form::Show();
  }
  static void TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
    RemoveTree(ToWide(base_));
  }
  TFileUp& Window() { return *window_; }
  ShellList& List() { return window_->ShellListView1; }
  // A fresh folder of this test, shown in the list.
  std::string ShowFolder(const std::string& name) {
    const std::string folder = base_ + "\\" + name;
    CreateDirectoryW(ToWide(folder).c_str(), nullptr);
    HTREEITEM item = window_->ShellTreeView1.Reveal(folder);
    EXPECT_NE(item, nullptr) << folder;
    window_->ShellTreeView1.Select(item);
    EXPECT_EQ(List().Root(), folder);
    return folder;
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int i = 0; i < List().ItemCount(); ++i) {
      const std::string path = List().ParsingNameOf(i).text;
      rows.push_back(path.substr(path.find_last_of('\\') + 1));
    }
    return rows;
  }
  // Picks the file as a mouse press on its row would.
  void Pick(const std::string& path) {
    const int row = List().IndexOf(path);
    ASSERT_GE(row, 0) << path;
    List().SelectIndex(row);
    window_->ShellListView1MouseDown();
  }
  void SetPickers(const CivilDateTime& when) {
    window_->DateTimePicker1.SetValue(DatePart(EncodeDateTime(when)));
    window_->DateTimePicker2.SetValue(TimePart(EncodeDateTime(when)));
  }
  CivilDateTime Pickers() {
    return DecodeDateTime(
        CombineDateTime(window_->DateTimePicker1.Value(), window_->DateTimePicker2.Value()));
  }
  void SetReadOnlyBox(bool ticked) {
    const bool now = SendMessageA(window_->CheckBox1.Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (now != ticked) SendMessageA(window_->CheckBox1.Handle(), BM_CLICK, 0, 0);
  }
  void PressChange() { SendMessageA(window_->BitBtn1.Handle(), BM_CLICK, 0, 0); }

  static inline std::string base_;
  static inline TFileUp* window_ = nullptr;
};

TEST_F(FileUpdateTest, ControlsWhereTheFormPutsThem) {
  HWND hwnd = Window().Handle();
  char caption[32] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  EXPECT_STREQ(caption, "FileUp");
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  EXPECT_EQ((std::vector<LONG>{outer.left, outer.top, outer.right - outer.left,
                               outer.bottom - outer.top}),
            (std::vector<LONG>{220, 151, 721, 470}));
  const int w = client.right, h = client.bottom;
  const int paneWidth = w - 194, paneHeight = h - 25 - 19;
  const struct {
    Control& control;
    const char* className;
    const char* caption;
    Bounds bounds;
  } cases[] = {
      {Window().Panel2, "PurgaPanel", "アドレス", {0, 0, 67, 25}},
      {Window().Panel3, "PurgaPanel", nullptr, {67, 0, w - 67, 25}},
      {Window().ShellTreeView1, "SysTreeView32", nullptr, {0, 25, 189, paneHeight}},
      {Window().Splitter1, "PurgaSplitter", nullptr, {189, 25, 5, paneHeight}},
      {Window().ShellListView1, "SysListView32", nullptr, {0, 0, paneWidth, paneHeight - 69}},
      {Window().Panel5, "PurgaPanel", nullptr, {0, paneHeight - 69, paneWidth, 69}},
      {Window().Label3, "Static", "ﾌｧｲﾙ名", {8, 16, -1, -1}},
      {Window().PatsUp, "PurgaPanel", nullptr, {52, 8, 449, 21}},
      {Window().Label1, "Static", "日付", {24, 45, -1, -1}},
      {Window().DateTimePicker1, "SysDateTimePick32", nullptr, {52, 41, 101, 21}},
      {Window().Label2, "Static", "時間", {178, 45, -1, -1}},
      {Window().DateTimePicker2, "SysDateTimePick32", nullptr, {209, 41, 75, 21}},
      {Window().CheckBox1, "Button", "読込み専用", {314, 44, 97, 17}},
      {Window().BitBtn1, "Button", "変更", {440, 40, 61, 25}},
      {Window().StatusBar1, "msctls_statusbar32", nullptr, {0, h - 19, w, 19}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control.Name());
    EXPECT_EQ(ClassOf(c.control.Handle()), c.className);
    Bounds bounds = c.control.GetBounds();
    if (c.bounds.width < 0) bounds.width = bounds.height = -1;  // labels size to their text
    EXPECT_EQ(bounds, c.bounds);
    if (c.caption != nullptr) {
      EXPECT_EQ(c.control.Text(), c.caption);
    }
  }
  const auto style = [](Control& c) { return GetWindowLongPtrA(c.Handle(), GWL_STYLE); };
  EXPECT_EQ(style(Window().DateTimePicker1) & (DTS_SHORTDATEFORMAT | DTS_UPDOWN | DTS_TIMEFORMAT),
            DTS_SHORTDATEFORMAT | DTS_UPDOWN);
  EXPECT_EQ(style(Window().DateTimePicker2) & DTS_TIMEFORMAT, DTS_TIMEFORMAT);
  for (Control* picker : {&Window().DateTimePicker1, &Window().DateTimePicker2}) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(picker->Handle(), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -13);
  }
  EXPECT_EQ(style(Window().ShellListView1) &
                (LVS_TYPEMASK | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | WS_TABSTOP),
            LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS);
  EXPECT_TRUE(SendMessageA(List().Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
              LVS_EX_FULLROWSELECT);
  EXPECT_EQ(style(Window().ShellTreeView1) & WS_TABSTOP, 0);
  // The edit bar's tab order.
  HWND next = Window().DateTimePicker1.Handle();
  std::vector<HWND> order;
  for (int i = 0; i < 4; ++i) {
    order.push_back(next);
    next = GetNextDlgTabItem(hwnd, next, FALSE);
  }
  EXPECT_EQ(order,
            (std::vector<HWND>{Window().DateTimePicker1.Handle(), Window().DateTimePicker2.Handle(),
                               Window().CheckBox1.Handle(), Window().BitBtn1.Handle()}));
  EXPECT_EQ(next, Window().DateTimePicker1.Handle());
}

TEST_F(FileUpdateTest, StartsWithTheDesktopFolder) {
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop), S_OK);
  Window().ShellTreeView1.Select(TreeView_GetRoot(Window().ShellTreeView1.Handle()));
  EXPECT_EQ(List().Root(), ToAnsiExact(desktop).text);
  EXPECT_EQ(Window().Panel3.Text(), ToAnsiExact(desktop).text);
}

TEST_F(FileUpdateTest, TreeSelectionRules) {
  const std::string listed = ShowFolder("rules");
  // The computer has no drive path.
  HWND tree = Window().ShellTreeView1.Handle();
  HTREEITEM computer = nullptr;
  for (auto child = TreeView_GetChild(tree, TreeView_GetRoot(tree)); child != nullptr;
       child = TreeView_GetNextSibling(tree, child))
    if (Window().ShellTreeView1.PathOf(child).text.rfind("::{", 0) == 0) computer = child;
  ASSERT_NE(computer, nullptr);
  Window().ShellTreeView1.Select(computer);
  EXPECT_EQ(Window().StatusBar1.Text(), kRejectedDriveText);
  EXPECT_EQ(List().Root(), listed);
  EXPECT_EQ(Window().Panel3.Text(), listed);

  // "Favorites" keeps the list and clears the status line.
  const std::string favourites = base_ + "\\Favorites";
  CreateDirectoryW(ToWide(favourites).c_str(), nullptr);
  Window().ShellTreeView1.Select(Window().ShellTreeView1.Reveal(favourites));
  EXPECT_EQ(Window().StatusBar1.Text(), "  ");
  EXPECT_EQ(List().Root(), listed);

  const std::string lower = ShowFolder("my favorites");
  EXPECT_EQ(Window().Panel3.Text(), lower);
}

TEST_F(FileUpdateTest, ListsFilesOnlyInShellOrderWithDetails) {
  const std::string folder = ShowFolder("listing");
  MakeFile(folder + "\\b.txt");
  MakeFile(folder + "\\a.txt");
  MakeFile(folder + "\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  CreateDirectoryW(ToWide((folder + "\\sub")).c_str(), nullptr);
  List().Refresh();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_GE(List().ColumnCount(), 3);
  EXPECT_FALSE(List().IsFolder(0));
  EXPECT_NE(List().CellText(0, 0).find(L"a"), std::wstring::npos);
  EXPECT_FALSE(List().CellText(0, 1).empty());
}

TEST_F(FileUpdateTest, FolderChangesReReadTheList) {
  const std::string folder = ShowFolder("watched");
  MakeFile(folder + "\\first.txt");
  ASSERT_TRUE(PumpUntil([&] { return Rows() == std::vector<std::string>{"first.txt"}; }));
  List().SelectIndex(0);
  // Another program makes a file: the list follows, keeping its selection.
  std::string command = "cmd.exe /c type nul > \"" + folder + "\\second.txt\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 20000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_TRUE(PumpUntil([&] {
    return Rows() == std::vector<std::string>{"first.txt", "second.txt"};
  }));
  EXPECT_EQ(List().SelectedIndex(), 0);
  MoveFileW(ToWide((folder + "\\first.txt")).c_str(), ToWide((folder + "\\third.txt")).c_str());
  EXPECT_TRUE(PumpUntil([&] {
    return Rows() == std::vector<std::string>{"second.txt", "third.txt"};
  }));
  DeleteFileW(ToWide((folder + "\\second.txt")).c_str());
  EXPECT_TRUE(PumpUntil([&] { return Rows() == std::vector<std::string>{"third.txt"}; }));
}

TEST_F(FileUpdateTest, ChangeWritesTheEvenSecondAndOnlyTheLastWriteTime) {
  const std::string folder = ShowFolder("write");
  const std::string file = folder + "\\note.txt";
  MakeFile(file);
  SetLocalWriteTime(file, {2021, 6, 15, 10, 15, 31});
  List().Refresh();
  Pick(file);
  EXPECT_EQ(Picked(), file);
  EXPECT_EQ(Window().PatsUp.Text(), file);
  EXPECT_EQ(Fields(Pickers()), (std::vector<int>{2021, 6, 15, 10, 15, 30}));
  EXPECT_EQ(SendMessageA(Window().CheckBox1.Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  const FileTimes before = TimesOf(file);
  SetPickers({2019, 2, 3, 4, 5, 7});
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(file)), (std::vector<int>{2019, 2, 3, 4, 5, 6}));
  // Wine derives a file's creation time from its change and modification
  // times, so only the access time can be compared here; that nothing but
  // the last-write time is passed on is shown by the native tests.
  EXPECT_EQ(Ticks(TimesOf(file).access), Ticks(before.access));
  // Picked again, it shows what was written.
  SetPickers({2000, 1, 1, 0, 0, 0});
  Pick(file);
  EXPECT_EQ(Fields(Pickers()), (std::vector<int>{2019, 2, 3, 4, 5, 6}));

  // Years the packed form cannot hold leave the time alone.
  for (const CivilDateTime& when :
       {CivilDateTime{1979, 12, 31, 23, 59, 58}, CivilDateTime{2108, 1, 1, 0, 0, 0}}) {
    SetPickers(when);
    PressChange();
    EXPECT_EQ(Fields(LocalWriteTime(file)), (std::vector<int>{2019, 2, 3, 4, 5, 6}));
  }
}

TEST_F(FileUpdateTest, ReadOnlyFileGetsItsTimeOnceTheBoxIsCleared) {
  const std::string folder = ShowFolder("readonly");
  const std::string file = folder + "\\locked.txt";
  MakeFile(file);
  SetLocalWriteTime(file, {2022, 1, 2, 3, 4, 6});
  SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
  List().Refresh();
  Pick(file);
  EXPECT_EQ(SelectedReadOnly, 1);
  EXPECT_EQ(SendMessageA(Window().CheckBox1.Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);

  SetPickers({2020, 5, 6, 7, 8, 10});
  PressChange();  // still read-only: the file does not open for writing
  EXPECT_EQ(Fields(LocalWriteTime(file)), (std::vector<int>{2022, 1, 2, 3, 4, 6}));
  EXPECT_TRUE(GetFileAttributesW(ToWide(file).c_str()) & FILE_ATTRIBUTE_READONLY);

  SetReadOnlyBox(false);
  PressChange();  // the attribute goes first, after the time step
  EXPECT_EQ(Fields(LocalWriteTime(file)), (std::vector<int>{2022, 1, 2, 3, 4, 6}));
  EXPECT_FALSE(GetFileAttributesW(ToWide(file).c_str()) & FILE_ATTRIBUTE_READONLY);

  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(file)), (std::vector<int>{2020, 5, 6, 7, 8, 10}));
}

TEST_F(FileUpdateTest, ChangeClearsSystemBitAndSetsExactlyTheBox) {
  const std::string folder = ShowFolder("bits");
  const std::string file = folder + "\\system.txt";
  MakeFile(file, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(GetFileAttributesW(ToWide(file).c_str()) & FILE_ATTRIBUTE_SYSTEM);
  List().Refresh();
  Pick(file);
  SetReadOnlyBox(true);
  PressChange();
  // Wine reports the archive bit on every file; read-only and no system bit.
  EXPECT_EQ(GetFileAttributesW(ToWide(file).c_str()) & ~FILE_ATTRIBUTE_ARCHIVE,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetReadOnlyBox(false);
  PressChange();
  EXPECT_EQ(GetFileAttributesW(ToWide(file).c_str()) & ~FILE_ATTRIBUTE_ARCHIVE, 0u);
}

TEST_F(FileUpdateTest, PressesThatPickNothingChangeNothing) {
  const std::string folder = ShowFolder("nothing");
  const std::string kept = folder + "\\kept.txt";
  MakeFile(kept);
  CreateDirectoryW(ToWide((folder + "\\sub")).c_str(), nullptr);
  List().Refresh();
  Pick(kept);
  ASSERT_EQ(Picked(), kept);
  // A press on empty space selects nothing.
  LVITEMA none{};
  none.stateMask = LVIS_SELECTED;
  SendMessageA(List().Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(&none));
  ASSERT_EQ(List().SelectedIndex(), -1);
  Window().ShellListView1MouseDown();
  EXPECT_EQ(Picked(), kept);
  EXPECT_EQ(Window().PatsUp.Text(), kept);
}

TEST_F(FileUpdateTest, AVanishedFileIsPickedAndChangeTouchesNoOtherFile) {
  const std::string folder = ShowFolder("vanished");
  const std::string kept = folder + "\\kept.txt";
  const std::string gone = folder + "\\gone.txt";
  MakeFile(kept);
  MakeFile(gone);
  SetLocalWriteTime(kept, {2010, 10, 10, 10, 10, 10});
  List().Refresh();
  Pick(kept);
  ASSERT_EQ(Picked(), kept);
  // The file vanishes after the list showed it (the list has not re-read).
  const int row = List().IndexOf(gone);
  ASSERT_GE(row, 0);
  ASSERT_TRUE(DeleteFileW(ToWide(gone).c_str()));
  List().SelectIndex(row);
  Window().ShellListView1MouseDown();
  EXPECT_EQ(Picked(), gone);
  EXPECT_EQ(Window().PatsUp.Text(), gone);
  EXPECT_EQ(Window().StatusBar1.Text(), "ファイルが見つかりません。");
  // The pickers were never loaded from it; "変更" changes nothing anywhere.
  EXPECT_EQ(Fields(Pickers()), (std::vector<int>{2010, 10, 10, 10, 10, 10}));
  SetReadOnlyBox(true);
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(kept)), (std::vector<int>{2010, 10, 10, 10, 10, 10}));
  EXPECT_FALSE(GetFileAttributesW(ToWide(kept).c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesW(ToWide(gone).c_str()), INVALID_FILE_ATTRIBUTES);
  SetReadOnlyBox(false);
}

TEST_F(FileUpdateTest, ChangeNeverWritesADateTheFileWasNotShownWith) {
  const std::string folder = ShowFolder("stale");
  const std::string shown = folder + "\\shown.txt";
  const std::string old = folder + "\\old.txt";
  MakeFile(shown);
  MakeFile(old);
  SetLocalWriteTime(shown, {2021, 6, 15, 10, 15, 30});
  SetLocalWriteTime(old, {1975, 6, 1, 12, 0, 0});  // before the packed form's years
  List().Refresh();
  Pick(shown);
  Pick(old);
  ASSERT_EQ(Picked(), old);
  EXPECT_EQ(Window().StatusBar1.Text(), kDateNotShown);
  EXPECT_EQ(Fields(Pickers()), (std::vector<int>{2021, 6, 15, 10, 15, 30}));

  // Pressed only to tick the box: the other file's date is not written.
  SetReadOnlyBox(true);
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(old)), (std::vector<int>{1975, 6, 1, 12, 0, 0}));
  EXPECT_TRUE(GetFileAttributesW(ToWide(old).c_str()) & FILE_ATTRIBUTE_READONLY);
  SetReadOnlyBox(false);
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(old)), (std::vector<int>{1975, 6, 1, 12, 0, 0}));

  // The user steps the year with the keyboard: now "変更" writes the pickers.
  HWND picker = Window().DateTimePicker1.Handle();
  SetFocus(picker);
  RECT r{};
  GetClientRect(picker, &r);
  const LPARAM year = MAKELPARAM(8, (r.top + r.bottom) / 2);
  SendMessageA(picker, WM_LBUTTONDOWN, MK_LBUTTON, year);
  SendMessageA(picker, WM_LBUTTONUP, 0, year);
  SendMessageA(picker, WM_KEYDOWN, VK_UP, 0);
  SendMessageA(picker, WM_KEYUP, VK_UP, 0);
  ASSERT_EQ(Fields(Pickers()), (std::vector<int>{2022, 6, 15, 10, 15, 30}));
  EXPECT_EQ(Window().StatusBar1.Text(), "  ");
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(old)), (std::vector<int>{2022, 6, 15, 10, 15, 30}));
  EXPECT_EQ(Fields(LocalWriteTime(shown)), (std::vector<int>{2021, 6, 15, 10, 15, 30}));
}

TEST_F(FileUpdateTest, AFileNamedOutsideTheCodePageIsChangedThroughTheList) {
  const std::string folder = ShowFolder("wide");
  const std::string decoy = folder + "\\cafe.txt";  // what best fit would make of "café"
  MakeFile(decoy);
  const std::wstring wide = ToWide(folder) + L"\\caf\u00e9 \U0001F600.txt";
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  List().Refresh();
  int row = -1;
  for (int i = 0; i < List().ItemCount(); ++i)
    if (List().FullPathOf(i) == wide) row = i;
  ASSERT_GE(row, 0);
  List().SelectIndex(row);
  Window().ShellListView1MouseDown();
  EXPECT_EQ(SelectedFile, std::u16string(wide.begin(), wide.end()));
  EXPECT_EQ(Window().PatsUp.Text(), folder + "\\caf? ?.txt");
  EXPECT_EQ(Window().StatusBar1.Text(), "  ");

  const uint64_t before = Ticks(TimesOf(decoy).write);
  SetPickers({2021, 3, 4, 5, 6, 8});
  SetReadOnlyBox(true);
  PressChange();
  EXPECT_EQ(Fields(LocalWriteTime(wide)), (std::vector<int>{2021, 3, 4, 5, 6, 8}));
  EXPECT_NE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(Ticks(TimesOf(decoy).write), before);
  EXPECT_EQ(GetFileAttributesW(ToWide(decoy).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Right-clicks `item` and, once the shell's menu shows, hands its window to
// `onMenu` on another thread (the menu runs its own loop on this one).
// False when no menu showed.
bool RightClickNode(ShellTree& shellTree, HTREEITEM item,
                    const std::function<void(HWND menu)>& onMenu) {
  HWND tree = shellTree.Handle();
  RECT r{};
  TreeView_EnsureVisible(tree, item);
  if (!TreeView_GetItemRect(tree, item, &r, TRUE)) return false;
  POINT screen{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  const LPARAM at = MAKELPARAM(screen.x, screen.y);
  ClientToScreen(tree, &screen);
  SetCursorPos(screen.x, screen.y);
  std::atomic<bool> menuSeen{false};
  std::thread closer([&] {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
      HWND menu = FindWindowA("#32768", nullptr);
      if (menu != nullptr && IsWindowVisible(menu)) {
        menuSeen = true;
        onMenu(menu);
        return;
      }
      Sleep(5);  // polling the window list, bounded by the deadline
    }
  });
  PostMessageA(tree, WM_RBUTTONUP, 0, at);
  SendMessageA(tree, WM_RBUTTONDOWN, MK_RBUTTON, at);
  closer.join();
  return menuSeen;
}

void CloseMenu(HWND menu) { PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0); }

TEST_F(FileUpdateTest, RightClickOnATreeNodeShowsTheShellMenuKeepingTheSelection) {
  const std::string folder = ShowFolder("menu");
  const HTREEITEM selected = Window().ShellTreeView1.Selected();
  // The desktop's menu, then a folder's: the menu's messages reach the
  // shell's own handler while it is up.
  for (HTREEITEM item : {TreeView_GetRoot(Window().ShellTreeView1.Handle()), selected}) {
    const unsigned before = ForwardedMenuMessages();
    EXPECT_TRUE(RightClickNode(Window().ShellTreeView1, item, CloseMenu));
    EXPECT_GT(ForwardedMenuMessages(), before);
    EXPECT_EQ(Window().ShellTreeView1.Selected(), selected);
    EXPECT_EQ(List().Root(), folder);
  }
}

// The names of a node's sub-nodes, and whether each is expanded.
std::vector<std::string> SubNodes(ShellTree& tree, HTREEITEM item) {
  std::vector<std::string> names;
  HWND hwnd = tree.Handle();
  for (HTREEITEM c = TreeView_GetChild(hwnd, item); c != nullptr;
       c = TreeView_GetNextSibling(hwnd, c)) {
    const std::string path = tree.PathOf(c).text;
    const bool expanded = (TreeView_GetItemState(hwnd, c, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    names.push_back(path.substr(path.find_last_of('\\') + 1) + (expanded ? " +" : ""));
  }
  return names;
}

TEST_F(FileUpdateTest, RenameThroughTheShellMenuReReadsTheFolder) {
  const std::string folder = ShowFolder("menu-rename");
  CreateDirectoryW(ToWide((folder + "\\before")).c_str(), nullptr);
  ShellTree& tree = Window().ShellTreeView1;
  const HTREEITEM parent = tree.Reveal(folder);
  const HTREEITEM item = tree.Reveal(folder + "\\before");
  ASSERT_NE(item, nullptr);
  // Made since the tree read the folder: the command's re-read shows it.
  CreateDirectoryW(ToWide((folder + "\\made-outside")).c_str(), nullptr);
  // "名前の変更(&R)" edits the name in place.
  ASSERT_TRUE(RightClickNode(tree, item, [](HWND menu) { PostMessageA(menu, WM_CHAR, 'r', 0); }));
  HWND edit = TreeView_GetEditControl(tree.Handle());
  ASSERT_NE(edit, nullptr) << "no label edit";
  SetWindowTextW(edit, L"after");
  TreeView_EndEditLabelNow(tree.Handle(), FALSE);
  EXPECT_NE(GetFileAttributesW(ToWide((folder + "\\after")).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(SubNodes(tree, parent), (std::vector<std::string>{"after", "made-outside"}));
}

TEST_F(FileUpdateTest, ExpandingANodeAgainReReadsItKeepingWhatIsExpandedBelow) {
  const std::string folder = ShowFolder("expand");
  for (const char* name : {"\\a", "\\a\\inner", "\\b"})
    CreateDirectoryW(ToWide((folder + name)).c_str(), nullptr);
  ShellTree& tree = Window().ShellTreeView1;
  ASSERT_NE(tree.Reveal(folder + "\\a\\inner"), nullptr);
  const HTREEITEM item = tree.Selected();
  ASSERT_EQ(tree.PathOf(item).text, folder);
  EXPECT_EQ(SubNodes(tree, item), (std::vector<std::string>{"a +", "b"}));
  CreateDirectoryW(ToWide((folder + "\\c")).c_str(), nullptr);
  RemoveDirectoryW(ToWide((folder + "\\b")).c_str());
  // Collapsed and expanded again with the keyboard, as a user would.
  SetFocus(tree.Handle());
  SendMessageA(tree.Handle(), WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_FALSE(TreeView_GetItemState(tree.Handle(), item, TVIS_EXPANDED) & TVIS_EXPANDED);
  SendMessageA(tree.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(SubNodes(tree, item), (std::vector<std::string>{"a +", "c"}));
  EXPECT_EQ(tree.Selected(), item);
}

TEST_F(FileUpdateTest, LabelEditRenamesTheFileOnDisk) {
  const std::string folder = ShowFolder("rename");
  MakeFile(folder + "\\old.txt");
  List().Refresh();
  ASSERT_EQ(Rows(), std::vector<std::string>{"old.txt"});
  SetFocus(List().Handle());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(List().Handle(), LVM_EDITLABELA, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"new.txt");
  SetFocus(Window().BitBtn1.Handle());  // leaving the edit keeps the name
  EXPECT_TRUE(PumpUntil([&] { return Rows() == std::vector<std::string>{"new.txt"}; }));
  EXPECT_NE(GetFileAttributesW(ToWide((folder + "\\new.txt")).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(List().SelectedIndex(), 0);
}

TEST_F(FileUpdateTest, MouseClickOnARowPicksIt) {
  const std::string folder = ShowFolder("click");
  MakeFile(folder + "\\one.txt");
  MakeFile(folder + "\\two.txt");
  SetLocalWriteTime(folder + "\\two.txt", {2015, 3, 4, 5, 6, 8});
  List().Refresh();
  ASSERT_EQ(Rows(), (std::vector<std::string>{"one.txt", "two.txt"}));
  RECT row{LVIR_LABEL, 0, 0, 0};
  SendMessageA(List().Handle(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM(row.left + 4, (row.top + row.bottom) / 2);
  PostMessageA(List().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(List().Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_TRUE(PumpUntil([&] { return Picked() == folder + "\\two.txt"; }));
  EXPECT_EQ(Fields(Pickers()), (std::vector<int>{2015, 3, 4, 5, 6, 8}));

  // A picture for a person to look at.
  EXPECT_TRUE(test::SaveWindowBitmap(Window().Handle(), test::TestExeFolder() + "FileUp.bmp"));
}

}  // namespace
}  // namespace purga::win
