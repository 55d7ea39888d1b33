#include "engine/Cleanup.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "common/Hensu.h"
#include "common/commFunc.h"
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

std::string_view WithoutTrailingBackslashes(std::string_view path) {
  while (!path.empty() && path.back() == '\\' && StartsCharacter(path, path.size() - 1))
    path.remove_suffix(1);
  return path;
}

// A folder whose emptying would wreck the system: the root of a drive or a
// share (or a relative path), the system folder and the Windows folder.
bool IsForbiddenCleanRoot(const std::string& folder) {
  const std::string_view trimmed = WithoutTrailingBackslashes(folder);
  const int separators = CountBackslashes(trimmed);
  if (separators == 0) return true;
  if (trimmed.substr(0, 2) == "\\\\" && separators <= 3) return true;
  if (const auto system = GetSystemFolder()) {
    Platform& os = Os();
    const std::string upper = os.UpperCase(std::string(trimmed));
    const std::string systemUpper = os.UpperCase(std::string(WithoutTrailingBackslashes(*system)));
    const std::string windowsUpper = os.UpperCase(FolderPart(systemUpper));
    if (upper == systemUpper || upper == windowsUpper) return true;
  }
  return false;
}

constexpr uint32_t kSkippedByFolderPass = kAttrHidden | kAttrSystem | kAttrVolume;

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
  EmptyFolderTree(root);
}

void EmptyFolderTree(const std::string& folder) {
  Platform& os = Os();
  const std::string pattern = folder + "\\*.*";
  FindEntry entry;

  {  // Files: only the plain words 32 and 33.
    FindScope find(os.FindFirst(pattern, entry));
    if (find.get() != nullptr) {
      do {
        if (!IsPlainFile(entry.attributes)) continue;
        if (const auto path = PathToDelete(folder, entry.name)) {
          SetPathAttributes(*path, 32);
          os.DeleteFile(*path);
        }
      } while (os.FindNext(find.get(), entry));
    }
  }

  {  // Plain sub-folders, each emptied and removed before the next.
    FindScope find(os.FindFirst(pattern, entry));
    if (find.get() != nullptr) {
      do {
        if ((entry.attributes & kSkippedByFolderPass) != 0) continue;
        if (entry.name.empty() || entry.name[0] == '.') continue;
        if (IsPlainFolder(entry.attributes) && NameIsFaithful(entry.name))
          EmptyFolderTree(folder + "\\" + entry.name);
      } while (os.FindNext(find.get(), entry));
    }
  }

  if (folder != CleanRoot) {
    SetPathAttributes(folder, 16);
    os.RemoveDirectory(folder);
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
