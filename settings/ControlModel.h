// State of the window controls that edit settings, without a display.
//
// The forms were designed for a toolkit in which setting a check box's state
// or a spin edit's value from code runs its handler whenever the value
// changes, exactly as a user change would. These models carry that rule once;
// the Win32 controls are views over them (user input calls the setters, and
// `onViewChanged` tells the view to show the new state).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace purga {

class ControlModel {
 public:
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Tells the view to show the model's state again.
  std::function<void()> onViewChanged;

 protected:
  void NotifyView() const;

 private:
  bool enabled_ = true;
};

class CheckBoxModel : public ControlModel {
 public:
  bool Checked() const { return checked_; }
  // Runs onClick when the state changes.
  void SetChecked(bool checked);

  std::function<void()> onClick;

 private:
  bool checked_ = false;
};

// A single-line edit with a length limit in bytes. onChange runs whenever the
// text changes.
class EditModel : public ControlModel {
 public:
  // Typing reaches at most `maxLength` bytes (0: no limit); a text set from
  // code may be longer, up to `shownLength` (0: as long as typing).
  explicit EditModel(size_t maxLength = 0, size_t shownLength = 0)
      : maxLength_(maxLength), shownLength_(shownLength != 0 ? shownLength : maxLength) {}
  const std::string& Text() const { return text_; }
  // A text set from code: cut at the shown length.
  void SetText(const std::string& text);
  // The text as the user left it: cut at the typing limit, except that a
  // longer text set from code may be edited within its own length.
  void Typed(const std::string& text);
  size_t MaxLength() const { return maxLength_; }

  std::function<void()> onChange;

 private:
  // Cut at `limit` bytes (0: none), a double-byte character never split.
  void Assign(const std::string& text, size_t limit);

  std::string text_;
  size_t maxLength_;
  size_t shownLength_;
};

// A whole-number spin edit: step 1, range 1..99999, at most 5 characters.
class SpinEditModel : public EditModel {
 public:
  static constexpr int32_t kMinValue = 1;
  static constexpr int32_t kMaxValue = 99999;
  static constexpr size_t kMaxLength = 5;

  SpinEditModel() : EditModel(kMaxLength) {}
  // The text read as a whole number; a text that is not one reads as 1.
  int32_t Value() const;
  // Shows `value` clamped to the range.
  void SetValue(int32_t value);
  // The arrows: one step up or down, within the range.
  void StepUp() { SetValue(Value() + 1); }
  void StepDown() { SetValue(Value() - 1); }
  // On losing the focus a value outside the range is shown clamped.
  void FocusLost();

  static int32_t Clamp(int64_t value);
  static int32_t ParseValue(const std::string& text);
};

// A caption shown by a panel or static text.
class CaptionModel : public ControlModel {
 public:
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);

 private:
  std::string text_;
};

}  // namespace purga
