// The launcher: the program's main window, a small toolbar of three picture
// buttons that opens the deletion window, the file date editor and the help
// file. Closing it ends the program.
#pragma once

#include <functional>
#include <string>

#include "ui/win/Form.h"

namespace purga::win {

// A button that shows a 32 x 32 icon from the exe's resources and no text.
class PictureButton : public Control {
 public:
  PictureButton(Form& form, const Bounds& bounds, int iconId, const std::string& hint);
  HICON Picture() const { return picture_; }

  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  HICON picture_ = nullptr;
};

class TStartForm : public Form {
 public:
  // Position of the launcher (screen coordinates) and size of its client
  // area, which holds the buttons (38 pixels high) whatever the frame: 117 x 66
  // outside with classic frames.
  static constexpr Bounds kPlace{461, 109, 111, 41};

  TStartForm();

  // Left to right.
  PictureButton& SpeedButton2;  // deletion window
  PictureButton& SpeedButton3;  // file date editor
  PictureButton& SpeedButton1;  // help

  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The program-wide launcher, created first at start-up.
extern TStartForm* StartForm;

}  // namespace purga::win
