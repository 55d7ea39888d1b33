// The shell file list: reading a folder's files with the shell's columns,
// watching the folder, renaming in place.
#include "ui/win/ShellList.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>

#include "ui/win/ErrorReport.h"

namespace purga::win {

namespace {

// Posted to the list: its folder changed (wParam: the watcher's number), or
// a rename asks for a re-read (wParam 0).
constexpr UINT kFolderChanged = WM_APP + 0x51;
constexpr UINT_PTR kSubclassId = 0x5348;  // "SH"
constexpr int kIconSize = 16;
constexpr int kNameWidth = 250;  // without the shell's columns

std::atomic<WPARAM> nextWatcherNumber{1};

}  // namespace

// Waits on the folder's own change notification for created, deleted and
// renamed entries, and posts one message per burst of changes to the list;
// the list re-reads itself on the user-interface thread. (The shell's
// change notification would be the usual way, but under Wine it does not
// deliver changes made by other programs.)
class ShellList::Watcher {
 public:
  Watcher(HWND list, HANDLE change)
      : list_(list), change_(change), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Watcher() {
    SetEvent(stop_);
    thread_.join();
    FindCloseChangeNotification(change_);
    CloseHandle(stop_);
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  WPARAM Number() const { return number_; }
  // The list has taken the message: the next change posts another.
  void Taken() { pending_.store(false); }

 private:
  void Run() {
    const HANDLE handles[] = {stop_, change_};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      if (!pending_.exchange(true)) PostMessageW(list_, kFolderChanged, number_, 0);
      if (!FindNextChangeNotification(change_)) break;
    }
  }

  HWND list_;
  HANDLE change_;
  HANDLE stop_;
  const WPARAM number_ = nextWatcherNumber++;
  std::atomic<bool> pending_{false};
  std::thread thread_;
};

ShellList::ShellList(Form& form, HWND parent, const Bounds& bounds) : Control(form) {
  HWND list = CreateChild(parent, WC_LISTVIEWW, "",
                          LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
                              LVS_EDITLABELS | LVS_SHAREIMAGELISTS | WS_CLIPSIBLINGS,
                          WS_EX_CLIENTEDGE, bounds, {});
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL,
               reinterpret_cast<LPARAM>(SystemImageList(OwnerForm().Scaled(kIconSize))));
  SetWindowSubclass(list, &ShellList::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

ShellList::~ShellList() {
  watcher_.reset();
  if (Handle() != nullptr && IsWindow(Handle()))
    RemoveWindowSubclass(Handle(), &ShellList::SubclassProc, kSubclassId);
}

void ShellList::SetRoot(const std::string& path) {
  if (folder_ && SameTextIgnoringCase(path, root_)) return;
  watcher_.reset();
  root_ = path;
  rootPidl_.Reset();
  folder_.Reset();
  ComPtr<IShellFolder> desktop = DesktopFolder();
  std::wstring wide = ToWide(path);
  if (desktop && SUCCEEDED(desktop->ParseDisplayName(Handle(), nullptr, wide.data(), nullptr,
                                                     rootPidl_.Out(), nullptr)))
    folder_ = BindFolder(rootPidl_.Get());
  SetColumns(folder_.Get());
  Read();
  Watch();
}

void ShellList::Watch() {
  watcher_.reset();
  if (!rootPidl_) return;
  const std::wstring folder = ParsingName(rootPidl_.Get());
  if (folder.empty()) return;
  HANDLE change = FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  if (change == INVALID_HANDLE_VALUE) return;  // not a file-system folder
  watcher_ = std::make_unique<Watcher>(Handle(), change);
}

void ShellList::SetColumns(IShellFolder* folder) {
  while (SendMessageW(Handle(), LVM_DELETECOLUMN, 0, 0)) {
  }
  columns_.clear();
  widths_.clear();
  ComPtr<IShellFolder2> folder2;
  if (folder != nullptr) folder->QueryInterface(IID_IShellFolder2, folder2.OutVoid());
  if (!folder2) {
    // Without the shell's details: the names alone.
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_FMT;
    column.cx = OwnerForm().Scaled(kNameWidth);
    SendMessageW(Handle(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    columns_.push_back(0);
    return;
  }
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, Font());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  for (UINT shellColumn = 0; shellColumn < 64; ++shellColumn) {
    SHELLDETAILS details{};
    if (FAILED(folder2->GetDetailsOf(nullptr, shellColumn, &details))) break;
    SHCOLSTATEF state = 0;
    if (SUCCEEDED(folder2->GetDefaultColumnState(shellColumn, &state)) &&
        ((state & SHCOLSTATE_HIDDEN) != 0 || (state & SHCOLSTATE_ONBYDEFAULT) == 0))
      continue;
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_FMT;
    column.fmt = details.fmt & LVCFMT_JUSTIFYMASK;
    if (columns_.empty()) column.fmt = LVCFMT_LEFT;  // the first column is always left-aligned
    column.cx =
        std::max(details.cxChar, 8) * std::max<int>(metrics.tmAveCharWidth, OwnerForm().Scaled(6)) +
        OwnerForm().Scaled(8);
    SendMessageW(Handle(), LVM_INSERTCOLUMNW, columns_.size(), reinterpret_cast<LPARAM>(&column));
    columns_.push_back(shellColumn);
    widths_.push_back(column.cx);
  }
  if (columns_.empty()) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = OwnerForm().Scaled(kNameWidth);
    SendMessageW(Handle(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    columns_.push_back(0);
  }
}

void ShellList::Read() {
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
  items_.clear();
  ComPtr<IEnumIDList> entries;
  // Files only, hidden ones left out.
  if (folder_ && folder_->EnumObjects(Handle(), SHCONTF_NONFOLDERS, entries.Out()) == S_OK &&
      entries) {
    LPITEMIDLIST child = nullptr;
    ULONG fetched = 0;
    while (entries->Next(1, &child, &fetched) == S_OK && fetched == 1) items_.emplace_back(child);
  }
  IShellFolder* folder = folder_.Get();
  std::stable_sort(items_.begin(), items_.end(), [folder](const Pidl& a, const Pidl& b) {
    return CompareItems(folder, a.Get(), b.Get()) < 0;
  });
  ComPtr<IShellFolder2> folder2;
  if (folder != nullptr) folder->QueryInterface(IID_IShellFolder2, folder2.OutVoid());
  for (size_t row = 0; row < items_.size(); ++row) {
    const LPCITEMIDLIST child = items_[row].Get();
    const Pidl absolute = Pidl::Combine(rootPidl_.Get(), child);
    for (size_t column = 0; column < columns_.size(); ++column) {
      std::wstring text;
      SHELLDETAILS details{};
      if (folder2 && SUCCEEDED(folder2->GetDetailsOf(child, columns_[column], &details))) {
        LPWSTR got = nullptr;
        if (SUCCEEDED(StrRetToStrW(&details.str, child, &got)) && got != nullptr) {
          text = got;
          CoTaskMemFree(got);
        }
      } else if (column == 0) {
        text = DisplayName(folder, child, SHGDN_INFOLDER);
      }
      LVITEMW item{};
      item.iItem = static_cast<int>(row);
      item.iSubItem = static_cast<int>(column);
      item.pszText = text.data();
      if (column == 0) {
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iImage = SmallIconIndex(absolute.Get(), false);
        item.lParam = static_cast<LPARAM>(row);
        SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      } else {
        item.mask = LVIF_TEXT;
        SendMessageW(Handle(), LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
      }
    }
  }
  // Wide enough for what the rows hold, never narrower than the shell asks.
  for (size_t column = 0; column < columns_.size() && !items_.empty(); ++column) {
    const int least = column < widths_.size() ? widths_[column] : 0;
    SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
    if (SendMessageW(Handle(), LVM_GETCOLUMNWIDTH, column, 0) < least)
      SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, column, least);
  }
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void ShellList::DpiChanged() {
  Control::DpiChanged();
  SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL,
               reinterpret_cast<LPARAM>(SystemImageList(OwnerForm().Scaled(kIconSize))));
  // The columns' widths follow the font.
  SetColumns(folder_.Get());
  Refresh();
}

void ShellList::Refresh() {
  // The selected row by its item, the scroll position by its top row.
  Pidl selected;
  if (const int index = SelectedIndex(); index >= 0) selected = Pidl::Clone(ItemOf(index));
  if (renamed_) selected = std::move(renamed_);
  const int top = static_cast<int>(SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0));
  Read();
  if (ItemCount() > 0 && top > 0) {
    RECT first{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(Handle(), LVM_SCROLL, 0, top * (first.bottom - first.top));
  }
  if (!selected || !folder_) return;
  for (int row = 0; row < ItemCount(); ++row)
    if (CompareItems(folder_.Get(), ItemOf(row), selected.Get()) == 0) {
      SelectIndex(row);
      return;
    }
}

int ShellList::ItemCount() const {
  return static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0));
}

int ShellList::SelectedIndex() const {
  return static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

void ShellList::SelectIndex(int index) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Handle(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  SendMessageW(Handle(), LVM_ENSUREVISIBLE, index, FALSE);
}

LPCITEMIDLIST ShellList::ItemOf(int index) const {
  if (index < 0) return nullptr;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessageW(Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  const auto row = static_cast<size_t>(item.lParam);
  return row < items_.size() ? items_[row].Get() : nullptr;
}

int ShellList::IndexOf(const std::string& path) const {
  for (int row = 0; row < ItemCount(); ++row) {
    const AnsiName name = ParsingNameOf(row);
    if (name.exact && SameTextIgnoringCase(name.text, path)) return row;
  }
  return -1;
}

bool ShellList::IsFolder(int index) const {
  const LPCITEMIDLIST item = ItemOf(index);
  return item != nullptr && ItemAttributes(folder_.Get(), item, SFGAO_FOLDER) != 0;
}

AnsiName ShellList::ParsingNameOf(int index) const {
  if (ItemOf(index) == nullptr) return {{}, false};
  return ToAnsiExact(FullPathOf(index));
}

std::wstring ShellList::FullPathOf(int index) const {
  const LPCITEMIDLIST item = ItemOf(index);
  return item == nullptr ? std::wstring() : DisplayName(folder_.Get(), item, SHGDN_FORPARSING);
}

std::wstring ShellList::CellText(int index, int column) const {
  wchar_t buffer[520] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  SendMessageW(Handle(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

bool ShellList::EndRename(int index, HWND edit) {
  const LPCITEMIDLIST item = ItemOf(index);
  const std::wstring name = EditText(edit);
  if (item == nullptr || name.empty() || !folder_) return false;
  Pidl renamed;
  // The shell tells the user itself why a name is refused.
  if (FAILED(folder_->SetNameOf(Handle(), item, name.c_str(), SHGDN_INFOLDER | SHGDN_FOREDITING,
                                renamed.Out())))
    return false;
  // Re-read once the list has finished with its edit, keeping the row.
  renamed_ = std::move(renamed);
  PostMessageW(Handle(), kFolderChanged, 0, 0);
  return true;
}

bool ShellList::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != Handle()) return false;
  switch (header.code) {
    case LVN_BEGINLABELEDITA:
    case LVN_BEGINLABELEDITW: {
      const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
      const LPCITEMIDLIST item = ItemOf(edit.item.iItem);
      if (item == nullptr || ItemAttributes(folder_.Get(), item, SFGAO_CANRENAME) == 0) {
        result = TRUE;  // not renamable
        return true;
      }
      const std::wstring name = DisplayName(folder_.Get(), item, SHGDN_INFOLDER | SHGDN_FOREDITING);
      HWND control = reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETEDITCONTROL, 0, 0));
      if (control != nullptr && !name.empty()) SetWindowTextW(control, name.c_str());
      result = FALSE;
      return true;
    }
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW: {
      const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
      if (edit.item.pszText != nullptr)
        EndRename(edit.item.iItem,
                  reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETEDITCONTROL, 0, 0)));
      result = FALSE;  // the re-read shows the new name
      return true;
    }
    case NM_RCLICK:
      result = TRUE;  // no context menu
      return true;
    default:
      return false;  // double-click and Enter do nothing
  }
}

LRESULT CALLBACK ShellList::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR /*id*/, DWORD_PTR self) {
  auto* list = reinterpret_cast<ShellList*>(self);
  switch (msg) {
    case kFolderChanged:
      if (wParam == 0) {
        list->Refresh();
      } else if (list->watcher_ && list->watcher_->Number() == wParam) {
        list->watcher_->Taken();
        list->Refresh();
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The list handles the press first (selection, drag detection), then
      // the handler sees the row it selected.
      const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
      if (list->onMouseDown) RunReported(list->OwnerForm().Handle(), list->onMouseDown);
      return result;
    }
    case WM_CONTEXTMENU:
      return 0;
    case WM_NCDESTROY:
      list->watcher_.reset();
      RemoveWindowSubclass(hwnd, &ShellList::SubclassProc, kSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace purga::win
