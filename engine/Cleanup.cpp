#include "engine/Cleanup.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/CheckedTree.h"
#include "engine/DeleteF.h"
#include "platform/Platform.h"

namespace purga {

std::string CleanRoot;

namespace {

// Single-byte backslashes in `path`.
int CountBackslashes(std::string_view path) {
  int count = 0;
  for (size_t cut; (cut = FindLastSeparator(path, "\\")) != std::string_view::npos;
       path = path.substr(0, cut))
    ++count;
  return count;
}

// A folder path, upper-cased, without its trailing backslashes.
std::string Comparable(std::string_view path) {
  return Os().UpperCase(std::string(WithoutTrailingBackslashes(path)));
}

// True when `folder` is `inner` or a folder above it.
bool HoldsOrIs(const std::string& folder, const std::string& inner) {
  return inner == folder ||
         (inner.size() > folder.size() && inner[folder.size()] == '\\' &&
          inner.compare(0, folder.size(), folder) == 0 && StartsCharacter(inner, folder.size()));
}

// The user's profile folder in each form the platform gives it: GetTempPathA
// falls back to USERPROFILE when TMP and TEMP are unset, and the shell knows
// the profile on its own.
std::vector<std::string> ProfileFolders() {
  std::vector<std::string> folders;
  char buffer[kFolderBufferSize + 1] = {};
  const uint32_t length = Os().GetEnvironmentVariable("USERPROFILE", buffer, kFolderBufferSize);
  if (length > 0 && length < kFolderBufferSize) folders.emplace_back(buffer);
  std::string shell;
  if (Os().GetProfileFolder(shell)) folders.push_back(shell);
  return folders;
}

// A root of a drive or a share, or a path that is not absolute.
bool IsRootOrRelative(std::string_view path) {
  const std::string_view trimmed = WithoutTrailingBackslashes(path);
  const bool drive = trimmed.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && path[2] == '\\';
  const bool share = trimmed.substr(0, 2) == "\\\\";
  const int separators = CountBackslashes(trimmed);
  return !(drive || share) || separators == 0 || (share && separators <= 3);
}

// `paths` followed by the resolved form of each that resolves.
std::vector<std::string> WithResolvedForms(std::vector<std::string> paths) {
  const size_t count = paths.size();
  for (size_t i = 0; i < count; ++i)
    if (const auto resolved = ResolvedFolder(paths[i])) paths.push_back(*resolved);
  return paths;
}

// A folder whose emptying would wreck the system or the user's own files: the
// root of a drive or a share (or a relative path), the system folder, the
// Windows folder, and the user's profile folder and every folder above it.
// Each path is compared as written and as resolved, so that a short name, a
// link or a mapped drive leads nowhere else.
bool IsForbiddenCleanRoot(const std::string& folder) {
  if (IsRootOrRelative(folder)) return true;
  std::vector<std::string> system;  // forbidden as such
  if (const auto found = GetSystemFolder()) {
    system.push_back(*found);
    system.push_back(FolderPart(WithoutTrailingBackslashes(*found)));
  }
  system = WithResolvedForms(system);
  const std::vector<std::string> profile = WithResolvedForms(ProfileFolders());
  for (const std::string& form : WithResolvedForms({folder})) {
    if (IsRootOrRelative(form)) return true;
    const std::string upper = Comparable(form);
    for (const std::string& other : system)
      if (upper == Comparable(other)) return true;
    for (const std::string& other : profile)
      if (HoldsOrIs(upper, Comparable(other))) return true;
  }
  return false;
}

// Cache entries that the content clean-up leaves alone: Wine keeps cookies
// and history in containers of their own, keyed by these prefixes, and its
// enumeration without a pattern walks them too.
bool IsCookieOrHistory(const char* url) {
  const std::string_view key(url);
  return key.rfind("Cookie:", 0) == 0 || key.rfind("Visited:", 0) == 0;
}

struct FreeBlock {
  void operator()(CacheEntryHead* block) const { std::free(block); }
};
using CacheBlock = std::unique_ptr<CacheEntryHead, FreeBlock>;

// A block of `size` bytes for one cache entry, its dwStructSize set; none
// for a size of 0. Zero-filled and never shorter than the head, so that the
// head can be written whatever the platform reported. Throws std::bad_alloc.
CacheBlock AllocateCacheBlock(uint32_t size) {
  if (size == 0) return nullptr;
  const size_t bytes = size < sizeof(CacheEntryHead) ? sizeof(CacheEntryHead) : size;
  CacheBlock block(static_cast<CacheEntryHead*>(std::calloc(1, bytes)));
  if (!block) throw std::bad_alloc();
  block->dwStructSize = size;
  return block;
}

class CacheFindScope {
 public:
  explicit CacheFindScope(CacheHandle handle) : handle_(handle) {}
  ~CacheFindScope() { Os().FindCloseUrlCache(handle_); }
  CacheFindScope(const CacheFindScope&) = delete;
  CacheFindScope& operator=(const CacheFindScope&) = delete;

 private:
  CacheHandle handle_;
};

}  // namespace

std::optional<std::string> GetTempFolder() {
  char buffer[kFolderBufferSize + 1] = {};
  const uint32_t length = Os().GetTempPath(buffer, kFolderBufferSize);
  // 0 is a failure; a length of the buffer size or more is the size needed,
  // and the buffer then holds nothing usable.
  if (length == 0 || length >= kFolderBufferSize) return std::nullopt;
  std::string folder(buffer);
  if (folder.empty() || IsForbiddenCleanRoot(folder)) return std::nullopt;
  return folder;
}

void CleanFolderTree(const std::string& root) {
  CleanRoot = root;
  // Resolved once, like the deletion run's target: nothing outside what the
  // folder resolves to now is acted on, whatever changes during the clean-up.
  const CheckedTree tree(root);
  if (tree.Top()) EmptyFolderTree(root, tree.Top(), tree);
}

void EmptyFolderTree(const std::string& folder, const CheckedEntry& self, const CheckedTree& tree) {
  // Files: only the plain words 32 and 33, each checked before it is changed.
  ForEachEntry(self, [&](const FindEntry& entry) {
    if (IsPlainFile(entry.attributes) && EntryIsFaithful(entry)) {
      if (const CheckedEntry file = tree.OpenFile(folder + "\\" + entry.name)) {
        file.SetAttributes(kAttrArchive);
        file.Delete();
      }
    }
    return true;
  });

  // Plain sub-folders, each emptied and removed before the next. Hidden,
  // system and volume entries never have a plain word.
  ForEachEntry(self, [&](const FindEntry& entry) {
    if (!entry.name.empty() && entry.name[0] != '.' && IsPlainFolder(entry.attributes) &&
        EntryIsFaithful(entry)) {
      const std::string path = folder + "\\" + entry.name;
      if (const CheckedEntry sub = tree.OpenFolder(path)) EmptyFolderTree(path, sub, tree);
    }
    return true;
  });

  // The top stays; every other folder goes when `self` closes, if empty.
  if (folder != CleanRoot) {
    self.SetAttributes(kAttrDirectory);
    self.Delete();
  }
}

void ClearUrlCache() {
  Platform& os = Os();
  try {
    uint32_t size = 0;
    os.FindFirstUrlCacheEntry(nullptr, nullptr, &size);
    CacheBlock block = AllocateCacheBlock(size);
    const CacheHandle handle = os.FindFirstUrlCacheEntry(nullptr, block.get(), &size);
    if (handle == nullptr) return;
    CacheFindScope find(handle);
    for (;;) {
      ProcessPendingMessages();
      if (block && block->lpszSourceUrlName != nullptr &&
          !IsCookieOrHistory(block->lpszSourceUrlName))
        os.DeleteUrlCacheEntry(block->lpszSourceUrlName);
      block.reset();
      size = 0;
      os.FindNextUrlCacheEntry(handle, nullptr, &size);
      block = AllocateCacheBlock(size);
      if (!os.FindNextUrlCacheEntry(handle, block.get(), &size)) break;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory: the cache stays as it is from here on.
  }
}

void EraseRecentDocuments() { Os().AddToRecentDocs(1, nullptr); }

void RunPreRunTasks() {
  // A task that fails unexpectedly must not keep the run from starting:
  // Start has already set RunGuard, and only the worker clears it.
  if (FlagSet(DeleteSettings.CleanWinTemp)) {
    try {
      if (const auto temp = GetTempFolder()) CleanFolderTree(*temp);
    } catch (...) {
    }
  }
  if (FlagSet(DeleteSettings.CleanBrowserCache)) {
    try {
      ClearUrlCache();
    } catch (...) {
    }
  }
  if (FlagSet(DeleteSettings.ClearRecentDocs)) {
    try {
      EraseRecentDocuments();
    } catch (...) {
    }
  }
}

}  // namespace purga
