// The deletion window's settings controls as state, with the handlers that
// store each change into DeleteSettings at once. The window shows these
// models; the default path of loading the settings runs ResetControls and
// ControlsToSettings on the same object, so the window and the record cannot
// diverge.
#pragma once

#include <array>

#include "common/Hensu.h"
#include "settings/ControlModel.h"

namespace purga {

// One category group: its "削除" box, "サイズ指示" box and spin edit.
struct CategoryControls {
  CheckBoxModel deleteBox;
  CheckBoxModel sizeBox;
  SpinEditModel spin;
};

// An option box and the record flag its click handler stores.
struct OptionBox {
  CheckBoxModel box;
  uint8_t DeleteSettingsRecord::*flag;
};

class SettingsControls {
 public:
  // Option boxes, in the order of the window's two option groups.
  enum Option {
    kReadOnly,      // CheckBox5  "読取り専用を削除する"   DeleteReadOnly
    kConfirmStart,  // CheckBox33 "削除開始確認をする"     ConfirmStart
    kEmptyFolders,  // CheckBox31 "空フォルダーを削除"     DeleteEmptyFolders
    kSmaller,       // CheckBox41 "小さいサイズを削除"     DeleteSmaller
    kRecentDocs,    // CheckBox40 "ファイル履歴を消す"     ClearRecentDocs
    kWinTemp,       // CheckBox1  "Win Temp"               CleanWinTemp
    kBrowserCache,  // CheckBox2  "IE TEMP"                CleanBrowserCache
    kOptionCount
  };

  // Wires every handler to `record`.
  explicit SettingsControls(DeleteSettingsRecord& record = DeleteSettings);
  SettingsControls(const SettingsControls&) = delete;
  SettingsControls& operator=(const SettingsControls&) = delete;

  std::array<CategoryControls, kRuleCount> categories;
  // Edit5: five characters typed; a loaded record shows its whole field.
  EditModel otherExtension{5, sizeof(DeleteSettingsRecord::OtherExtension)};
  std::array<OptionBox, kOptionCount> options;
  CaptionModel folder;  // the folder panel Panel12

  // Puts every settings control to its default state (the option boxes of
  // the clean-up group and CheckBox5 are not touched).
  void ResetControls();
  // Copies the folder, the rules and the other extension into the record.
  void ControlsToSettings();
  // Copies the record into the controls; the handlers store the values back.
  void SettingsToControls();

  // Sets the folder panel and SavedFolder. A path that does not fit the
  // record's 255 bytes is refused (false), never truncated, and so is one
  // that is no code page 932 text. SettingsToControls refuses a loaded one
  // alike: the panel stays empty.
  bool SetFolder(const std::string& path);

  CheckBoxModel& OptionBoxOf(Option which) { return options[which].box; }

 private:
  void DeleteBoxClick(int i);
  void SizeBoxClick(int i);
  void SpinChange(int i);
  void Edit5Change();
  void ApplyEnabledStates();
  // True when `path` and its NUL fit SavedFolder and its bytes are code page
  // 932 text.
  bool FolderUsable(const std::string& path) const;

  DeleteSettingsRecord& record_;
};

}  // namespace purga
