// The decisions of the file date and attribute editor, without a display:
// which folder the list shows, picking a file, and writing its last-write
// time and read-only attribute.
#pragma once

#include <cstdint>
#include <string>

namespace purga {

// Full path of the file last picked in the list, in UTF-16: "変更" works on
// that very file, whatever characters its name holds.
extern std::u16string SelectedFile;
// Read-only bit (0 or 1) of SelectedFile as it was when picked.
extern int32_t SelectedReadOnly;

// What the editor's logic reads from and shows on its window.
class FileUpdateView {
 public:
  virtual ~FileUpdateView() = default;
  virtual void SetStatus(const std::string& text) = 0;
  // The list shows this folder's files; the address panel its path.
  virtual void SetListRoot(const std::string& path) = 0;
  virtual void SetAddress(const std::string& path) = 0;
  // The list's selected item, its path in UTF-16: false when there is none
  // or it cannot be read.
  virtual bool SelectedItem(std::u16string& path, bool& isFolder) = 0;
  // PatsUp: the picked file's path as the code page shows it ("?" for a
  // character it lacks).
  virtual void SetPickedFile(const std::string& shown) = 0;
  // The pickers' date-time values.
  virtual double DateValue() = 0;
  virtual double TimeValue() = 0;
  virtual void SetDateValue(double value) = 0;
  virtual void SetTimeValue(double value) = 0;
  virtual bool ReadOnlyChecked() = 0;
  virtual void SetReadOnlyChecked(bool checked) = 0;
  virtual void RefreshList() = 0;
};

// The status line's messages: a folder on a drive the editor does not list;
// a picked file that is gone; a picked file whose date the pickers cannot
// show (before 1980, after 2107, or no valid time).
inline constexpr char kRejectedDrive[] = "指示できないドライブです　 ";
inline constexpr char kFileNotFound[] = "ファイルが見つかりません。";
inline constexpr char kDateNotShown[] =
    "日付・時間を表示できないファイルです。日付・時間は指示するまで変更しません。";

class FileUpdateModel {
 public:
  explicit FileUpdateModel(FileUpdateView& view) : view_(view) {}

  // The window is created: nothing picked.
  void Create();
  // The tree selected the folder `path`.
  void TreeChanged(const std::string& path, bool exact);
  // A mouse button went down in the list: pick its selected file.
  void ListMouseDown();
  // The user changed the date or the time picker.
  void PickerChanged();
  // "変更": write the pickers' date and time and the read-only box.
  void Apply();

 private:
  FileUpdateView& view_;
  // The pickers show SelectedFile's date and time, or what the user set after
  // picking it. Otherwise they still show an earlier file's, which "変更"
  // must not write onto this one.
  bool pickersLoaded_ = false;
  // Why they are not: the status line's message, shown again at "変更".
  std::string notLoadedMessage_;
};

}  // namespace purga
