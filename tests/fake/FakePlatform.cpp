#include "tests/fake/FakePlatform.h"

#include <algorithm>
#include <cstring>

namespace purga::test {

namespace {

thread_local uint32_t lastError = 0;

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

bool IsCp932Lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

struct FakePlatform::Find {
  std::string pattern;
  std::vector<FindEntry> entries;
  size_t next = 0;
  bool open = true;
};

struct FakePlatform::OpenFileState {
  std::string key;
  OpenMode mode;
  size_t position = 0;
  bool open = true;
};

struct FakePlatform::CacheFind {
  std::vector<std::string> urls;  // snapshot at FindFirst
  size_t next = 0;                // index of the entry the next call returns
  bool open = true;
};

FakePlatform::FakePlatform() {
  freeBytes[""] = 1024ull * 1024 * 1024;
  freeBytes["C:\\"] = 1024ull * 1024 * 1024;
  driveTypes["C:"] = 3;
  AddFolder("C:\\windows\\system32");
  AddFolder("C:\\users\\user\\Temp");
  SetPlatform(this);
}

FakePlatform::~FakePlatform() { SetPlatform(nullptr); }

std::string FakePlatform::Key(const std::string& path) {
  // Case-insensitive for ASCII letters, doubled backslashes collapsed and a
  // trailing backslash dropped, as the platform treats paths.
  std::string key;
  bool afterSeparator = false;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<uint8_t>(path[i]);
    if (IsCp932Lead(byte) && i + 1 < path.size()) {
      key += path[i];
      key += path[++i];
      afterSeparator = false;  // a trail byte 0x5C is no separator
      continue;
    }
    if (path[i] == '\\' && afterSeparator) continue;
    afterSeparator = path[i] == '\\';
    key += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
  }
  if (key.size() > 3 && afterSeparator) key.pop_back();
  return key;
}

std::string FakePlatform::Parent(const std::string& key) {
  size_t cut = std::string::npos;
  for (size_t i = 0; i < key.size(); ++i) {
    if (IsCp932Lead(static_cast<uint8_t>(key[i])) && i + 1 < key.size()) {
      ++i;
      continue;
    }
    if (key[i] == '\\') cut = i;
  }
  if (cut == std::string::npos) return {};
  return key.substr(0, cut);
}

void FakePlatform::Record(const std::string& line) {
  if (beforeOperation) beforeOperation(line);
  log_.push_back(line);
}

void FakePlatform::SetError(uint32_t code) { lastError = code; }

FakePlatform::Node& FakePlatform::MakeNode(const std::string& path) {
  Node& node = nodes_[Key(path)];
  // The name is everything after the last separator that is not a trail byte.
  const size_t cut = Parent(path).size();
  node.name = path.substr(cut == 0 ? 0 : cut + 1);
  if (node.id == 0) node.id = nextId_++;
  node.isLink = false;
  node.linkTarget.clear();
  return node;
}

void FakePlatform::AddFolder(const std::string& path, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  const std::string parent = Parent(Key(path));
  if (!parent.empty() && parent.size() > 2 && nodes_.find(parent) == nodes_.end())
    AddFolder(parent);
  Node& node = MakeNode(path);
  node.attributes = attributes;
  node.isFolder = true;
}

void FakePlatform::AddFile(const std::string& path, uint64_t size, uint32_t attributes,
                           const std::string& content) {
  std::lock_guard lock(mutex_);
  const std::string parent = Parent(Key(path));
  if (!parent.empty() && nodes_.find(parent) == nodes_.end()) AddFolder(parent);
  Node& node = MakeNode(path);
  node.attributes = attributes;
  node.size = content.empty() ? size : content.size();
  node.content = content;
  node.isFolder = false;
}

void FakePlatform::AddLink(const std::string& path, const std::string& target,
                           uint32_t attributes) {
  std::lock_guard lock(mutex_);
  const std::string parent = Parent(Key(path));
  if (!parent.empty() && nodes_.find(parent) == nodes_.end()) AddFolder(parent);
  Node& node = MakeNode(path);
  node.attributes = attributes;
  node.isFolder = false;
  node.isLink = true;
  node.linkTarget = target;
}

void FakePlatform::Move(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const std::string source = Key(from), destination = Key(to);
  std::map<std::string, Node> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (it->first == source || it->first.rfind(source + "\\", 0) == 0) {
      moved[destination + it->first.substr(source.size())] = std::move(it->second);
      it = nodes_.erase(it);
    } else {
      ++it;
    }
  }
  const size_t cut = Parent(to).size();
  if (moved.count(destination)) moved[destination].name = to.substr(cut == 0 ? 0 : cut + 1);
  nodes_.merge(moved);
}

void FakePlatform::ReportNameAs(const std::string& path, const std::string& name) {
  std::lock_guard lock(mutex_);
  reportedNames_[Key(path)] = name;
}

void FakePlatform::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string key = Key(path);
  std::erase_if(nodes_, [&](const auto& item) {
    return item.first == key || item.first.rfind(key + "\\", 0) == 0;
  });
}

bool FakePlatform::Exists(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return nodes_.count(Key(path)) != 0;
}

uint32_t FakePlatform::Attributes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? 0xFFFFFFFFu : it->second.attributes;
}

std::string FakePlatform::Content(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? std::string() : it->second.content;
}

void FakePlatform::SetContent(const std::string& path, const std::string& content) {
  std::lock_guard lock(mutex_);
  if (!Exists(path)) AddFile(path);
  Node& node = nodes_[Key(path)];
  node.content = content;
  node.size = content.size();
}

std::vector<std::string> FakePlatform::ListTree(const std::string& root) const {
  std::lock_guard lock(mutex_);
  const std::string key = Key(root);
  std::vector<std::string> paths;
  for (const auto& [k, node] : nodes_)
    if (k == key || k.rfind(key + "\\", 0) == 0) paths.push_back(k);
  return paths;
}

bool FakePlatform::HasChildren(const std::string& key) const {
  for (const auto& [k, node] : nodes_)
    if (k.size() > key.size() + 1 && k.rfind(key + "\\", 0) == 0) return true;
  return false;
}

std::vector<std::string> FakePlatform::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void FakePlatform::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

std::optional<FakePlatform::Resolved> FakePlatform::Resolve(const std::string& path,
                                                            bool followLast, int depth) const {
  // A chain of more links than this is a loop, as the platform would say.
  if (depth > 32) return std::nullopt;
  const std::string key = Key(path);
  std::vector<std::string> names;  // components of the key
  for (std::string rest = key; !rest.empty();) {
    const std::string parent = Parent(rest);
    names.insert(names.begin(), parent.empty() ? rest : rest.substr(parent.size() + 1));
    rest = parent;
  }
  if (names.empty() || names[0].size() != 2 || names[0][1] != ':') return std::nullopt;
  Resolved at{names[0], std::string(1, static_cast<char>(std::toupper(names[0][0]))) + ":"};
  for (size_t i = 1; i < names.size(); ++i) {
    at.key += "\\" + names[i];
    const auto it = nodes_.find(at.key);
    if (it == nodes_.end()) return std::nullopt;
    at.path += "\\" + it->second.name;
    if (it->second.isLink && (i + 1 < names.size() || followLast)) {
      const auto target = Resolve(it->second.linkTarget, true, depth + 1);
      if (!target) return std::nullopt;
      at = *target;
    }
  }
  if (names.size() == 1) at.path += "\\";
  return at;
}

FindHandle FakePlatform::List(const std::string& folder, const std::string& pattern,
                              FindEntry& entry) {
  auto find = std::make_unique<Find>();
  find->pattern = pattern;
  const bool isRoot = folder.size() <= 2;
  if (!isRoot) {
    find->entries.push_back({".", kAttrDirectory, 0, 0});
    find->entries.push_back({"..", kAttrDirectory, 0, 0});
  }
  for (const auto& [k, node] : nodes_)
    if (Parent(k) == folder && k != folder) {
      const auto reported = reportedNames_.find(k);
      FindEntry listed{node.name, node.attributes, node.size, node.lastWriteTime};
      if (reported != reportedNames_.end()) {
        listed.name = reported->second;
        listed.exact = false;
      }
      find->entries.push_back(listed);
    }
  if (find->entries.empty()) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  entry = find->entries[0];
  find->next = 1;
  finds_.push_back(std::move(find));
  return finds_.back().get();
}

FindHandle FakePlatform::FindFirst(const std::string& pattern, FindEntry& entry) {
  std::lock_guard lock(mutex_);
  Record("FindFirst " + pattern);
  const std::string suffix = "\\*.*";
  if (pattern.find_first_of("*?") == std::string::npos) {
    // A pattern without wildcards finds the one entry it names.
    const auto at = Resolve(pattern, false);
    if (!at || at->key.size() <= 3) {
      SetError(kErrorFileNotFound);
      return nullptr;
    }
    const Node& node = nodes_.at(at->key);
    auto find = std::make_unique<Find>();
    find->pattern = pattern;
    find->entries.push_back({node.name, node.attributes, node.size, node.lastWriteTime});
    entry = find->entries[0];
    find->next = 1;
    finds_.push_back(std::move(find));
    return finds_.back().get();
  }
  if (pattern.size() < suffix.size() ||
      pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  const std::string folderPath = pattern.substr(0, pattern.size() - suffix.size());
  const auto at = Resolve(folderPath, true);
  const auto it = at ? nodes_.find(at->key) : nodes_.end();
  const bool isDrive = at && at->key.size() <= 2;
  if ((!isDrive && (it == nodes_.end() || !it->second.isFolder)) ||
      failList.count(folderPath) != 0) {
    SetError(at ? kErrorAccessDenied : kErrorPathNotFound);
    return nullptr;
  }
  return List(at->key, pattern, entry);
}

bool FakePlatform::FindNext(FindHandle handle, FindEntry& entry) {
  std::lock_guard lock(mutex_);
  auto* find = static_cast<Find*>(handle);
  if (find->next >= find->entries.size()) {
    SetError(18);  // ERROR_NO_MORE_FILES
    return false;
  }
  entry = find->entries[find->next++];
  return true;
}

void FakePlatform::FindClose(FindHandle handle) {
  std::lock_guard lock(mutex_);
  auto* find = static_cast<Find*>(handle);
  Record("FindClose " + find->pattern);
  find->open = false;
}

bool FakePlatform::SetFileAttributes(const std::string& path, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Record("SetFileAttributes " + path + " " + std::to_string(attributes));
  const auto it = nodes_.find(Key(path));
  if (it == nodes_.end() || failSetAttributes.count(path)) {
    SetError(it == nodes_.end() ? kErrorFileNotFound : kErrorAccessDenied);
    return false;
  }
  // A folder keeps its directory bit, a file never gets one; 0 means normal.
  uint32_t word = attributes & ~kAttrDirectory;
  if (it->second.isFolder) word |= kAttrDirectory;
  if (!it->second.isFolder && word == 0) word = 0x80;
  it->second.attributes = word;
  return true;
}

struct FakePlatform::EntryState {
  uint64_t id;
  std::string path;  // as opened
  std::string finalPath;
  bool change;
  bool isLinkItself;
  bool deletePending = false;
};

std::map<std::string, FakePlatform::Node>::iterator FakePlatform::NodeOf(const EntryState& state) {
  return std::find_if(nodes_.begin(), nodes_.end(),
                      [&](const auto& item) { return item.second.id == state.id; });
}

EntryHandle FakePlatform::OpenEntry(const std::string& path, EntryKind kind, EntryAccess access) {
  std::lock_guard lock(mutex_);
  const bool change = access == EntryAccess::Change;
  Record("OpenEntry " + path +
         (kind == EntryKind::File     ? " file"
          : kind == EntryKind::Folder ? " folder"
                                      : " top") +
         (change ? " change" : " look"));
  if (failOpen.count(path) != 0 || (change && lookOnly.count(path) != 0)) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  const bool follow = kind == EntryKind::FolderThroughLinks || linksOpenAsTargets;
  const auto at = Resolve(path, follow);
  if (!at || at->key.size() <= 2) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  const Node& node = nodes_.at(at->key);
  // Without backup semantics a folder cannot be opened.
  if (kind == EntryKind::File && node.isFolder) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  entries_.push_back(std::make_unique<EntryState>(
      EntryState{node.id, path, "\\\\?\\" + at->path, change, node.isLink}));
  return entries_.back().get();
}

bool FakePlatform::GetEntryAttributes(EntryHandle entry, uint32_t& attributes) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryAttributes " + state.path);
  const auto it = NodeOf(state);
  if (it == nodes_.end()) return false;
  attributes = it->second.attributes | (state.isLinkItself ? kAttrReparsePoint : 0);
  return true;
}

bool FakePlatform::GetEntryFinalPath(EntryHandle entry, std::string& path) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryFinalPath " + state.path);
  path = state.finalPath;
  return true;
}

bool FakePlatform::SetEntryAttributes(EntryHandle entry, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("SetEntryAttributes " + state.path + " " + std::to_string(attributes));
  const auto it = NodeOf(state);
  if (it == nodes_.end() || !state.change || failSetAttributes.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return false;
  }
  // A folder keeps its directory bit, a file never gets one.
  uint32_t word = attributes & ~kAttrDirectory;
  if (it->second.isFolder) word |= kAttrDirectory;
  it->second.attributes = word;
  return true;
}

bool FakePlatform::DeleteEntry(EntryHandle entry) {
  std::lock_guard lock(mutex_);
  auto& state = *static_cast<EntryState*>(entry);
  Record("DeleteEntry " + state.path);
  const auto it = NodeOf(state);
  if (it == nodes_.end() || !state.change) {
    SetError(kErrorAccessDenied);
    return false;
  }
  const Node& node = it->second;
  if (node.isFolder && !state.isLinkItself && HasChildren(it->first)) {
    SetError(kErrorDirNotEmpty);
    return false;
  }
  const auto& failing = node.isFolder ? failRemove : failDelete;
  if ((node.attributes & kAttrReadOnly) != 0 || failing.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return false;
  }
  state.deletePending = true;
  return true;
}

void FakePlatform::CloseEntry(EntryHandle entry) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("CloseEntry " + state.path);
  if (!state.deletePending) return;
  const auto it = NodeOf(state);
  if (it != nodes_.end()) nodes_.erase(it);
}

FindHandle FakePlatform::FindFirstIn(EntryHandle folder, FindEntry& entry) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(folder);
  Record("FindFirstIn " + state.path);
  const auto it = NodeOf(state);
  if (it == nodes_.end() || !it->second.isFolder || failList.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  return List(it->first, state.path, entry);
}

void FakePlatform::Sleep(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  Record("Sleep " + std::to_string(milliseconds));
  ++sleepCount_;
}

FileHandle FakePlatform::OpenFile(const std::string& path, OpenMode mode) {
  std::lock_guard lock(mutex_);
  Record("OpenFile " + path);
  const std::string key = Key(path);
  auto it = nodes_.find(key);
  if (mode != OpenMode::CreateTruncate && it == nodes_.end()) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  if (it != nodes_.end() && (it->second.isFolder || (it->second.attributes & kAttrReadOnly))) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  const auto parent = nodes_.find(Parent(key));
  if (it == nodes_.end() && (parent == nodes_.end() || !parent->second.isFolder)) {
    SetError(kErrorPathNotFound);
    return nullptr;
  }
  if (mode == OpenMode::CreateTruncate) {
    Node& node = nodes_[key];
    if (node.name.empty()) {
      node.name = path.substr(path.find_last_of('\\') + 1);
      node.attributes = kAttrArchive;
    }
    node.content.clear();
    node.size = 0;
  }
  files_.push_back(std::make_unique<OpenFileState>(OpenFileState{key, mode}));
  return files_.back().get();
}

int64_t FakePlatform::ReadFile(FileHandle file, void* buffer, uint32_t count) {
  std::lock_guard lock(mutex_);
  auto* state = static_cast<OpenFileState*>(file);
  const std::string& content = nodes_[state->key].content;
  const size_t n =
      std::min<size_t>(count, content.size() - std::min(content.size(), state->position));
  std::memcpy(buffer, content.data() + state->position, n);
  state->position += n;
  return static_cast<int64_t>(n);
}

int64_t FakePlatform::WriteFile(FileHandle file, const void* buffer, uint32_t count) {
  std::lock_guard lock(mutex_);
  Record("WriteFile " + std::to_string(count));
  auto* state = static_cast<OpenFileState*>(file);
  if (failWrite) {
    SetError(kErrorDiskFull);
    return -1;
  }
  const uint32_t n = shortWrite && count > 0 ? count - 1 : count;
  Node& node = nodes_[state->key];
  node.content.resize(std::max(node.content.size(), state->position + n));
  std::memcpy(node.content.data() + state->position, buffer, n);
  node.size = node.content.size();
  state->position += n;
  // Like WriteFile, a short write succeeds and leaves the last error alone.
  return n;
}

bool FakePlatform::CloseFile(FileHandle file) {
  std::lock_guard lock(mutex_);
  Record("CloseFile");
  static_cast<OpenFileState*>(file)->open = false;
  if (failClose) {
    SetError(kErrorAccessDenied);
    return false;
  }
  return true;
}

bool FakePlatform::SetLastWriteTime(FileHandle file, uint64_t fileTime) {
  std::lock_guard lock(mutex_);
  Record("SetLastWriteTime " + std::to_string(fileTime));
  nodes_[static_cast<OpenFileState*>(file)->key].lastWriteTime = fileTime;
  return true;
}

uint32_t FakePlatform::LastError() { return lastError; }

std::string FakePlatform::ErrorMessage(uint32_t code) {
  switch (code) {
    case kErrorFileNotFound:
      return "指定されたファイルが見つかりません。";
    case kErrorPathNotFound:
      return "指定されたパスが見つかりません。";
    case kErrorAccessDenied:
      return "アクセスが拒否されました。";
    case kErrorDiskFull:
      return "ディスクに十分な空き領域がありません。";
    default:
      return {};
  }
}

namespace {

uint32_t CopyOut(const std::string& text, uint32_t forced, char* buffer, uint32_t size) {
  if (forced != 0) return forced;
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

}  // namespace

uint32_t FakePlatform::GetSystemDirectory(char* buffer, uint32_t size) {
  return CopyOut(systemDirectory, systemDirectoryResult, buffer, size);
}

uint32_t FakePlatform::GetTempPath(char* buffer, uint32_t size) {
  return CopyOut(tempPath, tempPathResult, buffer, size);
}

uint32_t FakePlatform::GetEnvironmentVariable(const std::string& name, char* buffer,
                                              uint32_t size) {
  const auto it = environment.find(name);
  if (it == environment.end()) {
    SetError(203);  // ERROR_ENVVAR_NOT_FOUND
    return 0;
  }
  return CopyOut(it->second, 0, buffer, size);
}

bool FakePlatform::GetProfileFolder(std::string& path) {
  path = profileFolder;
  return !path.empty();
}

uint32_t FakePlatform::GetModuleFileName(char* buffer, uint32_t size) {
  if (modulePath.size() + 1 > size) return size;
  std::memcpy(buffer, modulePath.c_str(), modulePath.size() + 1);
  return static_cast<uint32_t>(modulePath.size());
}

bool FakePlatform::GetDiskFreeBytes(const std::string& root, uint64_t& bytes) {
  std::lock_guard lock(mutex_);
  Record("GetDiskFreeBytes " + root);
  const auto it = freeBytes.find(root);
  if (it == freeBytes.end()) {
    SetError(kErrorPathNotFound);
    return false;
  }
  bytes = it->second;
  return true;
}

uint32_t FakePlatform::GetDriveType(const std::string& root) {
  std::lock_guard lock(mutex_);
  Record("GetDriveType " + root);
  const auto it = driveTypes.find(root);
  return it == driveTypes.end() ? 1 : it->second;
}

bool FakePlatform::GetCurrentDirectory(std::string& path) {
  std::lock_guard lock(mutex_);
  path = currentDirectory;
  return true;
}

bool FakePlatform::SetCurrentDirectory(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("SetCurrentDirectory " + path);
  std::string full = path;
  if (!path.empty() && path[0] == '\\')
    full = currentDirectory.substr(0, 2) + path;  // drive-relative
  if (path.size() == 2 && path[1] == ':') full = path + "\\";
  const std::string key = Key(full);
  const bool isDrive =
      key.size() <= 3 && key.size() >= 2 && key[1] == ':' &&
      driveTypes.count(std::string(1, static_cast<char>(std::toupper(key[0]))) + ":");
  const auto it = nodes_.find(key);
  if (!isDrive && (it == nodes_.end() || !it->second.isFolder)) {
    SetError(kErrorPathNotFound);
    return false;
  }
  currentDirectory = full;
  return true;
}

bool FakePlatform::IsLeadByte(uint8_t byte) { return IsCp932Lead(byte); }

std::string FakePlatform::UpperCase(const std::string& text) {
  // CharUpperBuffA in code page 932 (it goes through Unicode, as measured
  // under Wine): ASCII letters and the full-width Latin, Greek and Cyrillic
  // letters change; every other character stays whole.
  struct Range {
    uint16_t first, last, upperFirst;
  };
  static constexpr Range kDoubleByteLetters[] = {
      {0x8281, 0x829A, 0x8260},  // ａ..ｚ
      {0x83BF, 0x83D6, 0x839F},  // α..ω
      {0x8470, 0x847E, 0x8440},  // а..н
      {0x8480, 0x8491, 0x844F},  // о..я
  };
  std::string upper = text;
  for (size_t i = 0; i < upper.size(); ++i) {
    const auto byte = static_cast<uint8_t>(upper[i]);
    if (IsCp932Lead(byte) && i + 1 < upper.size()) {
      const auto code = static_cast<uint16_t>(byte << 8 | static_cast<uint8_t>(upper[i + 1]));
      for (const Range& r : kDoubleByteLetters) {
        if (code < r.first || code > r.last) continue;
        const auto to = static_cast<uint16_t>(r.upperFirst + (code - r.first));
        upper[i] = static_cast<char>(to >> 8);
        upper[i + 1] = static_cast<char>(to & 0xFF);
      }
      ++i;
      continue;
    }
    if (byte >= 'a' && byte <= 'z') upper[i] = static_cast<char>(byte - 'a' + 'A');
  }
  return upper;
}

bool FakePlatform::FileTimeToLocal(uint64_t utc, uint64_t& local) {
  local = utc + static_cast<uint64_t>(localOffsetSeconds * static_cast<int64_t>(kTicksPerSecond));
  return true;
}

bool FakePlatform::LocalToFileTime(uint64_t local, uint64_t& utc) {
  utc = local - static_cast<uint64_t>(localOffsetSeconds * static_cast<int64_t>(kTicksPerSecond));
  return true;
}

bool FakePlatform::FileTimeToDosDateTime(uint64_t fileTime, uint16_t& date, uint16_t& time) {
  const int64_t seconds = static_cast<int64_t>(fileTime / kTicksPerSecond);
  const int64_t days = seconds / 86400 - kDaysFrom1601To1970;
  const int64_t secondOfDay = seconds % 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  if (y < 1980 || y > 2107) return false;
  date = static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d);
  time = static_cast<uint16_t>(((secondOfDay / 3600) << 11) | (((secondOfDay / 60) % 60) << 5) |
                               ((secondOfDay % 60) / 2));
  return true;
}

bool FakePlatform::DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t& fileTime) {
  const unsigned d = date & 0x1F, m = (date >> 5) & 0xF;
  const int64_t y = 1980 + (date >> 9);
  const unsigned hh = time >> 11, mm = (time >> 5) & 0x3F, ss = (time & 0x1F) * 2;
  if (d == 0 || m == 0 || m > 12 || hh > 23 || mm > 59 || ss > 59) return false;
  const int64_t days = DaysFromCivil(y, m, d) + kDaysFrom1601To1970;
  fileTime = static_cast<uint64_t>(days * 86400 + hh * 3600 + mm * 60 + ss) * kTicksPerSecond;
  return true;
}

uint32_t FakePlatform::CacheEntrySize(size_t index) const {
  return static_cast<uint32_t>(sizeof(CacheEntryHead) + cache[index].url.size() + 1 +
                               cache[index].extraBytes);
}

bool FakePlatform::FillCacheEntry(size_t index, CacheEntryHead* entry, uint32_t* size) {
  const uint32_t needed = CacheEntrySize(index);
  if (entry == nullptr || *size < needed) {
    *size = needed;
    SetError(kErrorInsufficientBuffer);
    if (static_cast<int>(index) == growEntryAt && entry == nullptr) cache[index].extraBytes += 64;
    return false;
  }
  if (entry->dwStructSize != *size) {
    SetError(87);  // ERROR_INVALID_PARAMETER
    return false;
  }
  char* text = reinterpret_cast<char*>(entry) + sizeof(CacheEntryHead);
  std::memcpy(text, cache[index].url.c_str(), cache[index].url.size() + 1);
  entry->lpszSourceUrlName = text;
  return true;
}

CacheHandle FakePlatform::FindFirstUrlCacheEntry(const char* pattern, CacheEntryHead* entry,
                                                 uint32_t* size) {
  std::lock_guard lock(mutex_);
  Record(std::string("FindFirstUrlCacheEntry ") + (pattern ? pattern : "null") +
         (entry ? " block " : " probe ") + std::to_string(*size));
  if (cache.empty()) {
    SetError(kErrorNoMoreItems);
    return nullptr;
  }
  if (!FillCacheEntry(0, entry, size)) return nullptr;
  auto find = std::make_unique<CacheFind>();
  for (const CacheEntry& e : cache) find->urls.push_back(e.url);
  find->next = 1;
  cacheFinds_.push_back(std::move(find));
  return cacheFinds_.back().get();
}

bool FakePlatform::FindNextUrlCacheEntry(CacheHandle handle, CacheEntryHead* entry,
                                         uint32_t* size) {
  std::lock_guard lock(mutex_);
  Record(std::string("FindNextUrlCacheEntry") + (entry ? " block " : " probe ") +
         std::to_string(*size));
  auto* find = static_cast<CacheFind*>(handle);
  // Skip entries deleted since the snapshot.
  while (find->next < find->urls.size()) {
    const std::string& url = find->urls[find->next];
    const auto it =
        std::find_if(cache.begin(), cache.end(), [&](const CacheEntry& e) { return e.url == url; });
    if (it != cache.end()) {
      const size_t index = static_cast<size_t>(it - cache.begin());
      if (!FillCacheEntry(index, entry, size)) return false;
      ++find->next;
      return true;
    }
    ++find->next;
  }
  SetError(kErrorNoMoreItems);
  return false;
}

bool FakePlatform::DeleteUrlCacheEntry(const char* url) {
  std::lock_guard lock(mutex_);
  Record(std::string("DeleteUrlCacheEntry ") + url);
  const auto it =
      std::find_if(cache.begin(), cache.end(), [&](const CacheEntry& e) { return e.url == url; });
  if (it == cache.end()) return false;
  const auto index = static_cast<int>(it - cache.begin());
  cache.erase(it);
  if (growEntryAt > index) --growEntryAt;
  return true;
}

bool FakePlatform::FindCloseUrlCache(CacheHandle handle) {
  std::lock_guard lock(mutex_);
  Record("FindCloseUrlCache");
  static_cast<CacheFind*>(handle)->open = false;
  return true;
}

void FakePlatform::AddToRecentDocs(uint32_t flags, const void* item) {
  std::lock_guard lock(mutex_);
  Record("AddToRecentDocs " + std::to_string(flags) + (item ? " item" : " null"));
}

void FakePlatform::ProcessPendingMessages() {
  std::lock_guard lock(mutex_);
  Record("ProcessPendingMessages");
}

}  // namespace purga::test
