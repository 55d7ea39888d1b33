#include "engine/Cleanup.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/DeleteF.h"
#include "platform/Platform.h"

namespace purga {

std::u16string CleanRoot;

namespace {

// `path` without the backslashes at its end.
std::u16string_view Trimmed(std::u16string_view path) {
  while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  return path;
}

// The root of an absolute path as written: "X:\" or "\\server\share\";
// empty for a path that is neither.
std::u16string RootOf(std::u16string_view path) {
  const auto letter = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  };
  if (path.size() >= 3 && letter(path[0]) && path[1] == u':' && path[2] == u'\\')
    return std::u16string(path.substr(0, 3));
  if (path.substr(0, 2) != u"\\\\") return {};
  const size_t server = path.find(u'\\', 2);
  if (server == std::u16string_view::npos || server == 2) return {};
  const size_t share = path.find(u'\\', server + 1);
  if (share == server + 1) return {};
  return std::u16string(path.substr(0, share)) + u'\\';
}

// `folder` and every folder above it, down to its root.
std::vector<std::u16string> WithFoldersAbove(std::u16string_view folder) {
  const std::u16string root = RootOf(folder);
  if (root.empty()) return {};
  std::vector<std::u16string> folders;
  for (std::u16string_view at = Trimmed(folder); at.size() > Trimmed(root).size();) {
    folders.emplace_back(at);
    at = at.substr(0, at.rfind(u'\\'));
  }
  folders.push_back(root);
  return folders;
}

// A folder's identity: its volume and its file ID. The 64-bit ID is read,
// which every volume that has IDs gives alike for every handle. None when
// either cannot be read: on a volume that gives no IDs, every folder is
// taken for a forbidden one.
struct Identity {
  uint64_t volume = 0;
  FileId fileId;
  bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(EntryHandle entry) {
  Identity identity;
  EntryInfo info;
  if (entry == nullptr || !Os().GetEntryVolume(entry, identity.volume) ||
      !Os().GetEntryInfo(entry, IdSize::Bits64, info) || !info.fileId.Given())
    return std::nullopt;
  identity.fileId = info.fileId;
  return identity;
}

// The folders whose emptying would wreck the system or the user's own files:
// the root that `written` names, the system folder and the Windows folder
// above it, and each of the user's profile folders (USERPROFILE, where
// GetTempPath falls back, and the one the shell knows) with every folder
// above it.
std::vector<std::u16string> ForbiddenFolders(const std::u16string& written) {
  Platform& os = Os();
  std::vector<std::u16string> folders = {RootOf(written)};
  if (const auto system = GetSystemFolder()) {
    folders.push_back(*system);
    const auto above = WithFoldersAbove(*system);
    if (above.size() > 1) folders.push_back(above[1]);
  }
  std::u16string profile;
  if (os.GetEnvironmentVariable(u"USERPROFILE", profile))
    for (auto& folder : WithFoldersAbove(profile)) folders.push_back(std::move(folder));
  if (os.GetProfileFolder(profile))
    for (auto& folder : WithFoldersAbove(profile)) folders.push_back(std::move(folder));
  return folders;
}

// True when the folder that `walk` opened for `written` must not be emptied.
// What cannot be told is forbidden.
bool IsForbiddenCleanTop(const TreeWalk& walk, const std::u16string& written) {
  Platform& os = Os();
  const auto top = IdentityOf(walk.Top().get());
  std::u16string onVolume;
  if (!top || !os.GetEntryPath(walk.Top().get(), onVolume) || Trimmed(onVolume).empty())
    return true;
  for (const std::u16string& folder : ForbiddenFolders(written)) {
    const CheckedEntry opened(folder.empty() ? nullptr : os.OpenFolder(folder, 0));
    if (IdentityOf(opened.get()) == top) return true;
  }
  return false;
}

// The clean-up's steps of the walk: every plain file goes, read-only or not,
// and every plain folder below the top is removed once emptied.
class CleanVisitor : public TreeWalk::Visitor {
 public:
  explicit CleanVisitor(TreeWalk& walk) : walk_(walk) {}
  void File(const FindEntry& entry) override {
    // A read-only file with a name outside the folder keeps its bit there.
    FileFacts facts;
    if (const CheckedEntry file = walk_.OpenFile(entry, facts))
      DeleteCheckedFile(file, facts, true);
  }
  void Leave(const CheckedEntry& folder, bool top) override {
    if (top) return;
    folder.SetAttributes(kAttrDirectory);
    folder.Delete();
  }

 private:
  TreeWalk& walk_;
};

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

std::optional<std::u16string> GetTempFolder() {
  char16_t buffer[kFolderBufferSize + 1] = {};
  const uint32_t length = Os().GetTempPath(buffer, kFolderBufferSize);
  // 0 is a failure; a length of the buffer size or more is the size needed,
  // and the buffer then holds nothing usable.
  if (length == 0 || length >= kFolderBufferSize) return std::nullopt;
  std::u16string folder(buffer);
  // An empty or relative path would name the current folder; a root, a
  // whole drive.
  const std::u16string root = RootOf(folder);
  if (root.empty() || Trimmed(folder).size() <= Trimmed(root).size()) return std::nullopt;
  return folder;
}

void CleanFolderTree(const std::u16string& root) {
  CleanRoot = root;
  // Opened once: the folder checked is the folder cleaned, whatever changes
  // meanwhile.
  TreeWalk walk(root);
  if (!walk.Top() || IsForbiddenCleanTop(walk, root)) return;
  EmptyFolderTree(walk);
}

void EmptyFolderTree(TreeWalk& walk) {
  CleanVisitor visitor(walk);
  walk.Run(visitor);
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
