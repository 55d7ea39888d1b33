#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/GuiTestSupport.h"
#include "tests/win/ShellTestSupport.h"
#include "ui/win/FolderSelect.h"
#include "ui/win/ShellNames.h"
// After <windows.h>:
#include <commctrl.h>
#include <shlobj.h>

namespace purga::win {
namespace {

using test::MessageBoxAnswerer;
using test::PumpUntil;
using test::RemoveTree;

constexpr char kConfirm[] = "確認";
constexpr char kNotSelectable[] = "選択できないフォルダーです。";

std::string TempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, buffer);
  return ToAnsiExact(buffer).text;
}

std::wstring CurrentDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, buffer);
  return buffer;
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM item) {
  std::vector<HTREEITEM> children;
  for (auto child = TreeView_GetChild(tree, item); child != nullptr;
       child = TreeView_GetNextSibling(tree, child))
    children.push_back(child);
  return children;
}

bool Expanded(HWND tree, HTREEITEM item) {
  return (TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

// What one press of "設 定" did.
struct SetOutcome {
  int result = 0;
  bool closed = false;  // the press itself ended the modal showing
  bool boxSeen = false;
  bool boxIcon = false;
  std::string boxText;
};

// Shows the dialog modally, presses "設 定" and answers the box with
// `boxCaption` (when one is expected) with `answer`. A press of "ｷｬﾝｾﾙ"
// queued behind ends the showing if the set button did not: when it is
// still waiting afterwards, the set button closed the dialog.
SetOutcome PressSet(TSelect_Folder& dialog, const std::string& boxCaption = {}, int answer = IDOK) {
  HWND cancel = dialog.SpeedButton2.Handle();
  PostMessageA(dialog.SpeedButton1.Handle(), BM_CLICK, 0, 0);
  std::unique_ptr<MessageBoxAnswerer> box;
  if (!boxCaption.empty()) box = std::make_unique<MessageBoxAnswerer>(boxCaption, answer);
  std::thread canceller([&] {
    if (box) box->Wait();
    PostMessageA(cancel, BM_CLICK, 0, 0);
  });
  SetOutcome outcome;
  outcome.result = dialog.ShowModal(nullptr);
  canceller.join();
  MSG msg;
  outcome.closed = PeekMessageA(&msg, cancel, BM_CLICK, BM_CLICK, PM_REMOVE) != 0;
  if (box) {
    outcome.boxSeen = box->Wait();
    outcome.boxText = box->Text();
    outcome.boxIcon = box->HadIcon();
  }
  return outcome;
}

class FolderSelectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InstallWin32Platform();
    base_ = TempFolder() + "purga_folder_dialog";
    RemoveTree(ToWide(base_));
    CreateDirectoryW(ToWide(base_).c_str(), nullptr);
    dialog_ = new TSelect_Folder();
  }
  static void TearDownTestSuite() {
    delete dialog_;
    dialog_ = nullptr;
    RemoveTree(ToWide(base_));
  }
  TSelect_Folder& Dialog() { return *dialog_; }
  HWND Tree() { return dialog_->ShellTreeView1.Handle(); }
  // Selects the tree's node of `path`, reading the nodes on the way.
  HTREEITEM SelectFolder(const std::string& path) {
    HTREEITEM item = dialog_->ShellTreeView1.Reveal(path);
    EXPECT_NE(item, nullptr) << path;
    if (item != nullptr) dialog_->ShellTreeView1.Select(item);
    return item;
  }
  std::string MakeFolder(const std::string& name) {
    const std::string path = base_ + "\\" + name;
    CreateDirectoryW(ToWide(path).c_str(), nullptr);
    return path;
  }

  static inline std::string base_;
  static inline TSelect_Folder* dialog_ = nullptr;
};

TEST_F(FolderSelectTest, TreeStartsAtTheDesktopExpandedAndSelected) {
  HWND tree = Tree();
  const HTREEITEM root = TreeView_GetRoot(tree);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(TreeView_GetNextSibling(tree, root), nullptr);  // the one top node
  EXPECT_TRUE(Expanded(tree, root));
  EXPECT_FALSE(Children(tree, root).empty());
  EXPECT_EQ(TreeView_GetIndent(tree), 19u);
  const LONG_PTR style = GetWindowLongPtrA(tree, GWL_STYLE);
  EXPECT_EQ(style & (TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT),
            TVS_HASBUTTONS | TVS_HASLINES);
  // Built selected: the change event gave the desktop folder's path.
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop), S_OK);
  Dialog().ShellTreeView1.Select(root);
  EXPECT_EQ(Dialog().RefreshNode, root);
  EXPECT_EQ(Dialog().FolderPath, ToAnsiExact(desktop).text);
  EXPECT_EQ(Dialog().Panel3.Text(), Dialog().FolderPath);
  // The computer is among the top-level folders, as a virtual folder.
  bool computer = false;
  for (HTREEITEM child : Children(tree, root))
    computer |= lstrcmpiA(Dialog().ShellTreeView1.PathOf(child).text.c_str(),
                          "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}") == 0;
  EXPECT_TRUE(computer);
}

TEST_F(FolderSelectTest, LayoutOfBarButtonsAndTree) {
  HWND hwnd = Dialog().Handle();
  char caption[64] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  EXPECT_STREQ(caption, "Select_Folder");
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  EXPECT_EQ(outer.right - outer.left, 631);
  EXPECT_EQ(outer.bottom - outer.top, 411);
  const int width = client.right;
  const struct {
    Control& control;
    const char* caption;
    Bounds bounds;
  } cases[] = {
      {Dialog().Panel3, nullptr, {0, 0, width - 159, 28}},
      {Dialog().SpeedButton2, "ｷｬﾝｾﾙ", {3, 3, 52, 22}},
      {Dialog().SpeedButton1, "設 定", {54, 3, 52, 22}},
      {Dialog().SpeedButton3, "ﾘﾌﾚｯｼｭ", {106, 3, 52, 22}},
      {Dialog().ShellTreeView1, nullptr, {0, 28, width, client.bottom - 28}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control.Name());
    EXPECT_EQ(c.control.GetBounds(), c.bounds);
    if (c.caption != nullptr) {
      EXPECT_EQ(c.control.Text(), c.caption);
    }
  }
  // The button group sits at the bar's right end.
  RECT group;
  GetWindowRect(GetParent(Dialog().SpeedButton1.Handle()), &group);
  MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&group), 2);
  EXPECT_EQ(group.left, width - 159);
  EXPECT_EQ(group.right, width);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(Tree(), WM_GETFONT, 0, 0)), Dialog().Font());
}

TEST_F(FolderSelectTest, RefusesVirtualNetworkAndMissingDrives) {
  const HTREEITEM root = TreeView_GetRoot(Tree());
  HTREEITEM computer = nullptr;
  for (HTREEITEM child : Children(Tree(), root))
    if (Dialog().ShellTreeView1.PathOf(child).text.rfind("::{", 0) == 0) computer = child;
  ASSERT_NE(computer, nullptr);
  for (const char* path : {"computer", "\\\\server\\share\\folder", "Q:\\nodrive"}) {
    SCOPED_TRACE(path);
    if (std::string(path) == "computer")
      Dialog().ShellTreeView1.Select(computer);
    else
      Dialog().SelectionChanged(path, true);
    const std::wstring before = CurrentDirectory();
    const SetOutcome outcome = PressSet(Dialog(), kConfirm);
    EXPECT_TRUE(outcome.boxSeen);
    EXPECT_EQ(outcome.boxText, kNotSelectable);
    EXPECT_FALSE(outcome.boxIcon);
    EXPECT_FALSE(outcome.closed);
    EXPECT_EQ(Dialog().FolderSet, 0);
    EXPECT_EQ(CurrentDirectory(), before);
  }
}

TEST_F(FolderSelectTest, EmptyPathTellsAndCloses) {
  Dialog().SelectionChanged("", true);
  const SetOutcome outcome = PressSet(Dialog(), kConfirm);
  EXPECT_EQ(outcome.boxText, "フォルダーの指示が間違い");
  EXPECT_TRUE(outcome.closed);
  EXPECT_EQ(Dialog().FolderSet, 0);
}

TEST_F(FolderSelectTest, AcceptsAFolderWithoutQuestion) {
  // The chosen path is the program's code page 932 bytes, whatever the
  // system's code page: "ソ" and "表" end in '\\', "ツ" in 'c'.
  for (const char* name : {"accepted", "ソフト表ツ"}) {
    const std::string folder = MakeFolder(name);
    SelectFolder(folder);
    EXPECT_EQ(Dialog().FolderPath, folder);
    const std::wstring before = CurrentDirectory();
    const SetOutcome outcome = PressSet(Dialog());
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(Dialog().FolderSet, 1);
    EXPECT_EQ(Dialog().FolderPath, folder);
    EXPECT_EQ(CurrentDirectory(), before);
    // The next showing starts afresh, with the path where it was.
    PostMessageA(Dialog().SpeedButton2.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Dialog().ShowModal(nullptr), IDCANCEL);
    EXPECT_EQ(Dialog().FolderSet, 0);
    EXPECT_EQ(Dialog().Panel3.Text(), folder);
  }
}

TEST_F(FolderSelectTest, DriveRootAsksFirst) {
  SelectFolder("C:\\");
  ASSERT_EQ(Dialog().FolderPath, "C:\\");
  for (const int answer : {IDCANCEL, IDOK}) {
    SCOPED_TRACE(answer);
    const SetOutcome outcome = PressSet(Dialog(), "ルートディレクトリーを選択しました。", answer);
    EXPECT_TRUE(outcome.boxSeen);
    EXPECT_EQ(outcome.boxText, "この選択で良いですか？");
    EXPECT_FALSE(outcome.boxIcon);
    EXPECT_EQ(outcome.closed, answer == IDOK);
    EXPECT_EQ(Dialog().FolderSet, answer == IDOK ? 1 : 0);
  }
}

TEST_F(FolderSelectTest, VanishedFolderGoesToTheErrorReportAndRefreshDropsIt) {
  const std::string folder = MakeFolder("vanishing");
  const HTREEITEM item = SelectFolder(folder);
  ASSERT_NE(item, nullptr);
  ASSERT_TRUE(RemoveDirectoryW(ToWide(folder).c_str()));
  const std::wstring before = CurrentDirectory();
  const SetOutcome outcome = PressSet(Dialog(), "Purgator");
  EXPECT_TRUE(outcome.boxSeen);
  EXPECT_TRUE(outcome.boxIcon);  // the general error report's stop icon
  EXPECT_FALSE(outcome.boxText.empty());
  EXPECT_FALSE(outcome.closed);
  EXPECT_EQ(Dialog().FolderSet, 0);
  EXPECT_EQ(CurrentDirectory(), before);

  const HTREEITEM parent = SelectFolder(base_);
  SendMessageA(Dialog().SpeedButton3.Handle(), BM_CLICK, 0, 0);
  for (HTREEITEM child : Children(Tree(), parent))
    EXPECT_NE(Dialog().ShellTreeView1.PathOf(child).text, folder);
}

TEST_F(FolderSelectTest, RefreshKeepsExpansionSelectionAndTopNode) {
  const std::string folder = MakeFolder("refresh");
  CreateDirectoryW(ToWide((folder + "\\one")).c_str(), nullptr);
  CreateDirectoryW(ToWide((folder + "\\one\\inner")).c_str(), nullptr);
  CreateDirectoryW(ToWide((folder + "\\two")).c_str(), nullptr);
  const HTREEITEM parent = Dialog().ShellTreeView1.Reveal(folder);
  ASSERT_NE(parent, nullptr);
  const HTREEITEM inner = Dialog().ShellTreeView1.Reveal(folder + "\\one\\inner");
  ASSERT_NE(inner, nullptr);
  Dialog().ShellTreeView1.Select(parent);
  const HTREEITEM top = TreeView_GetFirstVisible(Tree());

  CreateDirectoryW(ToWide((folder + "\\three")).c_str(), nullptr);
  CreateDirectoryW(ToWide((folder + "\\hidden")).c_str(), nullptr);
  SetFileAttributesW(ToWide((folder + "\\hidden")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  RemoveDirectoryW(ToWide((folder + "\\two")).c_str());
  SendMessageA(Dialog().SpeedButton3.Handle(), BM_CLICK, 0, 0);

  std::vector<std::string> names;
  HTREEITEM one = nullptr;
  for (HTREEITEM child : Children(Tree(), parent)) {
    const std::string path = Dialog().ShellTreeView1.PathOf(child).text;
    names.push_back(path.substr(folder.size() + 1));
    if (names.back() == "one") one = child;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"one", "three"}));
  ASSERT_NE(one, nullptr);
  EXPECT_TRUE(Expanded(Tree(), one));
  ASSERT_EQ(Children(Tree(), one).size(), 1u);
  EXPECT_EQ(Dialog().ShellTreeView1.PathOf(Children(Tree(), one)[0]).text, folder + "\\one\\inner");
  EXPECT_EQ(Dialog().ShellTreeView1.Selected(), parent);
  EXPECT_EQ(Dialog().FolderPath, folder);
  EXPECT_EQ(TreeView_GetFirstVisible(Tree()), top);
}

TEST_F(FolderSelectTest, RightClickNeitherSelectsNorOpensAMenu) {
  const std::string folder = MakeFolder("rightclick");
  const HTREEITEM parent = SelectFolder(base_);
  const HTREEITEM item = Dialog().ShellTreeView1.Reveal(folder);
  ASSERT_NE(item, nullptr);
  Dialog().Form::Show();
  RECT r{};
  ASSERT_TRUE(TreeView_GetItemRect(Tree(), item, &r, TRUE));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  // The button's release waits in the queue for the tree's press handling.
  PostMessageA(Tree(), WM_RBUTTONUP, 0, at);
  SendMessageA(Tree(), WM_RBUTTONDOWN, MK_RBUTTON, at);
  EXPECT_EQ(Dialog().ShellTreeView1.Selected(), parent);
  EXPECT_EQ(Dialog().FolderPath, base_);
  EXPECT_EQ(
      FindWindowA("#32768", nullptr) == nullptr || !IsWindowVisible(FindWindowA("#32768", nullptr)),
      true);
  Dialog().Hide();
}

TEST_F(FolderSelectTest, LabelEditRenamesTheFolderOnDisk) {
  const std::string folder = MakeFolder("before");
  const HTREEITEM item = SelectFolder(folder);
  ASSERT_NE(item, nullptr);
  Dialog().Form::Show();
  SetFocus(Tree());
  HWND edit = reinterpret_cast<HWND>(
      SendMessageA(Tree(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item)));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"after");
  SendMessageA(Tree(), TVM_ENDEDITLABELNOW, FALSE, 0);
  const std::string renamed = base_ + "\\after";
  EXPECT_NE(GetFileAttributesW(ToWide(renamed).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(ToWide(folder).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Dialog().ShellTreeView1.PathOf(item).text, renamed);
  // The selected folder's new path is the dialog's path.
  EXPECT_EQ(Dialog().FolderPath, renamed);
  EXPECT_EQ(Dialog().Panel3.Text(), renamed);
  Dialog().Hide();
}

TEST_F(FolderSelectTest, NamesWithoutExactAnsiFormAreRefused) {
  // é has no form in code page 932 (best-fit would make it e), nor has the
  // yen sign (best-fit would make it a backslash).
  const std::wstring base = ToWide(base_);
  for (const wchar_t* name : {L"caf\u00e9", L"yen\u00a5sign"}) {
    SCOPED_TRACE(ToAnsiExact(name).text);
    CreateDirectoryW(ToWide((base_ + "\\cafe")).c_str(), nullptr);
    CreateDirectoryW(ToWide((base_ + "\\yen\\sign")).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW((base + L"\\" + name).c_str(), nullptr));
    const HTREEITEM parent = SelectFolder(base_);
    SendMessageA(Dialog().SpeedButton3.Handle(), BM_CLICK, 0, 0);
    HTREEITEM inexact = nullptr;
    for (HTREEITEM child : Children(Tree(), parent))
      if (!Dialog().ShellTreeView1.PathOf(child).exact) inexact = child;
    ASSERT_NE(inexact, nullptr);
    Dialog().ShellTreeView1.Select(inexact);
    const SetOutcome outcome = PressSet(Dialog(), kConfirm);
    EXPECT_EQ(outcome.boxText, kNotSelectable);
    EXPECT_FALSE(outcome.closed);
    EXPECT_EQ(Dialog().FolderSet, 0);
    RemoveDirectoryW((base + L"\\" + name).c_str());
  }
}

TEST(ShellNamesTest, ExactConversionOnly) {
  const struct {
    const wchar_t* wide;
    bool exact;
  } cases[] = {
      {L"C:\\Temp", true}, {L"C:\\漢字\\表", true}, {L"ｶﾀｶﾅ", true},        {L"caf\u00e9", false},
      {L"\u00a5", false},  {L"a\u2022b", false},    {L"\U0001F600", false}, {L"", true},
  };
  for (const auto& c : cases) {
    const AnsiName name = ToAnsiExact(c.wide);
    EXPECT_EQ(name.exact, c.exact) << name.text;
    if (c.exact) {
      EXPECT_EQ(ToWide(name.text), c.wide);
    }
  }
}

TEST_F(FolderSelectTest, PathsLongerThan255BytesAreRefused) {
  // Double-byte names: the limit counts bytes, not characters.
  std::string longest = base_ + "\\" + ToAnsiExact(std::wstring(60, L'漢')).text;
  CreateDirectoryW(ToWide(longest).c_str(), nullptr);
  const size_t pad = 255 - longest.size() - 1;
  const std::string fits = longest + "\\" + std::string(pad, 'x');
  const std::string tooLong = fits + "y";
  ASSERT_EQ(fits.size(), 255u);
  ASSERT_TRUE(CreateDirectoryW(ToWide(fits).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(ToWide(tooLong).c_str(), nullptr));

  SelectFolder(tooLong);
  ASSERT_EQ(Dialog().FolderPath, tooLong);
  const SetOutcome refused = PressSet(Dialog(), kConfirm);
  EXPECT_EQ(refused.boxText, kNotSelectable);
  EXPECT_FALSE(refused.closed);
  EXPECT_EQ(Dialog().FolderSet, 0);

  SelectFolder(fits);
  const SetOutcome accepted = PressSet(Dialog());
  EXPECT_TRUE(accepted.closed);
  EXPECT_EQ(Dialog().FolderSet, 1);
}

// Shows the dialog modally and closes it at once.
void ShowAndClose(TSelect_Folder& dialog) {
  PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog.ShowModal(nullptr), IDCANCEL);
  EXPECT_EQ(dialog.FolderSet, 0);
}

TEST(FolderSelectShowingTest, FirstShowingCentredOverMainWindowLaterOnesStay) {
  InstallWin32Platform();
  // Where the launcher stands: centred, the dialog's top would be at -63.
  HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP | WS_VISIBLE, 461, 109, 117, 66,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  TSelect_Folder dialog(main);
  ShowAndClose(dialog);
  RECT r;
  GetWindowRect(dialog.Handle(), &r);
  const RECT work = test::WorkAreaOf(dialog.Handle());
  ASSERT_GE(work.right - work.left, 835) << "a screen too narrow for this test";
  // Across, the centre fits (461 + (117 - 631) / 2); down, the dialog goes
  // the least distance onto the work area: its title bar and buttons show.
  EXPECT_EQ(r.left, 204);
  EXPECT_EQ(r.top, std::max<LONG>(work.top, -63));
  EXPECT_GE(r.top, work.top);
  EXPECT_LE(r.bottom, work.bottom);
  EXPECT_EQ(r.right - r.left, 631);
  EXPECT_EQ(r.bottom - r.top, 411);

  // Later showings keep the last position, even one partly off the screen.
  MoveWindow(dialog.Handle(), -30, -40, 631, 411, FALSE);
  MoveWindow(main, 500, 500, 117, 66, FALSE);
  ShowAndClose(dialog);
  GetWindowRect(dialog.Handle(), &r);
  EXPECT_EQ(r.left, -30);
  EXPECT_EQ(r.top, -40);

  // Where the centre fits, it stays exactly centred (halves toward zero).
  MoveWindow(main, work.left + 300, work.top + 201, 117, 66, FALSE);
  TSelect_Folder second(main);
  ShowAndClose(second);
  GetWindowRect(second.Handle(), &r);
  EXPECT_EQ(r.left, work.left + 300 - 257);
  EXPECT_EQ(r.top, work.top + 201 - 172);

  // A picture for a person to look at.
  dialog.Form::Show();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(dialog.Handle()) != FALSE; }));
  MoveWindow(dialog.Handle(), 0, 0, 631, 411, TRUE);
  UpdateWindow(dialog.Handle());
  EXPECT_TRUE(test::SaveWindowBitmap(dialog.Handle(), test::TestExeFolder() + "FolderSelect.bmp"));
  dialog.Hide();
  DestroyWindow(main);
}

}  // namespace
}  // namespace purga::win
