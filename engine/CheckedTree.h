// A folder tree that is changed only through entries checked to be where the
// walk expects them.
//
// The top folder is resolved once, links followed: the user chose that path,
// whatever links or mapped drives lead to it. Every entry below it is opened
// without following a link at its end and accepted only when it is no link
// and its resolved path is the resolved top plus exactly the relative path
// that the walk built. Attribute changes, deletions and listings then go
// through that open entry, so another program that swaps a folder for a link
// during a run cannot lead the walk out of the tree.
#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace purga {

// An open entry; closed (and, when deleted, gone) when it goes out of scope.
class CheckedEntry {
 public:
  CheckedEntry() = default;
  explicit CheckedEntry(EntryHandle handle) : handle_(handle) {}
  ~CheckedEntry();
  CheckedEntry(CheckedEntry&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  CheckedEntry& operator=(CheckedEntry&& other) noexcept;
  CheckedEntry(const CheckedEntry&) = delete;
  CheckedEntry& operator=(const CheckedEntry&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  EntryHandle get() const { return handle_; }

  // Failures are the caller's to ignore: the entry then simply stays.
  bool SetAttributes(uint32_t word) const { return Os().SetEntryAttributes(handle_, word); }
  bool Delete() const { return Os().DeleteEntry(handle_); }

 private:
  EntryHandle handle_ = nullptr;
};

// Closes a listing however the loop over its entries is left.
class FindScope {
 public:
  explicit FindScope(FindHandle handle) : handle_(handle) {}
  ~FindScope() {
    if (handle_ != nullptr) Os().FindClose(handle_);
  }
  FindScope(const FindScope&) = delete;
  FindScope& operator=(const FindScope&) = delete;
  FindHandle get() const { return handle_; }

 private:
  FindHandle handle_;
};

// Calls `visit(entry)` for every entry of the open folder in the platform's
// order, until it returns false. A folder that cannot be listed has none.
template <typename Visit>
void ForEachEntry(const CheckedEntry& folder, Visit visit) {
  Platform& os = Os();
  FindEntry entry;
  FindScope find(os.FindFirstIn(folder.get(), entry));
  if (find.get() == nullptr) return;
  do {
    if (!visit(entry)) return;
  } while (os.FindNext(find.get(), entry));
}

class CheckedTree {
 public:
  // Opens and resolves `top`. When that fails, Top() is empty and nothing
  // below it is ever accepted.
  explicit CheckedTree(const std::string& top);

  // The top folder, opened to be listed and, where the platform grants it,
  // changed and removed.
  const CheckedEntry& Top() const { return top_; }

  // `path` is the top as passed, "\" and a path relative to it. Empty when the
  // entry cannot be opened, is a link, is not of the kind asked for, or
  // resolves anywhere but there. A folder that may only be looked at is
  // opened for looking: it is walked, but stays.
  CheckedEntry OpenFile(const std::string& path) const;
  CheckedEntry OpenFolder(const std::string& path) const;

 private:
  CheckedEntry Open(const std::string& path, EntryKind kind) const;

  std::string topPath_;           // as passed
  std::string resolvedTopUpper_;  // resolved, upper-cased, no trailing "\"
  CheckedEntry top_;
};

// The resolved form of a folder path ("C:\..." or "\\server\share\..."), links
// followed; nothing when it cannot be opened or resolved.
std::optional<std::string> ResolvedFolder(const std::string& path);

}  // namespace purga
