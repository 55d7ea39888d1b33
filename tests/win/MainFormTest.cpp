#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "PurgaVersion.h"
#include "common/Hensu.h"
#include "engine/DeleteF.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "settings/SettingsFile.h"
#include "tests/win/GuiTestSupport.h"
#include "ui/win/MainForm.h"
// After <windows.h>:
#include <commctrl.h>

namespace purga::win {
namespace {

using test::MessageBoxAnswerer;
using test::PumpUntil;

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// The program's code page 932 text as Windows must hold it whatever the
// system's code page: read by Windows' own conversion, not the program's.
std::wstring AsWindowsHoldsIt(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(
      static_cast<size_t>(MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()),
                                              wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, std::size(text));
  return text;
}

std::wstring TooltipText(HWND tooltip, HWND tool) {
  wchar_t text[256] = {};
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = GetParent(tool);
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = text;
  SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&info));
  return text;
}

class MainFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }
  void SetUp() override {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    StopRequested = 0;
    RunGuard = 0;
    // Each window starts from the defaults.
    const std::u16string settings = *SettingsFilePath();
    SetFileAttributesW(Wide(settings), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Wide(settings));
    window_ = std::make_unique<TMainCrt>();
  }
  void TearDown() override {
    window_->ShutDown();
    window_.reset();
  }
  Control& Find(const std::string& name) {
    Control* control = window_->FindControl(name);
    EXPECT_NE(control, nullptr) << name;
    if (control == nullptr) throw std::runtime_error("no control " + name);
    return *control;
  }
  void Click(const std::string& name) { SendMessageA(Find(name).Handle(), BM_CLICK, 0, 0); }

  std::unique_ptr<TMainCrt> window_;
};

TEST_F(MainFormTest, WindowFrame) {
  HWND hwnd = window_->Handle();
  EXPECT_EQ(WindowText(hwnd), AsWindowsHoldsIt("Purgator　Ver. " PURGA_VERSION_TEXT));
  RECT outer;
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, 215);
  EXPECT_EQ(outer.top, 151);
  EXPECT_EQ(outer.right - outer.left, 742);
  EXPECT_EQ(outer.bottom - outer.top, 438);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 734);
  EXPECT_EQ(client.bottom, 411);
  const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
}

TEST_F(MainFormTest, EveryControlWhereTheLayoutPutsIt) {
  RECT clientRect;
  GetClientRect(window_->Handle(), &clientRect);
  const int cw = clientRect.right;
  const int ch = clientRect.bottom;
  const struct Row {
    const char* name;
    const char* parent;  // "" for the form
    const char* className;
    const char* caption;
    Bounds bounds;
    const char* hint;
  } rows[] = {
      {"Panel10", "", "PurgaPanel", "", {0, 0, cw, 27}, ""},
      {"Panel16", "", "PurgaPanel", "", {0, 27, cw, ch - 50}, ""},
      {"Panel13", "", "PurgaPanel", "", {0, ch - 23, cw, 23}, ""},
      // Folder bar, inside its two-pixel bevel.
      {"Bevel4",
       "Panel10",
       "PurgaPanel",
       "",
       {2, 2, 55, 23},
       "クリックで「フォルダー選択」画面を表示"},
      {"Label13", "Bevel4", "Static", "ﾌｫﾙﾀﾞｰ", {6, 5, -1, -1}, "クリックでフォルダーの選択"},
      {"Panel12",
       "Panel10",
       "PurgaPanel",
       "",
       {57, 2, cw - 257, 23},
       "クリックで「フォルダー選択」画面を表示"},
      {"Splitter1", "Panel10", "PurgaSplitter", "", {cw - 200, 2, 3, 23}, ""},
      {"Panel11", "Panel10", "PurgaPanel", "", {cw - 197, 2, 195, 23}, ""},
      {"SpeedButton1",
       "Panel11",
       "PurgaSpeedButton",
       "Folder",
       {0, -1, 49, 26},
       "削除フォルダーを選択"},
      {"SpeedButton5", "Panel11", "PurgaSpeedButton", "Start", {49, -1, 49, 26}, ""},
      {"SpeedButton6", "Panel11", "PurgaSpeedButton", "Stop", {98, -1, 52, 26}, ""},
      {"SpeedButton2", "Panel11", "PurgaSpeedButton", "Help", {150, -1, 49, 26}, ""},
      // Category groups.
      {"GroupBox5", "Panel16", "PurgaPanel", "*.HTM", {15, 15, 106, 88}, "HTML,HTMを削除"},
      {"GroupBox6", "Panel16", "PurgaPanel", "*.JPG", {134, 15, 106, 88}, "JPG, JPEGを削除"},
      {"GroupBox7", "Panel16", "PurgaPanel", "*.GIF", {253, 15, 106, 88}, "GIFを削除"},
      {"GroupBox8", "Panel16", "PurgaPanel", "*.PNG", {373, 15, 106, 88}, "PNGを削除"},
      {"GroupBox9", "Panel16", "PurgaPanel", "*.BMP", {492, 15, 106, 88}, "BMPを削除"},
      {"GroupBox20", "Panel16", "PurgaPanel", "*.RA", {612, 15, 106, 88}, "RAM,RMM,RA,RMを削除"},
      {"GroupBox10", "Panel16", "PurgaPanel", "*.WMV", {15, 111, 106, 88}, "WM,WMVを削除"},
      {"GroupBox11", "Panel16", "PurgaPanel", "*.MPG", {134, 111, 106, 88}, "MPG,MPEG,MPEを削除"},
      {"GroupBox12", "Panel16", "PurgaPanel", "*.AVI", {253, 111, 106, 88}, "AVIを削除"},
      {"GroupBox13", "Panel16", "PurgaPanel", "*.MP3", {373, 111, 106, 88}, "MP3を削除"},
      {"GroupBox14", "Panel16", "PurgaPanel", "*.GID", {492, 111, 106, 88}, "GIDを削除"},
      {"GroupBox21", "Panel16", "PurgaPanel", "*.OLD", {612, 111, 106, 88}, "OLDを削除"},
      {"GroupBox15", "Panel16", "PurgaPanel", "*.BAK", {15, 207, 106, 88}, "BAを削除"},
      {"GroupBox16", "Panel16", "PurgaPanel", "*.~", {134, 207, 106, 88}, "~*を削除"},
      {"GroupBox17", "Panel16", "PurgaPanel", "*.TXT", {253, 207, 106, 88}, "TXTを削除"},
      {"GroupBox22",
       "Panel16",
       "PurgaPanel",
       "Css/Cgi/$Mv",
       {373, 207, 106, 88},
       "CSS,CSV,CGI,$MVを削除"},
      {"GroupBox18", "Panel16", "PurgaPanel", "その他", {492, 207, 227, 88}, ""},
      // The "その他" group.
      {"CheckBox32", "GroupBox18", "Button", "その他ファイルの削除", {16, 18, 200, 17}, ""},
      {"Label1", "GroupBox18", "Static", "ファイル名", {15, 41, -1, -1}, ""},
      {"Edit5",
       "GroupBox18",
       "Edit",
       "",
       {15, 56, 97, 20},
       "削除するファイルの拡張子の入力（．の入力しない）"},
      {"CheckBox17", "GroupBox18", "Button", "サイズ指示", {134, 36, 90, 17}, ""},
      {"SpinEdit17", "GroupBox18", "Edit", "300", {134, 56, 82, 21}, ""},
      // Option groups.
      {"GroupBox3", "Panel16", "PurgaPanel", "削除条件", {132, 297, 349, 55}, ""},
      {"CheckBox5", "GroupBox3", "Button", "読取り専用を削除する", {45, 15, 150, 17}, ""},
      {"CheckBox33", "GroupBox3", "Button", "削除開始確認をする", {45, 34, 150, 17}, ""},
      {"CheckBox31", "GroupBox3", "Button", "空フォルダーを削除", {206, 14, 135, 17}, ""},
      {"CheckBox41",
       "GroupBox3",
       "Button",
       "小さいサイズを削除",
       {206, 33, 135, 17},
       "削除するファイルが指示値より大きいか小さいかを指示"},
      {"GroupBox1", "Panel16", "PurgaPanel", "削除・その他", {491, 297, 229, 55}, ""},
      {"CheckBox40", "GroupBox1", "Button", "ファイル履歴を消す", {10, 33, 130, 17}, ""},
      {"CheckBox1", "GroupBox1", "Button", "Win Temp", {145, 15, 80, 17}, ""},
      {"CheckBox2", "GroupBox1", "Button", "IE TEMP", {145, 33, 80, 17}, ""},
      {"ProgressText", "Panel16", "PurgaPanel", "", {15, 300, 112, 52}, ""},
      // Status bar.
      {"Label2", "Panel13", "Static", "現サイズ", {18, 6, -1, -1}, ""},
      {"StaticText1", "Panel13", "PurgaPanel", "0", {68, 5, 71, 13}, ""},
      {"Label4", "Panel13", "Static", "ＫＢｙｔｅ　　削除サイズ", {144, 6, -1, -1}, ""},
      {"StaticText2", "Panel13", "PurgaPanel", "0", {255, 5, 71, 13}, ""},
      {"Label3", "Panel13", "Static", "ＫＢｙｔｅ", {330, 6, -1, -1}, ""},
      {"Label11", "Panel13", "Static", "読み込み件数", {447, 6, -1, -1}, ""},
      {"StaticText3", "Panel13", "PurgaPanel", "0", {528, 4, 63, 16}, ""},
      {"Label12", "Panel13", "Static", "削除件数", {612, 6, -1, -1}, ""},
      {"StaticText5", "Panel13", "PurgaPanel", "0", {666, 4, 63, 16}, ""},
  };
  HWND tooltip = window_->Tooltip();
  int hints = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Control& control = Find(row.name);
    HWND hwnd = control.Handle();
    HWND parent = *row.parent ? Find(row.parent).Handle() : window_->Handle();
    EXPECT_EQ(GetParent(hwnd), parent);
    EXPECT_EQ(ClassOf(hwnd), row.className);
    EXPECT_EQ(WindowText(hwnd), AsWindowsHoldsIt(row.caption));
    const Bounds b = control.GetBounds();
    EXPECT_EQ(b.left, row.bounds.left);
    EXPECT_EQ(b.top, row.bounds.top);
    if (row.bounds.width >= 0) {
      EXPECT_EQ(b.width, row.bounds.width);
      EXPECT_EQ(b.height, row.bounds.height);
    } else {
      // A label is as large as its text.
      EXPECT_GT(b.width, 0);
      EXPECT_GE(b.height, 12);
    }
    EXPECT_EQ(TooltipText(tooltip, hwnd), AsWindowsHoldsIt(row.hint));
    if (*row.hint) ++hints;
    EXPECT_TRUE(IsWindowVisible(parent) || !IsWindowVisible(window_->Handle()));
  }

  // The category groups' contents, from the category table.
  const char* const boxes[][4] = {
      {"GroupBox5", "CheckBox3", "CheckBox4", "SpinEdit1"},
      {"GroupBox6", "CheckBox7", "CheckBox6", "SpinEdit5"},
      {"GroupBox7", "CheckBox9", "CheckBox8", "SpinEdit6"},
      {"GroupBox8", "CheckBox11", "CheckBox10", "SpinEdit7"},
      {"GroupBox9", "CheckBox13", "CheckBox12", "SpinEdit8"},
      {"GroupBox20", "CheckBox35", "CheckBox34", "SpinEdit4"},
      {"GroupBox10", "CheckBox15", "CheckBox14", "SpinEdit9"},
      {"GroupBox11", "CheckBox18", "CheckBox16", "SpinEdit10"},
      {"GroupBox12", "CheckBox20", "CheckBox19", "SpinEdit11"},
      {"GroupBox13", "CheckBox22", "CheckBox21", "SpinEdit12"},
      {"GroupBox14", "CheckBox24", "CheckBox23", "SpinEdit13"},
      {"GroupBox21", "CheckBox37", "CheckBox36", "SpinEdit18"},
      {"GroupBox15", "CheckBox26", "CheckBox25", "SpinEdit14"},
      {"GroupBox16", "CheckBox28", "CheckBox27", "SpinEdit15"},
      {"GroupBox17", "CheckBox30", "CheckBox29", "SpinEdit16"},
      {"GroupBox22", "CheckBox39", "CheckBox38", "SpinEdit19"},
  };
  const char* const defaults[] = {"30",   "30",  "30", "30", "3000", "3000", "3000", "3000",
                                  "3000", "200", "30", "30", "100",  "5000", "100",  "50"};
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(boxes[i][1]);
    HWND group = Find(boxes[i][0]).Handle();
    Control& d = Find(boxes[i][1]);
    Control& s = Find(boxes[i][2]);
    Control& e = Find(boxes[i][3]);
    for (Control* c : {&d, &s, &e}) EXPECT_EQ(GetParent(c->Handle()), group);
    EXPECT_EQ(ClassOf(d.Handle()), "Button");
    EXPECT_EQ(WindowText(d.Handle()), AsWindowsHoldsIt("削除"));
    EXPECT_EQ(d.GetBounds(), (Bounds{12, 18, 90, 17}));
    EXPECT_EQ(WindowText(s.Handle()), AsWindowsHoldsIt("サイズ指示"));
    EXPECT_EQ(s.GetBounds(), (Bounds{12, 37, 90, 17}));
    EXPECT_EQ(ClassOf(e.Handle()), "Edit");
    EXPECT_EQ(e.GetBounds(), (Bounds{12, 57, 82, 21}));
    EXPECT_EQ(ClassOf(static_cast<SpinEdit&>(e).Arrows()), "msctls_updown32");
    EXPECT_EQ(e.Text(), defaults[i]);
    // Defaults: only "Css/Cgi/$Mv" ticked; size boxes and spin edits off.
    EXPECT_EQ(SendMessageA(d.Handle(), BM_GETCHECK, 0, 0), i == 15 ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(s.Enabled(), i == 15);
    EXPECT_FALSE(e.Enabled());
  }
  // One tooltip control, one tool per hint (the spin edits have none).
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), hints);
}

TEST_F(MainFormTest, FontOfTheForms) {
  for (const char* name : {"CheckBox3", "Label13", "Edit5", "SpinEdit1"}) {
    SCOPED_TRACE(name);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(Find(name).Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    ASSERT_NE(GetObjectW(font, sizeof lf, &lf), 0);
    EXPECT_STREQ(lf.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  }
  // The face resolves to a font with Japanese glyphs and 12-pixel characters.
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, window_->Font());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 12);
  EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
}

}  // namespace
}  // namespace purga::win

namespace purga::win {
namespace {

TEST_F(MainFormTest, ClicksAndTypingStoreTheirFieldsAtOnce) {
  // A real click on a "削除" box ticks it, stores Enabled and enables its
  // size box; the size box enables the spin edit.
  Click("CheckBox26");
  EXPECT_EQ(DeleteSettings.Rules[12].Enabled, 1);
  EXPECT_TRUE(Find("CheckBox25").Enabled());
  EXPECT_FALSE(Find("SpinEdit14").Enabled());
  Click("CheckBox25");
  EXPECT_EQ(DeleteSettings.Rules[12].SizeLimited, 1);
  auto& spin = static_cast<SpinEdit&>(Find("SpinEdit14"));
  EXPECT_TRUE(spin.Enabled());
  EXPECT_TRUE(IsWindowEnabled(spin.Arrows()));
  // Unticking the "削除" box disables the size box, which keeps its tick.
  Click("CheckBox26");
  EXPECT_EQ(DeleteSettings.Rules[12].Enabled, 0);
  EXPECT_EQ(SendMessageA(Find("CheckBox25").Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(Find("CheckBox25").Enabled());
  EXPECT_FALSE(spin.Enabled());
  Click("CheckBox26");

  // Typing into the spin edit, then the arrows.
  SetWindowTextW(spin.Handle(), L"1234");
  EXPECT_EQ(DeleteSettings.Rules[12].ThresholdKB, 1234);
  RECT arrows;
  GetClientRect(spin.Arrows(), &arrows);
  const LPARAM upper = MAKELPARAM(arrows.right / 2, arrows.bottom / 4);
  SendMessageA(spin.Arrows(), WM_LBUTTONDOWN, MK_LBUTTON, upper);
  SendMessageA(spin.Arrows(), WM_LBUTTONUP, 0, upper);
  EXPECT_EQ(spin.Text(), "1235");
  EXPECT_EQ(DeleteSettings.Rules[12].ThresholdKB, 1235);
  SetWindowTextW(spin.Handle(), L"");
  EXPECT_EQ(DeleteSettings.Rules[12].ThresholdKB, 1);
  // The edit takes at most five characters.
  SendMessageA(spin.Handle(), EM_SETSEL, 0, -1);
  for (char c : std::string("123456")) SendMessageA(spin.Handle(), WM_CHAR, c, 0);
  EXPECT_EQ(spin.Text(), "12345");
  EXPECT_EQ(DeleteSettings.Rules[12].ThresholdKB, 12345);

  // The other extension: typed as is, and enabled with its box.
  EXPECT_FALSE(Find("Edit5").Enabled());
  Click("CheckBox32");
  EXPECT_TRUE(Find("Edit5").Enabled());
  EXPECT_TRUE(Find("CheckBox17").Enabled());
  SetFocus(Find("Edit5").Handle());
  for (char c : std::string("dat")) SendMessageA(Find("Edit5").Handle(), WM_CHAR, c, 0);
  EXPECT_STREQ(DeleteSettings.OtherExtension, "dat");
  // A loaded extension shows whole, up to its field's seven characters:
  // typing adds nothing to it, deleting shortens it.
  window_->Model().controls.otherExtension.SetText("ABCDEFG");
  HWND edit5 = Find("Edit5").Handle();
  EXPECT_EQ(Find("Edit5").Text(), "ABCDEFG");
  SendMessageA(edit5, EM_SETSEL, 7, 7);
  SendMessageA(edit5, WM_CHAR, 'X', 0);
  EXPECT_EQ(Find("Edit5").Text(), "ABCDEFG");
  SendMessageA(edit5, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(Find("Edit5").Text(), "ABCDEF");
  EXPECT_STREQ(DeleteSettings.OtherExtension, "ABCDEF");

  // Option boxes.
  const struct {
    const char* name;
    const uint8_t* flag;
  } options[] = {
      {"CheckBox5", &DeleteSettings.DeleteReadOnly},
      {"CheckBox33", &DeleteSettings.ConfirmStart},
      {"CheckBox31", &DeleteSettings.DeleteEmptyFolders},
      {"CheckBox41", &DeleteSettings.DeleteSmaller},
      {"CheckBox40", &DeleteSettings.ClearRecentDocs},
      {"CheckBox1", &DeleteSettings.CleanWinTemp},
      {"CheckBox2", &DeleteSettings.CleanBrowserCache},
  };
  for (const auto& option : options) {
    SCOPED_TRACE(option.name);
    EXPECT_EQ(*option.flag, 1);
    Click(option.name);
    EXPECT_EQ(*option.flag, 0);
  }
}

// A folder of the Wine prefix for one test, removed again at the end.
class TempTree {
 public:
  explicit TempTree(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + name;
    CreateDirectoryW(ToWide(root_).c_str(), nullptr);
  }
  ~TempTree() {
    for (const std::string& file : files_) {
      SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(ToWide(file).c_str());
    }
    RemoveDirectoryW(ToWide(root_).c_str());
  }
  void AddFile(const std::string& name, size_t bytes) {
    const std::string path = root_ + "\\" + name;
    files_.push_back(path);
    HANDLE file =
        CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string content(bytes, 'x');
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
  bool Exists(const std::string& name) const {
    return GetFileAttributesW(ToWide((root_ + "\\" + name)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  std::vector<std::string> files_;
};

// The read count as another thread sees it, -1 when it cannot be read.
int ReadCountOf(HWND caption) {
  char text[32] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(caption, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_NORMAL, 5000, &length))
    return -1;
  return text[0] >= '0' && text[0] <= '9' ? std::atoi(text) : -1;
}

// "f<index><extension>". Appended rather than concatenated: at -O3 GCC 12
// warns falsely (-Wrestrict) on "f" + std::to_string(index) + extension.
std::string RunFileName(int index, const char* extension) {
  return std::string("f").append(std::to_string(index)).append(extension);
}

// Runs started from the shown window, with no question and no clean-up
// tasks, over a folder of files named f0, f1... with `extension`; *.BAK is
// selected.
class MainFormRunTest : public MainFormTest {
 protected:
  // Returns the handle of the read count.
  HWND StartRun(TempTree& tree, int files, const char* extension) {
    for (int i = 0; i < files; ++i) tree.AddFile(RunFileName(i, extension), 1);
    window_->Model().controls.SetFolder(tree.Root());
    for (const char* name : {"CheckBox33", "CheckBox40", "CheckBox1", "CheckBox2", "CheckBox26"})
      Click(name);
    window_->Show();
    Click("SpeedButton5");
    return Find("StaticText3").Handle();
  }
};

TEST_F(MainFormTest, StartRunsOverARealFolderToItsCounters) {
  TempTree tree("purga_start");
  for (int i = 0; i < 4; ++i) tree.AddFile("old" + std::to_string(i) + ".bak", 100);
  tree.AddFile("keep.txt", 100);
  tree.AddFile("keep.htm", 100);
  MainCrtModel& model = window_->Model();
  ASSERT_TRUE(model.controls.SetFolder(tree.Root()));
  Click("CheckBox33");  // no question
  for (const char* name : {"CheckBox40", "CheckBox1", "CheckBox2", "CheckBox31"}) Click(name);
  Click("CheckBox26");  // *.BAK
  Find("StaticText3").SetText("?");
  Find("StaticText5").SetText("?");
  window_->Show();
  Click("SpeedButton5");
  // Closing the window does not stop the run; the captions stay current.
  SendMessageA(window_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window_->Handle()));
  // The window runs no modal loop here: the test thread serves it.
  ASSERT_TRUE(PumpUntil([] { return RunGuard.load() == 0 && !TFileDelte::Alive(); }));
  EXPECT_EQ(Find("StaticText3").Text(), "6");
  EXPECT_EQ(Find("StaticText5").Text(), "4");
  EXPECT_EQ(Find("StaticText2").Text(), std::to_string(FreeSpaceAfter - FreeSpaceBefore));
  EXPECT_EQ(Find("StaticText1").Text(), std::to_string(FreeSpaceAfter.load()));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(tree.Exists("old" + std::to_string(i) + ".bak"));
  EXPECT_TRUE(tree.Exists("keep.txt"));
  EXPECT_TRUE(tree.Exists("keep.htm"));
  // The last hand-over clears the progress text.
  EXPECT_EQ(Find("ProgressText").Text(), "");
  // Start saved the settings first.
  EXPECT_NE(GetFileAttributesW(Wide(*SettingsFilePath())), INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainFormTest, ShutDownStopsARunAndWaitsForItsEnd) {
  TempTree tree("purga_shutdown");
  for (int i = 0; i < 3; ++i) tree.AddFile("f" + std::to_string(i) + ".bak", 10);
  window_->Model().controls.SetFolder(tree.Root());
  for (const char* name : {"CheckBox33", "CheckBox40", "CheckBox1", "CheckBox2"}) Click(name);
  Click("CheckBox26");
  Click("SpeedButton5");
  // Nobody serves the window yet: the worker waits in its first hand-over.
  ASSERT_TRUE(TFileDelte::Alive());
  window_->ShutDown();
  EXPECT_FALSE(TFileDelte::Alive());
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_EQ(StopRequested.load(), 1);
  // Stopped before its first entry: nothing examined, nothing deleted.
  EXPECT_EQ(Find("StaticText3").Text(), "0");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(tree.Exists("f" + std::to_string(i) + ".bak"));
}

TEST_F(MainFormRunTest, StopClickedDuringARunEndsIt) {
  TempTree tree("purga_stop");
  constexpr int kFiles = 600;
  const HWND readCount = StartRun(tree, kFiles, ".bak");
  const HWND stop = Find("SpeedButton6").Handle();
  // A user on another thread: reading the count and clicking are messages
  // sent to the window's thread, answered while it serves the run.
  std::atomic<bool> clicked{false};
  std::thread user([&] {
    if (test::WaitFor([&] { return ReadCountOf(readCount) >= 50; }, 60000))
      SendMessageA(stop, BM_CLICK, 0, 0);
    clicked.store(true);
  });
  const bool ended = PumpUntil([&] { return clicked.load() && !TFileDelte::Alive(); }, 60000);
  user.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(StopRequested.load(), 1);
  EXPECT_EQ(RunGuard.load(), 0);
  const int read = std::stoi(Find("StaticText3").Text());
  const int deleted = std::stoi(Find("StaticText5").Text());
  EXPECT_GE(read, 50);
  EXPECT_LT(read, kFiles);
  int left = 0;
  for (int i = 0; i < kFiles; ++i) left += tree.Exists(RunFileName(i, ".bak"));
  EXPECT_EQ(left, kFiles - deleted);
  // The run's last progress hand-over is shown.
  EXPECT_EQ(Find("ProgressText").Text(), "");
}

TEST_F(MainFormRunTest, CountersReadDuringARunAreTheWorkersAndExactAtItsEnd) {
  TempTree tree("purga_counters");
  constexpr int kFiles = 1000;  // every one selected and deleted
  const HWND readCount = StartRun(tree, kFiles, ".bak");
  const HWND deletedCount = Find("StaticText5").Handle();
  // Closed, the window paints nothing: what it holds at the end is what the
  // run left, not what a paint brought up to date.
  SendMessageA(window_->Handle(), WM_CLOSE, 0, 0);
  const auto gone = [&] {
    int count = 0;
    for (int i = 0; i < kFiles; ++i) count += !tree.Exists(RunFileName(i, ".bak"));
    return count;
  };
  // A reader on another thread gets the worker's latest counts, drawn or
  // not: never lower than before, never past what is gone from the disk
  // (plus the file in hand), never short of what was gone before the read
  // (less the file just deleted and not yet counted). It leaves the last
  // quarter of the run unread.
  std::atomic<bool> readerDone{false};
  int reads = 0, lastRead = 0, lastDeleted = 0, faults = 0;
  std::thread reader([&] {
    while (lastRead < kFiles * 3 / 4 && TFileDelte::Alive()) {
      const int before = gone();
      const int read = ReadCountOf(readCount), deleted = ReadCountOf(deletedCount);
      const int after = gone();
      faults += read < lastRead || deleted < lastDeleted || read > after + 1 || deleted > after ||
                deleted < before - 1;
      lastRead = read, lastDeleted = deleted, ++reads;
    }
    readerDone.store(true);
  });
  const bool done = PumpUntil([&] { return readerDone.load() && !TFileDelte::Alive(); }, 60000);
  reader.join();
  ASSERT_TRUE(done);
  EXPECT_GT(reads, 1);
  EXPECT_EQ(faults, 0);
  // Read without a message that could bring the text up to date.
  for (const HWND count : {readCount, deletedCount}) {
    wchar_t text[32] = {};
    InternalGetWindowText(count, text, std::size(text));
    EXPECT_EQ(std::wstring(text), std::to_wstring(kFiles));
  }
}

LRESULT CALLBACK LauncherStandInProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(MainFormRunTest, ShutDownDuringARunServesItToItsEnd) {
  TempTree tree("purga_shutdown_run");
  // Every file selected: the calls come without a pause, in one stream that
  // the quit request has to get through, and slow enough, with a deletion
  // each, that the run is still under way when it does.
  constexpr int kFiles = 4000;
  const HWND readCount = StartRun(tree, kFiles, ".bak");
  // A launcher stand-in: closing it asks the message loop to end, as the
  // launcher's does.
  WNDCLASSA launcherClass = {};
  launcherClass.lpfnWndProc = LauncherStandInProc;
  launcherClass.hInstance = GetModuleHandleA(nullptr);
  launcherClass.lpszClassName = "PurgaTestLauncher";
  RegisterClassA(&launcherClass);
  const HWND launcher = CreateWindowExA(0, "PurgaTestLauncher", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, launcherClass.hInstance, nullptr);
  // The program's own message loop, until the user closes the launcher
  // during the run.
  std::atomic<bool> underWay{false};
  std::thread user([&] {
    underWay.store(test::WaitFor([&] { return ReadCountOf(readCount) >= 50; }, 60000));
    SendMessageA(launcher, WM_CLOSE, 0, 0);
  });
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  user.join();
  ASSERT_TRUE(underWay.load());
  // The window is about to go.
  window_->ShutDown();
  EXPECT_FALSE(TFileDelte::Alive());
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_LT(std::stoi(Find("StaticText3").Text()), kFiles);
  EXPECT_EQ(Find("StaticText2").Text(), std::to_string(FreeSpaceAfter - FreeSpaceBefore));
  EXPECT_EQ(Find("ProgressText").Text(), "");
}

TEST_F(MainFormTest, StartAsksFirstAndNoStartsNothing) {
  TempTree tree("purga_ask");
  tree.AddFile("a.bak", 10);
  window_->Model().controls.SetFolder(tree.Root());
  Click("CheckBox26");
  MessageBoxAnswerer answer("　　　設定をもう一度確認", IDNO);
  Click("SpeedButton5");
  ASSERT_TRUE(answer.Wait());
  EXPECT_EQ(answer.Text(), "＜＜　削除を開始しますか？　＞＞\r\r　　削除すると元に戻せません");
  EXPECT_FALSE(answer.HadIcon());
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_TRUE(tree.Exists("a.bak"));

  window_->Model().controls.SetFolder("");
  MessageBoxAnswerer noFolder("確認", IDOK);
  Click("SpeedButton5");
  ASSERT_TRUE(noFolder.Wait());
  EXPECT_EQ(noFolder.Text(), "削除パスの指示がありません！ ");
  EXPECT_FALSE(noFolder.HadIcon());
}

TEST_F(MainFormTest, SaveFailureIsReportedAndKeepsTheWindowOpen) {
  const std::u16string settings = *SettingsFilePath();
  window_->Show();
  ASSERT_TRUE(PumpUntil([this] { return IsWindowVisible(window_->Handle()) != FALSE; }));
  // A settings file held open without sharing cannot be written.
  HANDLE held = CreateFileW(Wide(settings), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  MessageBoxAnswerer report("Purgator", IDOK);
  SendMessageA(window_->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(report.Wait());
  EXPECT_TRUE(report.HadIcon());
  ASSERT_FALSE(report.Text().empty());
  const std::string& text = report.Text();
  EXPECT_TRUE(text.ends_with(".") || text.ends_with("。")) << text;
  EXPECT_TRUE(IsWindowVisible(window_->Handle()));

  // Start reports the same and begins nothing.
  window_->Model().controls.SetFolder("C:\\");
  MessageBoxAnswerer again("Purgator", IDOK);
  Click("SpeedButton5");
  ASSERT_TRUE(again.Wait());
  EXPECT_EQ(RunGuard.load(), 0);

  CloseHandle(held);
  SendMessageA(window_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window_->Handle()));
}

TEST_F(MainFormTest, ShownModallyAndHiddenWhenClosed) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 50,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND form = window_->Handle();
  std::atomic<bool> ownerDisabled{false};
  std::thread closer([&] {
    // Close the window once it is up, as the close box does.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!IsWindowVisible(form) && GetTickCount64() < deadline) Sleep(5);
    ownerDisabled = !IsWindowEnabled(owner);
    PostMessageA(form, WM_CLOSE, 0, 0);
  });
  window_->ShowModal(owner);
  closer.join();
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_TRUE(IsWindow(form));  // hidden, not destroyed
  EXPECT_NE(GetFileAttributesW(Wide(*SettingsFilePath())), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(owner);
}

TEST_F(MainFormTest, FolderChoiceTakesTheDialogsFolder) {
  std::optional<std::string> chosen = "C:\\users";
  window_->folderChooser = [&](HWND) { return chosen; };
  Click("SpeedButton1");
  EXPECT_EQ(Find("Panel12").Text(), "C:\\users");
  EXPECT_STREQ(DeleteSettings.SavedFolder, "C:\\users");
  // A click on the folder panel does the same.
  chosen = "C:\\windows";
  HWND panel = Find("Panel12").Handle();
  SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(Find("Panel12").Text(), "C:\\windows");
  // Too long for the record: refused with the dialog's message.
  chosen = "C:\\" + std::string(253, 'a');
  MessageBoxAnswerer refused("確認", IDOK);
  Click("SpeedButton1");
  ASSERT_TRUE(refused.Wait());
  EXPECT_EQ(refused.Text(), "選択できないフォルダーです。");
  EXPECT_EQ(Find("Panel12").Text(), "C:\\windows");
}

TEST_F(MainFormTest, SplitterMovesTheBorderOfTheButtonPanel) {
  Control& folder = Find("Panel12");
  Control& buttons = Find("Panel11");
  auto& splitter = static_cast<Splitter&>(Find("Splitter1"));
  const Bounds before = buttons.GetBounds();
  splitter.MoveTo(splitter.GetBounds().left - 40);
  EXPECT_EQ(buttons.GetBounds().width, before.width + 40);
  EXPECT_EQ(buttons.GetBounds().left + buttons.GetBounds().width, before.left + before.width);
  EXPECT_EQ(folder.GetBounds().left + folder.GetBounds().width, splitter.GetBounds().left);
}

TEST_F(MainFormTest, Screenshot) {
  // For a person to look at: <build>/tests/screenshots/MainCrt.bmp.
  window_->Model().controls.SetFolder("C:\\users\\Public\\Documents");
  window_->Model().progress.SetText("example_of_a_long_file_name.bak 削除できません");
  window_->Show();
  HWND hwnd = window_->Handle();
  ASSERT_TRUE(PumpUntil([hwnd] { return IsWindowVisible(hwnd) != FALSE; }));
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 300);  // let the window manager settle the frame
  const std::string folder = test::TestExeFolder() + "screenshots";
  CreateDirectoryW(ToWide(folder).c_str(), nullptr);
  EXPECT_TRUE(test::SaveWindowBitmap(hwnd, folder + "\\MainCrt.bmp"));
  // The counters' own colours, a pixel inside their borders.
  HDC screen = GetDC(nullptr);
  const auto colourAt = [&](const char* name) {
    RECT r;
    GetWindowRect(Find(name).Handle(), &r);
    return GetPixel(screen, r.left + 3, r.top + 3);
  };
  EXPECT_EQ(colourAt("StaticText1"), RGB(255, 255, 255));
  EXPECT_EQ(colourAt("StaticText3"), RGB(252, 235, 154));
  EXPECT_EQ(colourAt("StaticText5"), RGB(252, 235, 154));
  EXPECT_EQ(colourAt("Panel11"), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace purga::win
