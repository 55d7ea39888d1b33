// The controls that are typed into: single-line edits, whole-number spin
// edits, and date and time pickers.
#pragma once

#include <functional>

#include "settings/ControlModel.h"
#include "ui/model/FileUpdateDateTime.h"
#include "ui/win/Form.h"

namespace purga::win {

// A single-line edit over an EditModel; typing is limited to the model's
// length.
class Edit : public Control {
 public:
  Edit(Form& form, HWND parent, const Bounds& bounds, EditModel& model,
       const std::string& hint = {});
  ~Edit() override;
  EditModel& Model() const { return model_; }

 protected:
  void OnCommand(HWND from, int code) override;
  void ShowModel();
  EditModel& model_;
};

// A whole-number spin edit: an edit with up and down arrows over a
// SpinEditModel. Typing sets the model's text; the arrows step by one within
// the model's range; losing the focus clamps the shown value.
class SpinEdit : public Edit {
 public:
  SpinEdit(Form& form, HWND parent, const Bounds& bounds, SpinEditModel& model,
           const std::string& hint = {});
  SpinEditModel& Spin() const { return static_cast<SpinEditModel&>(model_); }
  HWND Arrows() const { return arrows_; }

  Bounds GetBounds() const override;
  void SetEnabled(bool enabled) override;

 protected:
  void Move(const Bounds& bounds) override;
  void OnCommand(HWND from, int code) override;
  bool OnNotify(NMHDR& header, LRESULT& result) override;

 private:
  HWND arrows_ = nullptr;
};

// Calendar fields to and from the platform's SYSTEMTIME.
SYSTEMTIME ToSystemTime(const CivilDateTime& when);
CivilDateTime FromSystemTime(const SYSTEMTIME& time);

// A date or time picker changed with the keyboard or up-down arrows; its
// value is a date-time value (days since 1899-12-30). Its font is the forms'
// face at `fontHeight` (pixels at 96 dpi).
class DateTimePicker : public Control {
 public:
  DateTimePicker(Form& form, HWND parent, const Bounds& bounds, DWORD style, int fontHeight);
  double Value() const;
  // Runs no onUserChange.
  void SetValue(double value);

  // The user changed the value.
  std::function<void()> onUserChange;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;

 private:
  bool settingValue_ = false;
};

}  // namespace purga::win
