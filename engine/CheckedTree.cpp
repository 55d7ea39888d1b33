#include "engine/CheckedTree.h"

#include <string_view>

#include "common/commFunc.h"

namespace purga {

namespace {

// Opens `path`, asking for the right to change it first; a folder that may
// only be looked at (a drive's root, a folder of another user) is still
// opened, for its listing.
CheckedEntry OpenForChangeOrLook(const std::string& path, EntryKind kind) {
  Platform& os = Os();
  if (EntryHandle handle = os.OpenEntry(path, kind, EntryAccess::Change))
    return CheckedEntry(handle);
  if (kind == EntryKind::File) return {};
  return CheckedEntry(os.OpenEntry(path, kind, EntryAccess::Look));
}

std::optional<std::string> FinalPath(const CheckedEntry& entry) {
  std::string path;
  if (!entry || !Os().GetEntryFinalPath(entry.get(), path)) return std::nullopt;
  return path;
}

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share" as "\\server\share".
std::string WithoutLongPrefix(const std::string& path) {
  constexpr std::string_view kUnc = "\\\\?\\UNC\\", kLong = "\\\\?\\";
  if (path.rfind(kUnc, 0) == 0) return "\\\\" + path.substr(kUnc.size());
  if (path.rfind(kLong, 0) == 0) return path.substr(kLong.size());
  return path;
}

}  // namespace

CheckedEntry::~CheckedEntry() {
  if (handle_ != nullptr) Os().CloseEntry(handle_);
}

CheckedEntry& CheckedEntry::operator=(CheckedEntry&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) Os().CloseEntry(handle_);
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

CheckedTree::CheckedTree(const std::string& top) : topPath_(top) {
  CheckedEntry entry = OpenForChangeOrLook(top, EntryKind::FolderThroughLinks);
  const auto resolved = FinalPath(entry);
  if (!resolved) return;
  resolvedTopUpper_ = Os().UpperCase(std::string(WithoutTrailingBackslashes(*resolved)));
  top_ = std::move(entry);
}

CheckedEntry CheckedTree::OpenFile(const std::string& path) const {
  return Open(path, EntryKind::File);
}

CheckedEntry CheckedTree::OpenFolder(const std::string& path) const {
  return Open(path, EntryKind::Folder);
}

CheckedEntry CheckedTree::Open(const std::string& path, EntryKind kind) const {
  // Only paths that the walk built below the top qualify.
  if (!top_ || path.size() <= topPath_.size() || path.compare(0, topPath_.size(), topPath_) != 0 ||
      path[topPath_.size()] != '\\')
    return {};
  CheckedEntry entry = OpenForChangeOrLook(path, kind);
  uint32_t word = 0;
  if (!entry || !Os().GetEntryAttributes(entry.get(), word)) return {};
  // A link opened as itself carries the reparse bit (Windows)...
  if ((word & kAttrReparsePoint) != 0) return {};
  if (((word & kAttrDirectory) != 0) != (kind != EntryKind::File)) return {};
  // ...or, where the platform opens what a link points to (Wine), it resolves
  // elsewhere. So does a path through a folder swapped for a link.
  const auto resolved = FinalPath(entry);
  if (!resolved) return {};
  Platform& os = Os();
  if (os.UpperCase(*resolved) != resolvedTopUpper_ + os.UpperCase(path.substr(topPath_.size())))
    return {};
  return entry;
}

std::optional<std::string> ResolvedFolder(const std::string& path) {
  const auto resolved = FinalPath(
      CheckedEntry(Os().OpenEntry(path, EntryKind::FolderThroughLinks, EntryAccess::Look)));
  if (!resolved) return std::nullopt;
  return WithoutLongPrefix(*resolved);
}

}  // namespace purga
