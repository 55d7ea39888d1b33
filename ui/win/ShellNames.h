// What the shell folder tree and the shell file list share: owned item ID
// lists and interfaces, and the step from the shell's UTF-16 names to the
// program's ANSI (code page 932) paths.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "common/AnsiName.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/Win32Api.h"
// After <windows.h>:
#include <commctrl.h>
#include <shellapi.h>

namespace purga::win {

// An item ID list owned by the program.
class Pidl {
 public:
  Pidl() = default;
  explicit Pidl(LPITEMIDLIST pidl) : pidl_(pidl) {}
  ~Pidl() { Reset(); }
  Pidl(Pidl&& other) noexcept : pidl_(std::exchange(other.pidl_, nullptr)) {}
  Pidl& operator=(Pidl&& other) noexcept {
    if (this != &other) {
      Reset();
      pidl_ = std::exchange(other.pidl_, nullptr);
    }
    return *this;
  }
  Pidl(const Pidl&) = delete;
  Pidl& operator=(const Pidl&) = delete;

  LPITEMIDLIST Get() const { return pidl_; }
  LPITEMIDLIST* Out() {
    Reset();
    return &pidl_;
  }
  explicit operator bool() const { return pidl_ != nullptr; }
  void Reset();

  // `parent` followed by `child`.
  static Pidl Combine(LPCITEMIDLIST parent, LPCITEMIDLIST child);
  static Pidl Clone(LPCITEMIDLIST pidl);

 private:
  LPITEMIDLIST pidl_ = nullptr;
};

// A counted reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    if (this != &other) {
      Reset();
      ptr_ = other.ptr_;
      if (ptr_) ptr_->AddRef();
    }
    return *this;
  }

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  T** Out() {
    Reset();
    return &ptr_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  void Reset() {
    if (ptr_) ptr_->Release();
    ptr_ = nullptr;
  }
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> other;
    if (ptr_) ptr_->QueryInterface(iid, other.OutVoid());
    return other;
  }

 private:
  T* ptr_ = nullptr;
};

// OLE for the calling thread while it lives (the shell's menus and renames
// need it); nested scopes are counted.
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool ok_;
};

using purga::ToAnsiExact;
using purga::ToWide;
// Two texts of the program's code page compared as a Japanese system
// compares them without regard to case (lstrcmpi there), whatever the
// system's language.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

ComPtr<IShellFolder> DesktopFolder();
// The desktop's item ID list (empty).
Pidl DesktopPidl();
bool IsDesktopPidl(LPCITEMIDLIST pidl);
// The folder an absolute item lies in, and its last ID. For the desktop
// itself: the desktop and the empty list.
ComPtr<IShellFolder> ParentFolder(LPCITEMIDLIST absolute, LPCITEMIDLIST& child);
// The folder an absolute item ID list stands for.
ComPtr<IShellFolder> BindFolder(LPCITEMIDLIST absolute);

// `folder`'s name for its item `child`; empty when the shell gives none.
std::wstring DisplayName(IShellFolder* folder, LPCITEMIDLIST child, SHGDNF flags);
// The name of an absolute item relative to the desktop (SHGDN_FORPARSING:
// the full path of a file-system item).
std::wstring ParsingName(LPCITEMIDLIST absolute);
// The attributes of `folder`'s item `child` among `mask`.
SFGAOF ItemAttributes(IShellFolder* folder, LPCITEMIDLIST child, SFGAOF mask);
// Orders two items of `folder` by name as the shell does (<0, 0, >0).
int CompareItems(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b);

// Of the system's image lists, the one whose icons are nearest to
// `iconSize` pixels (shared: never destroy it); and an item's index, which
// is the same in every one of them.
HIMAGELIST SystemImageList(int iconSize);
int SmallIconIndex(LPCITEMIDLIST absolute, bool open);

// The text of a label-editing edit control, in UTF-16.
std::wstring EditText(HWND edit);

}  // namespace purga::win
