// Item ID lists, the shell's names and icons, and the step from UTF-16 names
// to the program's ANSI paths.
#include "ui/win/ShellNames.h"

#include <commoncontrols.h>
#include <shlwapi.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/win32/CodePage.h"
#include "ui/model/DisplayScale.h"

namespace purga::win {

void Pidl::Reset() {
  if (pidl_ != nullptr) CoTaskMemFree(pidl_);
  pidl_ = nullptr;
}

Pidl Pidl::Combine(LPCITEMIDLIST parent, LPCITEMIDLIST child) {
  return Pidl(ILCombine(parent, child));
}

Pidl Pidl::Clone(LPCITEMIDLIST pidl) { return Pidl(ILClone(pidl)); }

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  const std::wstring wideA = ToWide(a), wideB = ToWide(b);
  return CompareStringW(kProgramLocale, NORM_IGNORECASE, wideA.data(),
                        static_cast<int>(wideA.size()), wideB.data(),
                        static_cast<int>(wideB.size())) == CSTR_EQUAL;
}

ComPtr<IShellFolder> DesktopFolder() {
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.Out());
  return desktop;
}

Pidl DesktopPidl() {
  Pidl pidl;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, pidl.Out());
  return pidl;
}

bool IsDesktopPidl(LPCITEMIDLIST pidl) { return pidl != nullptr && pidl->mkid.cb == 0; }

ComPtr<IShellFolder> ParentFolder(LPCITEMIDLIST absolute, LPCITEMIDLIST& child) {
  child = absolute;
  if (IsDesktopPidl(absolute)) return DesktopFolder();
  ComPtr<IShellFolder> parent;
  if (FAILED(SHBindToParent(absolute, IID_IShellFolder, parent.OutVoid(), &child))) {
    child = nullptr;
    parent.Reset();
  }
  return parent;
}

ComPtr<IShellFolder> BindFolder(LPCITEMIDLIST absolute) {
  ComPtr<IShellFolder> desktop = DesktopFolder();
  if (!desktop || IsDesktopPidl(absolute)) return desktop;
  ComPtr<IShellFolder> folder;
  desktop->BindToObject(absolute, nullptr, IID_IShellFolder, folder.OutVoid());
  return folder;
}

std::wstring DisplayName(IShellFolder* folder, LPCITEMIDLIST child, SHGDNF flags) {
  if (folder == nullptr || child == nullptr) return {};
  STRRET ret{};
  if (FAILED(folder->GetDisplayNameOf(child, flags, &ret))) return {};
  LPWSTR text = nullptr;
  if (FAILED(StrRetToStrW(&ret, child, &text)) || text == nullptr) return {};
  std::wstring name(text);
  CoTaskMemFree(text);
  return name;
}

std::wstring ParsingName(LPCITEMIDLIST absolute) {
  LPCITEMIDLIST child = nullptr;
  ComPtr<IShellFolder> parent = ParentFolder(absolute, child);
  return DisplayName(parent.Get(), child, SHGDN_FORPARSING);
}

SFGAOF ItemAttributes(IShellFolder* folder, LPCITEMIDLIST child, SFGAOF mask) {
  if (folder == nullptr || child == nullptr) return 0;
  SFGAOF attributes = mask;
  if (FAILED(folder->GetAttributesOf(1, &child, &attributes))) return 0;
  return attributes & mask;
}

int CompareItems(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  const HRESULT result = folder->CompareIDs(0, a, b);
  if (FAILED(result)) return 0;
  return static_cast<short>(HRESULT_CODE(result));
}

HIMAGELIST SystemImageList(int iconSize) {
  struct List {
    HIMAGELIST handle;
    int size;
  };
  // The small, large and extra-large lists, as the system's DPI sizes them;
  // their references are kept while the program runs.
  static const std::vector<List> lists = [] {
    std::vector<List> found;
    for (const int which : {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE}) {
      IImageList* list = nullptr;
      int width = 0, height = 0;
      if (SUCCEEDED(SHGetImageList(which, __uuidof(IImageList), reinterpret_cast<void**>(&list))) &&
          list != nullptr &&
          ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(list), &width, &height))
        found.push_back({reinterpret_cast<HIMAGELIST>(list), height});
    }
    std::sort(found.begin(), found.end(),
              [](const List& a, const List& b) { return a.size < b.size; });
    return found;
  }();
  if (lists.empty()) {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  }
  std::vector<int> sizes;
  for (const List& list : lists) sizes.push_back(list.size);
  const int nearest = NearestSize(iconSize, sizes);
  for (const List& list : lists)
    if (list.size == nearest) return list.handle;
  return lists.front().handle;
}

int SmallIconIndex(LPCITEMIDLIST absolute, bool open) {
  SHFILEINFOW info{};
  UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
  if (open) flags |= SHGFI_OPENICON;
  if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof info, flags) == 0)
    return 0;
  return info.iIcon;
}

std::wstring EditText(HWND edit) {
  if (edit == nullptr) return {};
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(edit, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

}  // namespace purga::win
