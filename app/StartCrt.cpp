// The launcher window and its picture buttons.
#include "app/StartCrt.h"

#include "app/resource.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/MainForm.h"

namespace purga::win {

TStartForm* StartForm = nullptr;

PictureButton::PictureButton(Form& form, const Bounds& bounds, int iconId, const std::string& hint)
    : Control(form) {
  HWND hwnd =
      CreateChild(nullptr, "BUTTON", "", BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 0, bounds, hint);
  picture_ = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId),
                                           IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  SendMessageA(hwnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture_));
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
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const auto icon = [instance](int size) {
    return reinterpret_cast<LPARAM>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PURGATOR), IMAGE_ICON,
                                               size, size, LR_DEFAULTCOLOR));
  };
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, icon(32));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, icon(16));
  SpeedButton1.onClick = [this] { SpeedButton1Click(); };
  SpeedButton2.onClick = [this] { SpeedButton2Click(); };
  SpeedButton3.onClick = [this] { SpeedButton3Click(); };
}

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
