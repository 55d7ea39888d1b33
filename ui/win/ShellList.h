// The shell file list: the files of one folder (no folders, no hidden
// entries) in report view with the shell's detail columns, sorted as the
// shell sorts names. It watches its folder and re-reads itself when an
// entry there is created, deleted or renamed.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/win/Form.h"
#include "ui/win/ShellNames.h"

namespace purga::win {

class ShellList : public Control {
 public:
  ShellList(Form& form, HWND parent, const Bounds& bounds);
  ~ShellList() override;

  // Shows the files of the folder `path` (a parsing name). Nothing happens
  // when it equals the current root, compared without regard to case.
  void SetRoot(const std::string& path);
  const std::string& Root() const { return root_; }
  // Re-reads the root folder, keeping the selected row where possible.
  void Refresh();

  int ItemCount() const;
  // The selected row, or -1.
  int SelectedIndex() const;
  void SelectIndex(int index);
  // The row whose parsing name is `path`, or -1.
  int IndexOf(const std::string& path) const;
  // Whether the shell counts the row's item as a folder.
  bool IsFolder(int index) const;
  // The row's parsing name (a file's full path).
  AnsiName ParsingNameOf(int index) const;
  // The same, as the shell gives it: every character of the name.
  std::wstring FullPathOf(int index) const;
  // The text of a row's column.
  std::wstring CellText(int index, int column) const;
  int ColumnCount() const { return static_cast<int>(columns_.size()); }

  // A mouse button went down in the list; the list has handled the press
  // already, so the row under the pointer is selected.
  std::function<void()> onMouseDown;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  void DpiChanged() override;

 private:
  class Watcher;
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);

  void Read();
  void SetColumns(IShellFolder* folder);
  LPCITEMIDLIST ItemOf(int index) const;
  bool EndRename(int index, HWND edit);
  void Watch();

  OleScope ole_;
  std::string root_;
  Pidl rootPidl_;
  ComPtr<IShellFolder> folder_;
  std::vector<Pidl> items_;    // the rows' IDs, in row order
  Pidl renamed_;               // the row to select after a rename
  std::vector<UINT> columns_;  // the shell's column numbers shown
  std::vector<int> widths_;    // the widths the shell asks for them
  std::unique_ptr<Watcher> watcher_;
};

}  // namespace purga::win
