// The folder selection dialog: its controls and layout, its first placement
// over the launcher, and the handlers that hand the choice to its model.
#include "ui/win/FolderSelect.h"

#include "ui/win/ErrorReport.h"

namespace purga::win {

TSelect_Folder* Select_Folder = nullptr;

namespace {

constexpr int kWidth = 631;
constexpr int kHeight = 411;
constexpr int kBarHeight = 28;
constexpr int kButtonGroupWidth = 159;
constexpr int kButtonTop = 3;

// The client size of a window whose outer size is kWidth x kHeight.
SIZE ClientSize(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

TSelect_Folder::TSelect_Folder(HWND mainWindow)
    : Form("Select_Folder", {0, 0, kWidth, kHeight}),
      mainWindow_(mainWindow),
      bar_(Add<Panel>(nullptr, Bounds{0, 0, kWidth, kBarHeight}, PanelLook{Edge::None})),
      buttons_(Add<Panel>(bar_.Handle(), Bounds{0, 0, kButtonGroupWidth, kBarHeight},
                          PanelLook{Edge::None})),
      ShellTreeView1(Add<ShellTree>(nullptr, Bounds{0, kBarHeight, kWidth, kHeight - kBarHeight},
                                    ShellTree::RightClick::Nothing)),
      Panel3(Add<Panel>(bar_.Handle(), Bounds{0, 0, kWidth - kButtonGroupWidth, kBarHeight},
                        PanelLook{Edge::Etched, Align::Left})),
      SpeedButton1(Add<SpeedButton>(buttons_.Handle(), Bounds{54, kButtonTop, 52, 22}, "設 定")),
      SpeedButton2(Add<SpeedButton>(buttons_.Handle(), Bounds{3, kButtonTop, 52, 22}, "ｷｬﾝｾﾙ")),
      SpeedButton3(Add<SpeedButton>(buttons_.Handle(), Bounds{106, kButtonTop, 52, 22}, "ﾘﾌﾚｯｼｭ")) {
  bar_.SetName("Panel1");
  buttons_.SetName("Panel2");
  ShellTreeView1.SetName("ShellTreeView1");
  Panel3.SetName("Panel3");
  SpeedButton1.SetName("SpeedButton1");
  SpeedButton2.SetName("SpeedButton2");
  SpeedButton3.SetName("SpeedButton3");
  SpeedButton1.onClick = [this] { SpeedButton1Click(); };
  SpeedButton2.onClick = [this] { SpeedButton2Click(); };
  SpeedButton3.onClick = [this] { SpeedButton3Click(); };
  ShellTreeView1.onChange = [this](HTREEITEM node) { ShellTreeView1Change(node); };
  const SIZE client = ClientSize(Handle());
  Layout(client.cx, client.cy);
  // The tree starts at the desktop, expanded one level and selected.
  ShellTreeView1.Build();
}

TSelect_Folder::~TSelect_Folder() {
  // No notification may reach the tree's handlers while they are going.
  DestroyControls();
}

void TSelect_Folder::Resized(int clientWidth, int clientHeight) {
  Layout(clientWidth, clientHeight);
}

void TSelect_Folder::Layout(int clientWidth, int clientHeight) {
  const int barHeight = Scaled(kBarHeight);
  const int groupWidth = Scaled(kButtonGroupWidth);
  bar_.SetBounds({0, 0, clientWidth, barHeight});
  const int pathWidth = std::max(clientWidth - groupWidth, 0);
  Panel3.SetBounds({0, 0, pathWidth, barHeight});
  buttons_.SetBounds({pathWidth, 0, groupWidth, barHeight});
  ShellTreeView1.SetBounds({0, barHeight, clientWidth, std::max(clientHeight - barHeight, 0)});
}

void TSelect_Folder::FormShow() {
  if (!ShownBefore()) {
    // Centred over the main window; the form then keeps it on the work area.
    HWND over = mainWindow_ != nullptr ? mainWindow_ : GetWindow(Handle(), GW_OWNER);
    ScreenRect main, self;
    if (ScreenRectOf(over, main) && ScreenRectOf(Handle(), self)) {
      const ScreenPoint at = CentredOver(main, self.Width(), self.Height());
      SetWindowPos(Handle(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  Panel3.SetText(FolderSelectModel::StartShowing());
}

void TSelect_Folder::ShellTreeView1Change(HTREEITEM node) {
  const AnsiName path = ShellTreeView1.PathOf(node);
  SelectionChanged(path.text, path.exact);
  Panel3.SetText(FolderPath);
  RefreshNode = node;
}

void TSelect_Folder::SpeedButton1Click() {
  FolderSelectPrompts prompts;
  prompts.inform = [this](const std::string& text, const std::string& caption) {
    ShowMessageBox(Handle(), text, caption, MB_OK);
  };
  prompts.confirm = [this](const std::string& text, const std::string& caption) {
    return ShowMessageBox(Handle(), text, caption, MB_OKCANCEL) == IDOK;
  };
  // A folder that cannot be entered throws: the general error report shows
  // it and the dialog stays open.
  if (Set(prompts)) EndModal(FolderSet == 1 ? IDOK : IDCANCEL);
}

void TSelect_Folder::SpeedButton2Click() {
  if (Cancel()) EndModal(IDCANCEL);
}

void TSelect_Folder::SpeedButton3Click() {
  if (RefreshNode != nullptr) ShellTreeView1.Refresh(RefreshNode);
}

}  // namespace purga::win
