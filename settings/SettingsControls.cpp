#include "settings/SettingsControls.h"

#include "platform/Platform.h"

namespace purga {

SettingsControls::SettingsControls(DeleteSettingsRecord& record)
    : options{{{{}, &DeleteSettingsRecord::DeleteReadOnly},
               {{}, &DeleteSettingsRecord::ConfirmStart},
               {{}, &DeleteSettingsRecord::DeleteEmptyFolders},
               {{}, &DeleteSettingsRecord::DeleteSmaller},
               {{}, &DeleteSettingsRecord::ClearRecentDocs},
               {{}, &DeleteSettingsRecord::CleanWinTemp},
               {{}, &DeleteSettingsRecord::CleanBrowserCache}}},
      record_(record) {
  for (int i = 0; i < kRuleCount; ++i) {
    CategoryControls& c = categories[i];
    // A spin edit never shows an empty text; set before the handlers are
    // wired, so that building the controls writes nothing into the record.
    c.spin.SetText("1");
    c.deleteBox.onClick = [this, i] { DeleteBoxClick(i); };
    c.sizeBox.onClick = [this, i] { SizeBoxClick(i); };
    c.spin.onChange = [this, i] { SpinChange(i); };
    // The size box and the spin edit start disabled.
    c.sizeBox.SetEnabled(false);
    c.spin.SetEnabled(false);
  }
  otherExtension.SetEnabled(false);
  otherExtension.onChange = [this] { Edit5Change(); };
  for (OptionBox& option : options) {
    option.box.onClick = [this, &option] {
      StoreFlag(record_.*option.flag, option.box.Checked() ? 1 : 0);
    };
  }
}

void SettingsControls::DeleteBoxClick(int i) {
  CategoryControls& c = categories[i];
  const bool ticked = c.deleteBox.Checked();
  StoreFlag(record_.Rules[i].Enabled, ticked ? 1 : 0);
  c.sizeBox.SetEnabled(ticked);
  c.spin.SetEnabled(ticked && c.sizeBox.Checked());
  if (i == kOtherRule) otherExtension.SetEnabled(ticked);
}

void SettingsControls::SizeBoxClick(int i) {
  CategoryControls& c = categories[i];
  StoreFlag(record_.Rules[i].SizeLimited, c.sizeBox.Checked() ? 1 : 0);
  c.spin.SetEnabled(c.sizeBox.Checked());
}

void SettingsControls::SpinChange(int i) {
  StoreThreshold(record_.Rules[i], categories[i].spin.Value());
}

void SettingsControls::Edit5Change() { StoreText(record_.OtherExtension, otherExtension.Text()); }

void SettingsControls::ApplyEnabledStates() {
  for (CategoryControls& c : categories) {
    c.spin.SetEnabled(c.sizeBox.Checked());
    c.sizeBox.SetEnabled(c.deleteBox.Checked());
  }
  const bool other = categories[kOtherRule].deleteBox.Checked();
  otherExtension.SetEnabled(other);
  categories[kOtherRule].sizeBox.SetEnabled(other);
}

void SettingsControls::ResetControls() {
  for (int i = 0; i < kRuleCount; ++i) {
    categories[i].deleteBox.SetChecked(kRuleDefaults[i].enabled == 1);
    categories[i].sizeBox.SetChecked(false);
    categories[i].spin.SetValue(kRuleDefaults[i].thresholdKB);
  }
  otherExtension.SetText("");
  OptionBoxOf(kEmptyFolders).SetChecked(true);
  OptionBoxOf(kSmaller).SetChecked(true);
  OptionBoxOf(kConfirmStart).SetChecked(true);
  folder.SetText("");
}

void SettingsControls::ControlsToSettings() {
  StoreText(record_.SavedFolder, folder.Text());
  for (int i = 0; i < kRuleCount; ++i) {
    const CategoryControls& c = categories[i];
    StoreFlag(record_.Rules[i].Enabled, c.deleteBox.Checked() ? 1 : 0);
    StoreFlag(record_.Rules[i].SizeLimited, c.sizeBox.Checked() ? 1 : 0);
    StoreThreshold(record_.Rules[i], c.spin.Value());
  }
  StoreText(record_.OtherExtension, otherExtension.Text());
}

void SettingsControls::SettingsToControls() {
  for (int i = 0; i < kRuleCount; ++i) {
    CategoryControls& c = categories[i];
    const CategoryRule& rule = record_.Rules[i];
    c.deleteBox.SetChecked(LoadFlag(rule.Enabled) != 0);
    c.sizeBox.SetChecked(LoadFlag(rule.SizeLimited) != 0);
    const int32_t threshold = LoadThreshold(rule);
    c.spin.SetValue(threshold);
    // Setting an unchanged text runs no handler, so a clamped value is
    // stored here; the record then holds what the control shows.
    if (SpinEditModel::Clamp(threshold) != threshold) SpinChange(i);
  }
  otherExtension.SetText(LoadText(record_.OtherExtension));
  for (Option which : {kEmptyFolders, kSmaller, kConfirmStart})
    OptionBoxOf(which).SetChecked(LoadFlag(record_.*options[which].flag) != 0);
  ApplyEnabledStates();
  // A folder that fills its field without a NUL, or whose bytes are no code
  // page 932 text, is refused as SetFolder refuses it: it would name another
  // folder, or none.
  const std::string saved = LoadText(record_.SavedFolder);
  folder.SetText(FolderUsable(saved) ? saved : std::string());
  for (Option which : {kReadOnly, kRecentDocs, kWinTemp, kBrowserCache})
    OptionBoxOf(which).SetChecked(LoadFlag(record_.*options[which].flag) != 0);
}

bool SettingsControls::FolderUsable(const std::string& path) const {
  bool exact = false;
  Os().ToWide(path, exact);
  return path.size() < sizeof record_.SavedFolder && exact;
}

bool SettingsControls::SetFolder(const std::string& path) {
  if (!FolderUsable(path)) return false;
  folder.SetText(path);
  StoreText(record_.SavedFolder, path);
  return true;
}

}  // namespace purga
