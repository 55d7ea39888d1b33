// The shell folder tree: reading, merging on refresh, renaming in place, and
// the shell's context menu.
#include "ui/win/ShellTree.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "ui/win/ShellMenu.h"

namespace purga::win {

namespace {

constexpr int kIndent = 19;
constexpr int kIconSize = 16;

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

UINT ItemState(HWND tree, HTREEITEM item, UINT mask) {
  return static_cast<UINT>(
      SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
}

// The item's absolute ID list without its last ID.
Pidl ParentPidl(LPCITEMIDLIST absolute) {
  Pidl parent = Pidl::Clone(absolute);
  if (parent) ILRemoveLastID(parent.Get());
  return parent;
}

}  // namespace

ShellTree::ShellTree(Form& form, HWND parent, const Bounds& bounds, RightClick rightClick,
                     Expanding expanding)
    : Control(form), rightClick_(rightClick), expanding_(expanding), desktop_(DesktopFolder()) {
  // Lines and buttons, but none at the root: the desktop stands alone.
  CreateChild(parent, WC_TREEVIEWW, "",
              TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | WS_CLIPSIBLINGS, WS_EX_CLIENTEDGE,
              bounds, {});
  ShowAtDpi();
}

void ShellTree::ShowAtDpi() {
  SendMessageW(Handle(), TVM_SETINDENT, OwnerForm().Scaled(kIndent), 0);
  SendMessageW(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
               reinterpret_cast<LPARAM>(SystemImageList(OwnerForm().Scaled(kIconSize))));
}

void ShellTree::DpiChanged() {
  Control::DpiChanged();
  ShowAtDpi();
}

ShellTree::~ShellTree() = default;

void ShellTree::Build() {
  if (!desktop_) return;
  Pidl desktop = DesktopPidl();
  if (!desktop) return;
  const std::wstring label = DisplayName(desktop_.Get(), desktop.Get(), SHGDN_NORMAL);
  HTREEITEM root = Insert(TVI_ROOT, std::move(desktop), label, true);
  LoadChildren(root);
  SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  Select(root);
}

ShellTree::Node* ShellTree::NodeOf(HTREEITEM item) const {
  if (item == nullptr) return nullptr;
  TVITEMW tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  if (!SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
  auto* node = reinterpret_cast<Node*>(tv.lParam);
  return nodes_.count(node) != 0 ? node : nullptr;
}

HTREEITEM ShellTree::InsertChild(HTREEITEM parent, IShellFolder* folder,
                                 LPCITEMIDLIST parentAbsolute, LPCITEMIDLIST child,
                                 HTREEITEM after) {
  return Insert(parent, Pidl::Combine(parentAbsolute, child),
                DisplayName(folder, child, SHGDN_INFOLDER),
                ItemAttributes(folder, child, SFGAO_HASSUBFOLDER) != 0, after);
}

HTREEITEM ShellTree::Insert(HTREEITEM parent, Pidl absolute, const std::wstring& label,
                            bool hasChildren, HTREEITEM after) {
  auto node = std::make_unique<Node>();
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = const_cast<LPWSTR>(label.c_str());
  insert.item.iImage = SmallIconIndex(absolute.Get(), false);
  insert.item.iSelectedImage = SmallIconIndex(absolute.Get(), true);
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(node.get());
  node->absolute = std::move(absolute);
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  if (item == nullptr) return nullptr;
  node->item = item;
  nodes_.emplace(node.get(), std::move(node));
  return item;
}

std::vector<Pidl> ShellTree::ReadChildren(IShellFolder* folder) const {
  std::vector<Pidl> children;
  if (folder == nullptr) return children;
  ComPtr<IEnumIDList> items;
  // Folders only, hidden ones left out.
  if (folder->EnumObjects(Handle(), SHCONTF_FOLDERS, items.Out()) != S_OK || !items)
    return children;
  LPITEMIDLIST child = nullptr;
  ULONG fetched = 0;
  while (items->Next(1, &child, &fetched) == S_OK && fetched == 1) children.emplace_back(child);
  std::stable_sort(children.begin(), children.end(), [folder](const Pidl& a, const Pidl& b) {
    return CompareItems(folder, a.Get(), b.Get()) < 0;
  });
  return children;
}

void ShellTree::LoadChildren(HTREEITEM item) {
  Node* node = NodeOf(item);
  if (node == nullptr || node->loaded) return;
  node->loaded = true;
  ComPtr<IShellFolder> folder = BindFolder(node->absolute.Get());
  const std::vector<Pidl> children = ReadChildren(folder.Get());
  for (const Pidl& child : children)
    InsertChild(item, folder.Get(), node->absolute.Get(), child.Get());
  if (children.empty()) SetHasChildren(item, false);
}

void ShellTree::DeleteChildren(HTREEITEM item) {
  for (HTREEITEM child = NextItem(Handle(), item, TVGN_CHILD); child != nullptr;) {
    HTREEITEM next = NextItem(Handle(), child, TVGN_NEXT);
    SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    child = next;
  }
  if (Node* node = NodeOf(item)) node->loaded = false;
  // Expanding it again must ask for the children again.
  TVITEMW tv{};
  tv.mask = TVIF_STATE | TVIF_HANDLE;
  tv.hItem = item;
  tv.stateMask = TVIS_EXPANDEDONCE | TVIS_EXPANDED;
  tv.state = 0;
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

void ShellTree::SetHasChildren(HTREEITEM item, bool hasChildren) {
  TVITEMW tv{};
  tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
  tv.hItem = item;
  tv.cChildren = hasChildren ? 1 : 0;
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

HTREEITEM ShellTree::Selected() const { return NextItem(Handle(), nullptr, TVGN_CARET); }

void ShellTree::Select(HTREEITEM item) {
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

AnsiName ShellTree::PathOf(HTREEITEM item) const {
  const Node* node = NodeOf(item);
  if (node == nullptr) return {};
  return ToAnsiExact(ParsingName(node->absolute.Get()));
}

AnsiName ShellTree::SelectedPath() const { return PathOf(Selected()); }

HTREEITEM ShellTree::FindNode(LPCITEMIDLIST absolute) const {
  for (const auto& [key, node] : nodes_)
    if (ILIsEqual(node->absolute.Get(), absolute)) return node->item;
  return nullptr;
}

HTREEITEM ShellTree::FindChild(HTREEITEM item, LPCITEMIDLIST absolute) const {
  for (HTREEITEM child = NextItem(Handle(), item, TVGN_CHILD); child != nullptr;
       child = NextItem(Handle(), child, TVGN_NEXT)) {
    const Node* node = NodeOf(child);
    if (node != nullptr && ILIsEqual(node->absolute.Get(), absolute)) return child;
  }
  return nullptr;
}

HTREEITEM ShellTree::Reveal(const std::string& path) {
  if (!desktop_) return nullptr;
  std::wstring wide = ToWide(path);
  Pidl target;
  if (FAILED(desktop_->ParseDisplayName(Handle(), nullptr, wide.data(), nullptr, target.Out(),
                                        nullptr)))
    return nullptr;
  HTREEITEM item = NextItem(Handle(), nullptr, TVGN_ROOT);
  // Walk down one ID at a time, reading and expanding on the way.
  Pidl prefix = DesktopPidl();
  for (LPCITEMIDLIST id = target.Get(); item != nullptr && id->mkid.cb != 0; id = ILGetNext(id)) {
    LoadChildren(item);
    SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    Pidl single = Pidl::Clone(id);
    if (!single) return nullptr;
    ILGetNext(single.Get())->mkid.cb = 0;  // only this ID
    prefix = Pidl::Combine(prefix.Get(), single.Get());
    HTREEITEM found = FindChild(item, prefix.Get());
    if (found == nullptr) {
      // Perhaps made since the node was read.
      Merge(item);
      found = FindChild(item, prefix.Get());
    }
    item = found;
  }
  return item;
}

void ShellTree::Refresh(HTREEITEM item) {
  const Node* node = NodeOf(item);
  if (node == nullptr) return;
  const HTREEITEM top = NextItem(Handle(), nullptr, TVGN_FIRSTVISIBLE);
  const Node* topNode = NodeOf(top);
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Merge(item);
  if (topNode != nullptr && nodes_.count(topNode) != 0)
    SendMessageW(Handle(), TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(top));
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void ShellTree::Merge(HTREEITEM item) {
  Node* node = NodeOf(item);
  if (node == nullptr) return;
  ComPtr<IShellFolder> folder = BindFolder(node->absolute.Get());
  if (!node->loaded) {
    // Nothing read below it yet: only whether it has subfolders may change.
    LPCITEMIDLIST child = nullptr;
    ComPtr<IShellFolder> parent = ParentFolder(node->absolute.Get(), child);
    SetHasChildren(item, ItemAttributes(parent.Get(), child, SFGAO_HASSUBFOLDER) != 0);
    return;
  }
  std::vector<Pidl> fresh = ReadChildren(folder.Get());
  std::vector<HTREEITEM> kept(fresh.size(), nullptr);
  // Drop the sub-nodes whose folder is gone; keep the others in place, so
  // that their expansion and the selection stay.
  for (HTREEITEM child = NextItem(Handle(), item, TVGN_CHILD); child != nullptr;) {
    HTREEITEM next = NextItem(Handle(), child, TVGN_NEXT);
    const Node* childNode = NodeOf(child);
    size_t match = fresh.size();
    if (childNode != nullptr) {
      LPCITEMIDLIST last = ILFindLastID(childNode->absolute.Get());
      for (size_t i = 0; i < fresh.size(); ++i)
        if (kept[i] == nullptr && CompareItems(folder.Get(), last, fresh[i].Get()) == 0) {
          match = i;
          break;
        }
    }
    if (match == fresh.size())
      SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    else
      kept[match] = child;
    child = next;
  }
  HTREEITEM previous = TVI_FIRST;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (kept[i] != nullptr) {
      previous = kept[i];
      continue;
    }
    HTREEITEM added =
        InsertChild(item, folder.Get(), node->absolute.Get(), fresh[i].Get(), previous);
    if (added != nullptr) previous = added;
  }
  SetHasChildren(item, !fresh.empty());
  for (HTREEITEM child : kept) {
    if (child == nullptr) continue;
    if (ItemState(Handle(), child, TVIS_EXPANDED) & TVIS_EXPANDED)
      Merge(child);
    else if (const Node* childNode = NodeOf(child); childNode != nullptr && childNode->loaded) {
      // Read again when it is next expanded.
      DeleteChildren(child);
      Merge(child);
    }
  }
}

bool ShellTree::BeginRename(HTREEITEM item) {
  const Node* node = NodeOf(item);
  if (node == nullptr) return false;
  LPCITEMIDLIST child = nullptr;
  ComPtr<IShellFolder> parent = ParentFolder(node->absolute.Get(), child);
  if (IsDesktopPidl(node->absolute.Get()) ||
      ItemAttributes(parent.Get(), child, SFGAO_CANRENAME) == 0)
    return false;
  const std::wstring name = DisplayName(parent.Get(), child, SHGDN_INFOLDER | SHGDN_FOREDITING);
  HWND edit = reinterpret_cast<HWND>(SendMessageW(Handle(), TVM_GETEDITCONTROL, 0, 0));
  if (edit != nullptr && !name.empty()) SetWindowTextW(edit, name.c_str());
  return true;
}

bool ShellTree::EndRename(HTREEITEM item, HWND edit) {
  Node* node = NodeOf(item);
  const std::wstring name = EditText(edit);
  if (node == nullptr || name.empty()) return false;
  LPCITEMIDLIST child = nullptr;
  ComPtr<IShellFolder> parent = ParentFolder(node->absolute.Get(), child);
  if (!parent) return false;
  Pidl renamed;
  // The shell tells the user itself why a name is refused.
  if (FAILED(parent->SetNameOf(Handle(), child, name.c_str(), SHGDN_INFOLDER | SHGDN_FOREDITING,
                               renamed.Out())))
    return false;
  HTREEITEM parentItem = NextItem(Handle(), item, TVGN_PARENT);
  if (!renamed) {
    Refresh(parentItem);
    return false;
  }
  node->absolute = Pidl::Combine(ParentPidl(node->absolute.Get()).Get(), renamed.Get());
  const std::wstring label = DisplayName(parent.Get(), renamed.Get(), SHGDN_INFOLDER);
  TVITEMW tv{};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = item;
  tv.pszText = const_cast<LPWSTR>(label.c_str());
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  // The sub-nodes' ID lists hold the old name: read them again.
  const bool expanded = (ItemState(Handle(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  DeleteChildren(item);
  SetHasChildren(item, true);
  if (expanded) {
    LoadChildren(item);
    SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  }
  // The selected folder's path has changed with its name.
  if (Selected() == item && onChange) onChange(item);
  return false;  // the label is already set
}

void ShellTree::ShowContextMenu() {
  const DWORD position = GetMessagePos();
  POINT screen{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  TVHITTESTINFO hit{};
  hit.pt = screen;
  ScreenToClient(Handle(), &hit.pt);
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageW(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  const Node* node = NodeOf(item);
  if (node == nullptr || !(hit.flags & TVHT_ONITEM)) return;
  const bool desktop = IsDesktopPidl(node->absolute.Get());
  ComPtr<IContextMenu> menu;
  if (desktop) {
    desktop_->CreateViewObject(Handle(), IID_IContextMenu, menu.OutVoid());
  } else {
    LPCITEMIDLIST child = nullptr;
    ComPtr<IShellFolder> parent = ParentFolder(node->absolute.Get(), child);
    if (parent)
      parent->GetUIObjectOf(Handle(), 1, &child, IID_IContextMenu, nullptr, menu.OutVoid());
  }
  // Renaming is done in place, as a label edit.
  const auto ownVerb = [this, item](const std::string& verb) {
    if (!SameTextIgnoringCase(verb, "rename")) return false;
    SetFocus(Handle());
    SendMessageW(Handle(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item));
    return true;
  };
  if (!ShowShellMenu(Handle(), menu.Get(), screen, ownVerb)) return;
  // The command may have made, removed or renamed folders: the desktop's
  // menu works in the desktop itself, a folder's in the folder that holds
  // it. (A label edit re-reads when it ends.)
  Refresh(desktop ? item : NextItem(Handle(), item, TVGN_PARENT));
}

bool ShellTree::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != Handle()) return false;
  // The A and W forms carry the same fields apart from text pointers.
  switch (header.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      if ((change.action & TVE_EXPAND) != 0) {
        const Node* node = NodeOf(change.itemNew.hItem);
        if (expanding_ == Expanding::ReRead && node != nullptr && node->loaded)
          Merge(change.itemNew.hItem);  // keeps what is expanded below it
        else
          LoadChildren(change.itemNew.hItem);
      }
      result = FALSE;
      return true;
    }
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      if (onChange) onChange(change.itemNew.hItem);
      return true;
    }
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW: {
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      nodes_.erase(reinterpret_cast<const Node*>(change.itemOld.lParam));
      return true;
    }
    case TVN_BEGINLABELEDITA:
    case TVN_BEGINLABELEDITW: {
      const auto& edit = reinterpret_cast<const NMTVDISPINFOW&>(header);
      result = BeginRename(edit.item.hItem) ? FALSE : TRUE;
      return true;
    }
    case TVN_ENDLABELEDITA:
    case TVN_ENDLABELEDITW: {
      const auto& edit = reinterpret_cast<const NMTVDISPINFOW&>(header);
      result = FALSE;
      if (edit.item.pszText != nullptr)
        EndRename(edit.item.hItem,
                  reinterpret_cast<HWND>(SendMessageW(Handle(), TVM_GETEDITCONTROL, 0, 0)));
      return true;
    }
    case NM_RCLICK:
      if (rightClick_ == RightClick::ShellMenu) ShowContextMenu();
      result = TRUE;  // no selection, no WM_CONTEXTMENU
      return true;
    default:
      return false;
  }
}

}  // namespace purga::win
