// The decisions of the file date and attribute editor, without a display:
// which folder the list shows, picking a file, and writing its last-write
// time and read-only attribute.
#pragma once

#include <cstdint>
#include <string>

namespace purga {

// Full path of the file last picked in the list; "変更" works on it.
extern std::string SelectedFile;
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
  // The list's selected item: false when there is none or it cannot be read.
  // `exact` is false when its name has no exact form in the code page.
  virtual bool SelectedItem(std::string& path, bool& exact, bool& isFolder) = 0;
  virtual void SetPickedFile(const std::string& path) = 0;  // PatsUp
  // The pickers' date-time values.
  virtual double DateValue() = 0;
  virtual double TimeValue() = 0;
  virtual void SetDateValue(double value) = 0;
  virtual void SetTimeValue(double value) = 0;
  virtual bool ReadOnlyChecked() = 0;
  virtual void SetReadOnlyChecked(bool checked) = 0;
  virtual void RefreshList() = 0;
};

// The message of a folder on a drive the editor does not list.
inline constexpr char kRejectedDrive[] = "指示できないドライブです　 ";

class FileUpdateModel {
 public:
  explicit FileUpdateModel(FileUpdateView& view) : view_(view) {}

  // The window is created: nothing picked.
  void Create();
  // The tree selected the folder `path`.
  void TreeChanged(const std::string& path, bool exact);
  // A mouse button went down in the list: pick its selected file.
  void ListMouseDown();
  // "変更": write the pickers' date and time and the read-only box.
  void Apply();

 private:
  FileUpdateView& view_;
};

}  // namespace purga
