// The launcher window and its picture buttons.
#include "app/StartCrt.h"

#include <vector>

#include "app/resource.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/MainForm.h"

namespace purga::win {

TStartForm* StartForm = nullptr;

namespace {

// The sizes mkpictures.py makes the pictures in (100, 125, 150 and 200 %),
// and the program's icon besides in the title bar's sizes.
const std::vector<int> kPictureSizes{32, 40, 48, 64};
const std::vector<int> kIconSizes{16, 20, 24, 32, 40, 48, 64};

// The icon `id` in the size made nearest to `size`: drawn for that size,
// not stretched from another.
HICON LoadPicture(int id, int size, const std::vector<int>& made) {
  const int nearest = NearestSize(size, made);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                       nearest, nearest, LR_DEFAULTCOLOR));
}

}  // namespace

PictureButton::PictureButton(Form& form, const Bounds& bounds, int iconId, const std::string& hint)
    : Control(form), iconId_(iconId) {
  CreateChild(nullptr, L"BUTTON", "", BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 0, bounds, hint);
  ShowPicture();
}

PictureButton::~PictureButton() {
  if (picture_ != nullptr) DestroyIcon(picture_);
}

void PictureButton::ShowPicture() {
  HICON old = picture_;
  picture_ = LoadPicture(iconId_, OwnerForm().Scaled(kPictureSize), kPictureSizes);
  SendMessageW(Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture_));
  if (old != nullptr) DestroyIcon(old);
}

void PictureButton::DpiChanged() {
  Control::DpiChanged();
  ShowPicture();
}

void PictureButton::OnCommand(HWND /*from*/, int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

namespace {

// The three buttons overlap their neighbours by one pixel.
constexpr int kButtonWidth = 36;
constexpr int kButtonHeight = 38;

PictureButton& MakeButton(Form& form, const char* name, int left, int iconId, const char* hint) {
  auto& button = form.Add<PictureButton>(Bounds{left, 0, kButtonWidth, kButtonHeight}, iconId,
                                         std::string(hint));
  button.SetName(name);
  return button;
}

}  // namespace

TStartForm::TStartForm()
    : Form("StartForm", kPlace, FormBorder::Single, FormSize::Client),
      SpeedButton2(MakeButton(*this, "SpeedButton2", 1, IDI_DELETE, "ファイル削除")),
      SpeedButton3(MakeButton(*this, "SpeedButton3", 36, IDI_EDIT, "ファイルの属性変更")),
      SpeedButton1(MakeButton(*this, "SpeedButton1", 71, IDI_HELP, "ヘルプ")) {
  ShowIcons();
  SpeedButton1.onClick = [this] { SpeedButton1Click(); };
  SpeedButton2.onClick = [this] { SpeedButton2Click(); };
  SpeedButton3.onClick = [this] { SpeedButton3Click(); };
}

TStartForm::~TStartForm() {
  DestroyControls();
  for (HICON icon : icons_)
    if (icon != nullptr) DestroyIcon(icon);
}

void TStartForm::ShowIcons() {
  const int sizes[2] = {MetricAt(SM_CXICON, Dpi()), MetricAt(SM_CXSMICON, Dpi())};
  const WPARAM kinds[2] = {ICON_BIG, ICON_SMALL};
  for (int i = 0; i < 2; ++i) {
    HICON icon = LoadPicture(IDI_PURGATOR, sizes[i], kIconSizes);
    SendMessageW(Handle(), WM_SETICON, kinds[i], reinterpret_cast<LPARAM>(icon));
    if (icons_[i] != nullptr) DestroyIcon(icons_[i]);
    icons_[i] = icon;
  }
}

void TStartForm::DpiChanged() { ShowIcons(); }

void TStartForm::SpeedButton1Click() { OpenHelpFile(Handle()); }

void TStartForm::SpeedButton2Click() { MainCrt->ShowModal(Handle()); }

void TStartForm::SpeedButton3Click() { FileUp->ShowModal(Handle()); }

LRESULT TStartForm::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    // The main window: closing it ends the message loop and the program.
    // While a window is shown modally the launcher is disabled and cannot be
    // closed.
    if (IsWindowEnabled(Handle())) {
      Hide();
      PostQuitMessage(0);
    }
    return 0;
  }
  return Form::WindowProc(msg, wParam, lParam);
}

}  // namespace purga::win
