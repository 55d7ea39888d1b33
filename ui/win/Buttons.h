// The controls that are pressed: check boxes, the flat speed buttons that
// take no keyboard focus, and push buttons.
#pragma once

#include <functional>
#include <string>

#include "settings/ControlModel.h"
#include "ui/win/Form.h"

namespace purga::win {

// A check box over a CheckBoxModel: a click sets the model, which runs the
// click handler; the model's state and enabled flag are shown.
class CheckBox : public Control {
 public:
  CheckBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
           CheckBoxModel& model, const std::string& hint = {});
  ~CheckBox() override;
  CheckBoxModel& Model() const { return model_; }

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  void ShowModel();
  CheckBoxModel& model_;
};

// A flat button that takes no keyboard focus, with a coloured caption.
// BM_CLICK clicks it as the mouse does.
class SpeedButton : public Control {
 public:
  static constexpr const wchar_t* kClassName = L"PurgaSpeedButton";

  SpeedButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
              COLORREF textColour = CLR_INVALID, const std::string& hint = {});
  COLORREF TextColour() const { return textColour_; }

  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  COLORREF textColour_;
  bool pressed_ = false;
  bool hot_ = false;
};

// A push button that takes the focus and is a tab stop.
class PushButton : public Control {
 public:
  PushButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption);
  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;
};

}  // namespace purga::win
