// The deletion window: its controls laid out as the settings record's fields,
// the folder bar and the counters, and the worker's hand-overs to the
// user-interface thread.
#include "ui/win/MainForm.h"

#include <shellapi.h>

#include "engine/DeleteF.h"
#include "platform/win32/CodePage.h"
#include "ui/win/ErrorReport.h"
#include "ui/win/FolderSelect.h"

namespace purga::win {

TMainCrt* MainCrt = nullptr;

void OpenHelpFile(HWND owner) {
  ShellExecuteW(owner, L"Open", Wide(HelpFilePath()), nullptr, nullptr, SW_SHOW);
}

namespace {

// Heights of the three bands and the widths in the folder bar.
constexpr int kFolderBarHeight = 27;
constexpr int kStatusBarHeight = 23;
constexpr int kBevelInset = 2;  // the bands' raised inner and lowered outer bevel
constexpr int kFolderLabelWidth = 55;
constexpr int kSplitterWidth = 3;
constexpr int kButtonPanelWidth = 195;

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kPurple = RGB(128, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLightYellow = RGB(252, 235, 154);

constexpr const char* kFolderHint = "クリックで「フォルダー選択」画面を表示";

struct CategoryGroup {
  const char* group;
  const char* caption;
  const char* hint;
  const char* deleteBox;
  const char* sizeBox;
  const char* spin;
};

// Index as Rules; the groups fill three rows of six, left to right.
constexpr CategoryGroup kGroups[kCategoryCount] = {
    {"GroupBox5", "*.HTM", "HTML,HTMを削除", "CheckBox3", "CheckBox4", "SpinEdit1"},
    {"GroupBox6", "*.JPG", "JPG, JPEGを削除", "CheckBox7", "CheckBox6", "SpinEdit5"},
    {"GroupBox7", "*.GIF", "GIFを削除", "CheckBox9", "CheckBox8", "SpinEdit6"},
    {"GroupBox8", "*.PNG", "PNGを削除", "CheckBox11", "CheckBox10", "SpinEdit7"},
    {"GroupBox9", "*.BMP", "BMPを削除", "CheckBox13", "CheckBox12", "SpinEdit8"},
    {"GroupBox20", "*.RA", "RAM,RMM,RA,RMを削除", "CheckBox35", "CheckBox34", "SpinEdit4"},
    {"GroupBox10", "*.WMV", "WM,WMVを削除", "CheckBox15", "CheckBox14", "SpinEdit9"},
    {"GroupBox11", "*.MPG", "MPG,MPEG,MPEを削除", "CheckBox18", "CheckBox16", "SpinEdit10"},
    {"GroupBox12", "*.AVI", "AVIを削除", "CheckBox20", "CheckBox19", "SpinEdit11"},
    {"GroupBox13", "*.MP3", "MP3を削除", "CheckBox22", "CheckBox21", "SpinEdit12"},
    {"GroupBox14", "*.GID", "GIDを削除", "CheckBox24", "CheckBox23", "SpinEdit13"},
    {"GroupBox21", "*.OLD", "OLDを削除", "CheckBox37", "CheckBox36", "SpinEdit18"},
    {"GroupBox15", "*.BAK", "BAを削除", "CheckBox26", "CheckBox25", "SpinEdit14"},
    {"GroupBox16", "*.~", "~*を削除", "CheckBox28", "CheckBox27", "SpinEdit15"},
    {"GroupBox17", "*.TXT", "TXTを削除", "CheckBox30", "CheckBox29", "SpinEdit16"},
    {"GroupBox22", "Css/Cgi/$Mv", "CSS,CSV,CGI,$MVを削除", "CheckBox39", "CheckBox38",
     "SpinEdit19"},
};
constexpr int kRowTop[] = {15, 111, 207};
constexpr int kColumnLeft[] = {15, 134, 253, 373, 492, 612};
constexpr int kGroupWidth = 106;
constexpr int kGroupHeight = 88;
constexpr int kBoxWidth = 90;
constexpr int kBoxHeight = 17;
constexpr int kSpinWidth = 82;
constexpr int kSpinHeight = 21;

struct OptionPlace {
  SettingsControls::Option option;
  const char* name;
  int left, top, width;
  const char* caption;
  const char* hint;
};

// The folder selection dialog, shown modally over `owner`.
std::optional<std::string> ChooseWithSelectFolder(HWND owner) {
  if (Select_Folder == nullptr) return std::nullopt;
  Select_Folder->ShowModal(owner);
  if (Select_Folder->FolderSet != 1) return std::nullopt;
  return Select_Folder->FolderPath;
}

template <class T>
T& Named(T& control, const char* name) {
  control.SetName(name);
  return control;
}

}  // namespace

TMainCrt::TMainCrt()
    : Form(kCaption, kPlace, FormBorder::Sizeable, FormSize::Client),
      model_(MainCrtServices{
          [this](const std::string& text, const std::string& caption, MessageButtons buttons) {
            const UINT flags = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
            const int answer = ShowMessageBox(Handle(), text, caption, flags);
            return answer == IDYES || answer == IDOK;
          },
          [this]() -> std::optional<std::string> {
            if (folderChooser) return folderChooser(Handle());
            return ChooseWithSelectFolder(Handle());
          },
          {}}) {
  CreateControls();
  ui_.SetFrameWork([this] { ShowLatest(); });
  RECT client;
  GetClientRect(Handle(), &client);
  LayOut(client.right, client.bottom);
  RunReported(Handle(), [this] { FormCreate(); });
}

TMainCrt::~TMainCrt() {
  ShutDown();
  DestroyControls();
}

void TMainCrt::CreateControls() {
  SettingsControls& settings = model_.controls;

  // The three bands; LayOut sizes them to the client area.
  const PanelLook band{Edge::Etched, Align::Center, CLR_INVALID};
  panel10_ = &Named(Add<Panel>(nullptr, Bounds{}, band), "Panel10");
  panel16_ = &Named(Add<Panel>(nullptr, Bounds{}, band), "Panel16");
  panel13_ = &Named(Add<Panel>(nullptr, Bounds{}, band), "Panel13");

  // Folder bar.
  HWND bar = panel10_->Handle();
  bevel4_ =
      &Named(Add<Panel>(bar, Bounds{}, PanelLook{Edge::RightLine}, "", kFolderHint), "Bevel4");
  Named(Add<Label>(bevel4_->Handle(), 6, 5, "ﾌｫﾙﾀﾞｰ", "クリックでフォルダーの選択"), "Label13");
  panel12_ = &Named(
      Add<Panel>(bar, Bounds{}, PanelLook{Edge::Lowered, Align::Left}, "", kFolderHint), "Panel12");
  panel12_->BindCaption(settings.folder);
  panel12_->onClick = [this] { Panel12Click(); };
  panel11_ = &Named(Add<Panel>(bar, Bounds{}, PanelLook{Edge::None}), "Panel11");
  splitter1_ = &Named(
      Add<Splitter>(bar, Bounds{}, *panel12_, *panel11_, Splitter::Kept::After, kButtonPanelWidth),
      "Splitter1");
  HWND buttons = panel11_->Handle();
  // 26 pixels high in a panel of 23: centred, the arrows' bevel clipped.
  auto& folder = Named(Add<SpeedButton>(buttons, Bounds{0, -1, 49, 26}, "Folder", CLR_INVALID,
                                        "削除フォルダーを選択"),
                       "SpeedButton1");
  auto& start =
      Named(Add<SpeedButton>(buttons, Bounds{49, -1, 49, 26}, "Start", kNavy), "SpeedButton5");
  auto& stop =
      Named(Add<SpeedButton>(buttons, Bounds{98, -1, 52, 26}, "Stop", kPurple), "SpeedButton6");
  auto& help = Named(Add<SpeedButton>(buttons, Bounds{150, -1, 49, 26}, "Help"), "SpeedButton2");
  folder.onClick = [this] { SpeedButton1Click(); };
  start.onClick = [this] { SpeedButton5Click(); };
  stop.onClick = [this] { SpeedButton6Click(); };
  help.onClick = [this] { SpeedButton2Click(); };

  // Settings area: the sixteen category groups.
  HWND area = panel16_->Handle();
  for (int i = 0; i < kCategoryCount; ++i) {
    const CategoryGroup& g = kGroups[i];
    const Bounds place{kColumnLeft[i % 6], kRowTop[i / 6], kGroupWidth, kGroupHeight};
    HWND group = Named(Add<GroupBox>(area, place, g.caption, g.hint), g.group).Handle();
    CategoryControls& c = settings.categories[i];
    Named(Add<CheckBox>(group, Bounds{12, 18, kBoxWidth, kBoxHeight}, "削除", c.deleteBox),
          g.deleteBox);
    Named(Add<CheckBox>(group, Bounds{12, 37, kBoxWidth, kBoxHeight}, "サイズ指示", c.sizeBox),
          g.sizeBox);
    Named(Add<SpinEdit>(group, Bounds{12, 57, kSpinWidth, kSpinHeight}, c.spin), g.spin);
  }
  // The user's own extension, over two columns.
  {
    HWND group =
        Named(Add<GroupBox>(area, Bounds{kColumnLeft[4], kRowTop[2], 227, kGroupHeight}, "その他"),
              "GroupBox18")
            .Handle();
    CategoryControls& c = settings.categories[kOtherRule];
    Named(
        Add<CheckBox>(group, Bounds{16, 18, 200, kBoxHeight}, "その他ファイルの削除", c.deleteBox),
        "CheckBox32");
    Named(Add<Label>(group, 15, 41, "ファイル名"), "Label1");
    Named(Add<Edit>(group, Bounds{15, 56, 97, 20}, settings.otherExtension,
                    "削除するファイルの拡張子の入力（．の入力しない）"),
          "Edit5");
    Named(Add<CheckBox>(group, Bounds{134, 36, kBoxWidth, kBoxHeight}, "サイズ指示", c.sizeBox),
          "CheckBox17");
    Named(Add<SpinEdit>(group, Bounds{134, 56, kSpinWidth, kSpinHeight}, c.spin), "SpinEdit17");
  }
  // The two option groups.
  using S = SettingsControls;
  const auto optionGroup = [&](const char* name, const char* caption, int left, int width,
                               std::initializer_list<OptionPlace> places) {
    HWND group = Named(Add<GroupBox>(area, Bounds{left, 297, width, 55}, caption), name).Handle();
    for (const OptionPlace& p : places)
      Named(Add<CheckBox>(group, Bounds{p.left, p.top, p.width, kBoxHeight}, p.caption,
                          settings.OptionBoxOf(p.option), p.hint),
            p.name);
  };
  optionGroup("GroupBox3", "削除条件", 132, 349,
              {{S::kReadOnly, "CheckBox5", 45, 15, 150, "読取り専用を削除する", ""},
               {S::kConfirmStart, "CheckBox33", 45, 34, 150, "削除開始確認をする", ""},
               {S::kEmptyFolders, "CheckBox31", 206, 14, 135, "空フォルダーを削除", ""},
               {S::kSmaller, "CheckBox41", 206, 33, 135, "小さいサイズを削除",
                "削除するファイルが指示値より大きいか小さいかを指示"}});
  optionGroup("GroupBox1", "削除・その他", 491, 229,
              {{S::kRecentDocs, "CheckBox40", 10, 33, 130, "ファイル履歴を消す", ""},
               {S::kWinTemp, "CheckBox1", 145, 15, 80, "Win Temp", ""},
               {S::kBrowserCache, "CheckBox2", 145, 33, 80, "IE TEMP", ""}});
  // The name a run is working on, in the free corner left of the option
  // groups: wrapped, since file names are long.
  shownLater_[0] = &Named(Add<Panel>(area, Bounds{15, 300, 112, 52},
                                     PanelLook{Edge::None, Align::Left, CLR_INVALID, true}),
                          "ProgressText");
  shownLater_[0]->BindCaption(model_.progress, true);

  // Status bar.
  HWND status = panel13_->Handle();
  const PanelLook counter{Edge::Sunken, Align::Right, kWhite};
  const PanelLook count{Edge::SoftBevel, Align::Center, kLightYellow};
  Named(Add<Label>(status, 18, 6, "現サイズ"), "Label2");
  Named(Add<Panel>(status, Bounds{68, 5, 71, 13}, counter), "StaticText1")
      .BindCaption(model_.freeSpace);
  Named(Add<Label>(status, 144, 6, "ＫＢｙｔｅ　　削除サイズ"), "Label4");
  Named(Add<Panel>(status, Bounds{255, 5, 71, 13}, counter), "StaticText2")
      .BindCaption(model_.spaceWon);
  Named(Add<Label>(status, 330, 6, "ＫＢｙｔｅ"), "Label3");
  Named(Add<Label>(status, 447, 6, "読み込み件数"), "Label11");
  shownLater_[1] = &Named(Add<Panel>(status, Bounds{528, 4, 63, 16}, count), "StaticText3");
  shownLater_[1]->BindCaption(model_.readCount, true);
  Named(Add<Label>(status, 612, 6, "削除件数"), "Label12");
  shownLater_[2] = &Named(Add<Panel>(status, Bounds{666, 4, 63, 16}, count), "StaticText5");
  shownLater_[2]->BindCaption(model_.deletedCount, true);
}

void TMainCrt::Resized(int clientWidth, int clientHeight) {
  if (panel10_ != nullptr) LayOut(clientWidth, clientHeight);
}

void TMainCrt::LayOut(int width, int height) {
  const int folderBar = Scaled(kFolderBarHeight);
  const int statusBar = Scaled(kStatusBarHeight);
  panel10_->SetBounds({0, 0, width, folderBar});
  panel13_->SetBounds({0, height - statusBar, width, statusBar});
  panel16_->SetBounds({0, folderBar, width, std::max(0, height - folderBar - statusBar)});
  // Inside the folder bar's bevel: the label at the left, the button panel
  // at the right keeping the width the splitter gave it, the folder panel
  // between them.
  const int inset = Scaled(kBevelInset);
  const int inner = folderBar - 2 * inset;
  const int right = width - inset;
  const int buttonsWidth = splitter1_->KeptWidth();
  const int splitterWidth = Scaled(kSplitterWidth);
  const int splitterLeft = right - buttonsWidth - splitterWidth;
  const int folderLeft = inset + Scaled(kFolderLabelWidth);
  bevel4_->SetBounds({inset, inset, folderLeft - inset, inner});
  panel11_->SetBounds({right - buttonsWidth, inset, buttonsWidth, inner});
  splitter1_->SetBounds({splitterLeft, inset, splitterWidth, inner});
  panel12_->SetBounds({folderLeft, inset, std::max(0, splitterLeft - folderLeft), inner});
}

void TMainCrt::FormCreate() { model_.FormCreate(); }

bool TMainCrt::CloseQuery() {
  model_.FormCloseQuery();
  return true;
}

void TMainCrt::FolderChoice() { model_.ChooseFolder(); }
void TMainCrt::Panel12Click() { FolderChoice(); }
void TMainCrt::SpeedButton1Click() { FolderChoice(); }
void TMainCrt::SpeedButton5Click() { model_.Start(*this); }
void TMainCrt::SpeedButton6Click() { model_.Stop(); }
void TMainCrt::SpeedButton2Click() { OpenHelpFile(Handle()); }

void TMainCrt::ShowCaption(RunCaption which, const std::string& text) {
  OnUiThread([&] {
    // The counters change with every file, faster than a screen can show
    // them: kept in the model and set on their panels at display rate. The
    // free space and the space won, once a run, are set at once, after
    // what came before them.
    const bool counter = which == RunCaption::ReadCount || which == RunCaption::DeletedCount;
    if (!counter) ShowLatest();
    model_.Caption(which).SetText(text);
    if (!ui_.Serving()) ShowLatest();
  });
}

void TMainCrt::ShowProgress(const std::string& text) {
  // Like the counters, the name is shown at display rate.
  OnUiThread([&] {
    model_.progress.SetText(text);
    if (!ui_.Serving()) ShowLatest();
  });
}

void TMainCrt::ShowLatest() noexcept {
  for (Panel* panel : shownLater_) panel->ShowDue();
}

void TMainCrt::OnUiThread(const std::function<void()>& call) { ui_.Run(call); }

void TMainCrt::ShutDown() {
  if (!TFileDelte::Alive()) return;
  TFileDelte::StopAndWait([this] { ui_.ServeFor(10); });
}

}  // namespace purga::win
