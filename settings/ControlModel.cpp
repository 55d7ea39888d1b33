#include "settings/ControlModel.h"

#include <algorithm>
#include <charconv>

#include "common/commFunc.h"

namespace purga {

void ControlModel::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  NotifyView();
}

void ControlModel::NotifyView() const {
  if (onViewChanged) onViewChanged();
}

void CheckBoxModel::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  NotifyView();
  if (onClick) onClick();
}

void EditModel::SetText(const std::string& text) { Assign(text, shownLength_); }

void EditModel::Typed(const std::string& text) {
  // A loaded text longer than typing allows may be shortened, never lengthened.
  const size_t limit =
      maxLength_ == 0 ? 0 : std::max(maxLength_, std::min(text_.size(), shownLength_));
  Assign(text, limit);
}

void EditModel::Assign(const std::string& text, size_t limit) {
  std::string limited = text;
  if (limit != 0 && limited.size() > limit) {
    size_t cut = limit;
    if (!StartsCharacter(limited, cut)) --cut;  // keep a double-byte character whole
    limited.resize(cut);
  }
  if (limited == text_) return;
  text_ = std::move(limited);
  NotifyView();
  if (onChange) onChange();
}

int32_t SpinEditModel::ParseValue(const std::string& text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
    return kMinValue;
  return value;
}

int32_t SpinEditModel::Value() const { return ParseValue(Text()); }

int32_t SpinEditModel::Clamp(int64_t value) {
  if (value < kMinValue) return kMinValue;
  if (value > kMaxValue) return kMaxValue;
  return static_cast<int32_t>(value);
}

void SpinEditModel::SetValue(int32_t value) { SetText(std::to_string(Clamp(value))); }

void SpinEditModel::FocusLost() {
  const int32_t value = Value();
  if (Clamp(value) != value) SetValue(value);
}

void CaptionModel::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  NotifyView();
}

}  // namespace purga
