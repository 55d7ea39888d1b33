// The shell folder tree: the shell namespace from the desktop down, folders
// only, with the shell's names and icons, children read when a node is first
// expanded. It does not watch the file system.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/win/Form.h"
#include "ui/win/ShellNames.h"

namespace purga::win {

class ShellTree : public Control {
 public:
  // What a right click on a node does.
  enum class RightClick {
    Nothing,    // neither selects nor opens a menu
    ShellMenu,  // the shell's context menu of the node's folder, at the pointer
  };

  // What expanding a node that was read before does.
  enum class Expanding {
    KeepNodes,  // shows the sub-nodes as they were read
    ReRead,     // reads its subfolders again, as Refresh does
  };

  ShellTree(Form& form, HWND parent, const Bounds& bounds, RightClick rightClick,
            Expanding expanding = Expanding::KeepNodes);
  ~ShellTree() override;

  // Puts in the desktop as the one top node, expands it one level and
  // selects it, which raises onChange.
  void Build();

  HTREEITEM Selected() const;
  // Selects a node (raising onChange when the selection changes).
  void Select(HTREEITEM item);
  // Reads and expands the nodes down to the folder `path` (a parsing name)
  // and returns its node, or nullptr when the tree does not lead there.
  HTREEITEM Reveal(const std::string& path);
  // The parsing name of the selected node (the full path of a file-system
  // folder); empty with nothing selected.
  AnsiName SelectedPath() const;
  // The parsing name of a node.
  AnsiName PathOf(HTREEITEM item) const;
  // Re-reads the node's subfolders. Sub-nodes that were expanded stay
  // expanded where they still exist; the selection and the top visible node
  // stay as they were unless they are gone.
  void Refresh(HTREEITEM item);
  // The node showing the folder `absolute`, if it has been read.
  HTREEITEM FindNode(LPCITEMIDLIST absolute) const;

  // The selection changed to the node given.
  std::function<void(HTREEITEM)> onChange;

 protected:
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  void DpiChanged() override;

 private:
  struct Node {
    Pidl absolute;
    HTREEITEM item = nullptr;
    bool loaded = false;  // children read
  };

  // The indent and the icons at the form's DPI.
  void ShowAtDpi();
  Node* NodeOf(HTREEITEM item) const;
  HTREEITEM FindChild(HTREEITEM item, LPCITEMIDLIST absolute) const;
  HTREEITEM Insert(HTREEITEM parent, Pidl absolute, const std::wstring& label, bool hasChildren,
                   HTREEITEM after = TVI_LAST);
  // A node for `folder`'s item `child`, the folder being `parentAbsolute`.
  HTREEITEM InsertChild(HTREEITEM parent, IShellFolder* folder, LPCITEMIDLIST parentAbsolute,
                        LPCITEMIDLIST child, HTREEITEM after = TVI_LAST);
  // The folder's subfolders, sorted as the shell sorts them.
  std::vector<Pidl> ReadChildren(IShellFolder* folder) const;
  void LoadChildren(HTREEITEM item);
  void DeleteChildren(HTREEITEM item);
  void SetHasChildren(HTREEITEM item, bool hasChildren);
  void Merge(HTREEITEM item);
  bool BeginRename(HTREEITEM item);
  bool EndRename(HTREEITEM item, HWND edit);
  void ShowContextMenu();

  RightClick rightClick_;
  Expanding expanding_;
  OleScope ole_;
  ComPtr<IShellFolder> desktop_;
  std::map<const Node*, std::unique_ptr<Node>> nodes_;
};

}  // namespace purga::win
