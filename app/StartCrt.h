// The launcher: the program's main window, a small toolbar of three picture
// buttons that opens the deletion window, the file date editor and the help
// file. Closing it ends the program.
#pragma once

#include <functional>
#include <string>

#include "ui/win/Form.h"

namespace purga::win {

// A button that shows an icon of the exe's resources, 32 x 32 at 96 dpi,
// and no text.
class PictureButton : public Control {
 public:
  static constexpr int kPictureSize = 32;

  PictureButton(Form& form, const Bounds& bounds, int iconId, const std::string& hint);
  ~PictureButton() override;
  HICON Picture() const { return picture_; }

  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;
  void DpiChanged() override;

 private:
  // The picture at the form's DPI.
  void ShowPicture();
  int iconId_;
  HICON picture_ = nullptr;
};

class TStartForm : public Form {
 public:
  // Position of the launcher (screen coordinates) and size of its client
  // area, which holds the buttons (38 pixels high) whatever the frame: 117 x 66
  // outside with classic frames.
  static constexpr Bounds kPlace{461, 109, 111, 41};

  TStartForm();
  ~TStartForm() override;

  // Left to right.
  PictureButton& SpeedButton2;  // deletion window
  PictureButton& SpeedButton3;  // file date editor
  PictureButton& SpeedButton1;  // help

  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void DpiChanged() override;

 private:
  // The title bar's and the task switcher's icons at the form's DPI.
  void ShowIcons();
  HICON icons_[2] = {};  // big, small
};

// The program-wide launcher, created first at start-up.
extern TStartForm* StartForm;

}  // namespace purga::win
