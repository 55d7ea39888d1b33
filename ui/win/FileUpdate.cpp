// The file date and attribute editor: its controls, their layout, and the
// view its model works through.
#include "ui/win/FileUpdate.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/CodePage.h"
#include "ui/model/FileUpdateDateTime.h"

namespace purga::win {

TFileUp* FileUp = nullptr;

namespace {

constexpr int kTopBarHeight = 25;
constexpr int kAddressLabelWidth = 67;
constexpr int kTreeWidth = 189;
constexpr int kSplitterWidth = 5;
constexpr int kEditBarHeight = 69;
constexpr int kStatusHeight = 19;
constexpr int kPickerFontHeight = 13;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The pickers' values before any file is picked.
constexpr CivilDateTime kInitialDate{2000, 1, 1, 0, 0, 0};

}  // namespace

TFileUp::TFileUp()
    : Form("FileUp", {220, 151, 721, 470}),
      model_(*this),
      Panel2(Add<Panel>(nullptr, Bounds{0, 0, kAddressLabelWidth, kTopBarHeight},
                        PanelLook{Edge::Raised, Align::Center}, "アドレス")),
      Panel3(Add<Panel>(nullptr, Bounds{kAddressLabelWidth, 0, 600, kTopBarHeight},
                        PanelLook{Edge::Lowered, Align::Left, kWhite})),
      ShellTreeView1(Add<ShellTree>(nullptr, Bounds{0, kTopBarHeight, kTreeWidth, 300},
                                    ShellTree::RightClick::ShellMenu,
                                    ShellTree::Expanding::ReRead)),
      RightPane(Add<Panel>(nullptr, Bounds{kTreeWidth + kSplitterWidth, kTopBarHeight, 500, 300},
                           PanelLook{Edge::None})),
      Splitter1(Add<Splitter>(nullptr, Bounds{kTreeWidth, kTopBarHeight, kSplitterWidth, 300},
                              ShellTreeView1, RightPane, Splitter::Kept::Before, kTreeWidth)),
      ShellListView1(Add<ShellList>(RightPane.Handle(), Bounds{0, 0, 500, 231})),
      Panel5(Add<Panel>(RightPane.Handle(), Bounds{0, 231, 500, kEditBarHeight},
                        PanelLook{Edge::Raised})),
      Label3(Add<Label>(Panel5.Handle(), 8, 16, "ﾌｧｲﾙ名")),
      PatsUp(Add<Panel>(Panel5.Handle(), Bounds{52, 8, 449, 21},
                        PanelLook{Edge::Lowered, Align::Left, kWhite})),
      Label1(Add<Label>(Panel5.Handle(), 24, 45, "日付")),
      Label2(Add<Label>(Panel5.Handle(), 178, 45, "時間")),
      // Tab order: the two pickers, the box, the button.
      DateTimePicker1(Add<DateTimePicker>(Panel5.Handle(), Bounds{52, 41, 101, 21},
                                          DTS_SHORTDATEFORMAT | DTS_UPDOWN, kPickerFontHeight)),
      DateTimePicker2(Add<DateTimePicker>(Panel5.Handle(), Bounds{209, 41, 75, 21},
                                          DTS_TIMEFORMAT | DTS_UPDOWN, kPickerFontHeight)),
      CheckBox1(
          Add<CheckBox>(Panel5.Handle(), Bounds{314, 44, 97, 17}, "読込み専用", readOnlyModel_)),
      BitBtn1(Add<PushButton>(Panel5.Handle(), Bounds{440, 40, 61, 25}, "変更")),
      StatusBar1(Add<StatusBar>(nullptr, Bounds{0, 400, 721, kStatusHeight})) {
  Panel2.SetName("Panel2");
  Panel3.SetName("Panel3");
  ShellTreeView1.SetName("ShellTreeView1");
  RightPane.SetName("Panel4");
  Splitter1.SetName("Splitter1");
  ShellListView1.SetName("ShellListView1");
  Panel5.SetName("Panel5");
  Label3.SetName("Label3");
  PatsUp.SetName("PatsUp");
  Label1.SetName("Label1");
  Label2.SetName("Label2");
  DateTimePicker1.SetName("DateTimePicker1");
  DateTimePicker2.SetName("DateTimePicker2");
  CheckBox1.SetName("CheckBox1");
  BitBtn1.SetName("BitBtn1");
  StatusBar1.SetName("StatusBar1");

  DateTimePicker1.SetValue(EncodeDateTime(kInitialDate));
  DateTimePicker2.SetValue(TimePart(EncodeDateTime(kInitialDate)));
  BitBtn1.onClick = [this] { BitBtn1Click(); };
  DateTimePicker1.onUserChange = [this] { model_.PickerChanged(); };
  DateTimePicker2.onUserChange = [this] { model_.PickerChanged(); };
  ShellListView1.onMouseDown = [this] { ShellListView1MouseDown(); };
  ShellTreeView1.onChange = [this](HTREEITEM node) { ShellTreeView1Change(node); };
  Splitter1.onMoved = [this] { LayoutPane(); };

  RECT client{};
  GetClientRect(Handle(), &client);
  Layout(client.right, client.bottom);
  // FormCreate: nothing picked yet; then the tree starts at the desktop,
  // which lists the desktop's files.
  model_.Create();
  ShellTreeView1.Build();
}

TFileUp::~TFileUp() {
  // No notification may reach the handlers while the members go.
  DestroyControls();
}

void TFileUp::Resized(int clientWidth, int clientHeight) { Layout(clientWidth, clientHeight); }

void TFileUp::Layout(int clientWidth, int clientHeight) {
  const int topBar = Scaled(kTopBarHeight);
  const int labelWidth = Scaled(kAddressLabelWidth);
  const int status = Scaled(kStatusHeight);
  const int splitterWidth = Scaled(kSplitterWidth);
  Panel2.SetBounds({0, 0, labelWidth, topBar});
  Panel3.SetBounds({labelWidth, 0, std::max(clientWidth - labelWidth, 0), topBar});
  StatusBar1.SetBounds({0, clientHeight - status, clientWidth, status});
  const int paneHeight = std::max(clientHeight - topBar - status, 0);
  // The tree keeps the width the splitter gave it.
  const int treeWidth = std::min(Splitter1.KeptWidth(), std::max(clientWidth - splitterWidth, 0));
  ShellTreeView1.SetBounds({0, topBar, treeWidth, paneHeight});
  Splitter1.SetBounds({treeWidth, topBar, splitterWidth, paneHeight});
  const int paneLeft = treeWidth + splitterWidth;
  RightPane.SetBounds({paneLeft, topBar, std::max(clientWidth - paneLeft, 0), paneHeight});
  LayoutPane();
}

void TFileUp::LayoutPane() {
  const Bounds pane = RightPane.GetBounds();
  const int editBar = Scaled(kEditBarHeight);
  const int listHeight = std::max(pane.height - editBar, 0);
  ShellListView1.SetBounds({0, 0, pane.width, listHeight});
  Panel5.SetBounds({0, listHeight, pane.width, editBar});
}

void TFileUp::ShellTreeView1Change(HTREEITEM node) {
  const AnsiName path = ShellTreeView1.PathOf(node);
  model_.TreeChanged(path.text, path.exact);
}

void TFileUp::ShellListView1MouseDown() { model_.ListMouseDown(); }

void TFileUp::BitBtn1Click() { model_.Apply(); }

void TFileUp::SetStatus(const std::string& text) { StatusBar1.SetText(text); }

void TFileUp::SetListRoot(const std::string& path) { ShellListView1.SetRoot(path); }

void TFileUp::SetAddress(const std::string& path) { Panel3.SetText(path); }

bool TFileUp::SelectedItem(std::u16string& path, bool& isFolder) {
  const int index = ShellListView1.SelectedIndex();
  if (index < 0) return false;
  isFolder = ShellListView1.IsFolder(index);
  path = FromWide(ShellListView1.FullPathOf(index));
  return true;
}

void TFileUp::SetPickedFile(const std::string& path) { PatsUp.SetText(path); }

double TFileUp::DateValue() { return DateTimePicker1.Value(); }

double TFileUp::TimeValue() { return DateTimePicker2.Value(); }

void TFileUp::SetDateValue(double value) { DateTimePicker1.SetValue(value); }

void TFileUp::SetTimeValue(double value) { DateTimePicker2.SetValue(value); }

bool TFileUp::ReadOnlyChecked() { return readOnlyModel_.Checked(); }

void TFileUp::SetReadOnlyChecked(bool checked) { readOnlyModel_.SetChecked(checked); }

void TFileUp::RefreshList() { ShellListView1.Refresh(); }

}  // namespace purga::win
