#include "tests/fake/FakePlatform.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace purga::test {

namespace {

thread_local uint32_t lastError = 0;

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr uint32_t kNoAttributes = 0xFFFFFFFFu;

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

// A name as the file system compares it: ASCII letters without case.
std::u16string Folded(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return folded;
}

std::string AsciiLower(std::string text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    if (IsCp932Lead(byte) && i + 1 < text.size()) {
      ++i;
      continue;
    }
    if (byte >= 'A' && byte <= 'Z') text[i] = static_cast<char>(byte - 'A' + 'a');
  }
  return text;
}

// One conversion of iconv, a character at a time where the other side lacks
// it. Returns false when some character had no form.
bool Convert(const char* to, const char* from, const char* in, size_t inBytes, size_t unit,
             std::string& out, const std::string& missing) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
  bool exact = true;
  char buffer[256];
  while (inBytes > 0) {
    char* output = buffer;
    size_t room = sizeof buffer;
    auto* input = const_cast<char*>(in);
    const size_t done = iconv(cd, &input, &inBytes, &output, &room);
    out.append(buffer, static_cast<size_t>(output - buffer));
    in = input;
    if (done != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // A character the other side lacks, or half of one: it stands as
    // `missing`, and the conversion goes on after it.
    exact = false;
    out += missing;
    size_t skip = std::min(inBytes, unit);
    if (unit == 2 && inBytes >= 4) {  // a UTF-16 pair goes whole
      const auto high =
          static_cast<uint16_t>(static_cast<uint8_t>(in[0]) | static_cast<uint8_t>(in[1]) << 8);
      if (high >= 0xD800 && high <= 0xDBFF) skip = 4;
    }
    in += skip;
    inBytes -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return exact;
}

}  // namespace

struct FakePlatform::Node {
  std::u16string name;  // as created (case kept)
  uint32_t attributes = 0;
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;
  std::string content;
  bool isFolder = false;
  uint64_t id = 0;
  uint64_t volume = 0;
  bool isLink = false;
  std::u16string linkTarget;
  std::weak_ptr<Node> parent;                  // none for a drive's root and for a node taken out
  std::map<std::u16string, NodePtr> children;  // by Folded(name)
  std::vector<std::weak_ptr<Node>> links;      // the other names of the same file
  std::optional<uint64_t> listedSize;          // a stale size in its directory entry
};

struct FakePlatform::Find {
  std::string pattern;
  std::vector<FindEntry> entries;
  size_t next = 0;
  bool open = true;
};

struct FakePlatform::OpenFileState {
  NodePtr node;
  OpenMode mode;
  size_t position = 0;
  bool open = true;
};

struct FakePlatform::CacheFind {
  std::vector<std::string> urls;  // snapshot at FindFirst
  size_t next = 0;                // index of the entry the next call returns
  bool open = true;
};

struct FakePlatform::EntryState {
  NodePtr node;
  std::string path;  // as opened, in the code page
  uint32_t rights = 0;
  bool linkItself = false;  // a link opened as itself
  bool deletePending = false;
  bool open = true;
  std::vector<FindEntry> listing;  // taken when a listing begins
  size_t next = 0;
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

std::vector<std::u16string> FakePlatform::Split(const std::u16string& path) {
  // Doubled and trailing backslashes are no names, as the platform reads
  // paths.
  std::vector<std::u16string> names;
  for (size_t at = 0; at <= path.size();) {
    size_t end = path.find(u'\\', at);
    if (end == std::u16string::npos) end = path.size();
    if (end > at) names.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  if (names.empty() || names[0].size() != 2 || names[0][1] != u':') return {};
  return names;
}

void FakePlatform::Record(const std::string& line) {
  if (beforeOperation) beforeOperation(line);
  log_.push_back(line);
}

void FakePlatform::SetError(uint32_t code) { lastError = code; }

FakePlatform::NodePtr FakePlatform::Target(const NodePtr& link) const {
  return Resolve(link->linkTarget, true, 1);
}

FakePlatform::NodePtr FakePlatform::Resolve(const std::u16string& path, bool followLast, int depth,
                                            bool followOnTheWay) const {
  // A chain of more links than this is a loop, as the platform would say.
  if (depth > 32) return nullptr;
  const std::vector<std::u16string> names = Split(path);
  if (names.empty()) return nullptr;
  char16_t letter = names[0][0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  const auto drive = drives_.find(letter);
  if (drive == drives_.end()) return nullptr;
  NodePtr node = drive->second;
  for (size_t i = 1; i < names.size(); ++i) {
    const auto child = node->children.find(Folded(names[i]));
    if (child == node->children.end()) return nullptr;
    node = child->second;
    const bool last = i + 1 == names.size();
    if (node->isLink && (last ? followLast : followOnTheWay)) {
      node = Resolve(node->linkTarget, true, depth + 1);
      if (!node) return nullptr;
    }
  }
  return node;
}

FakePlatform::NodePtr FakePlatform::Make(const std::u16string& path, bool folder) {
  const std::vector<std::u16string> names = Split(path);
  if (names.empty()) std::abort();  // a test's own mistake
  char16_t letter = names[0][0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  NodePtr& root = drives_[letter];
  if (!root) {
    root = std::make_shared<Node>();
    root->name = std::u16string(1, letter) + u":";
    root->isFolder = true;
    root->attributes = kAttrDirectory;
    root->volume = 0x1000 + letter;
    root->id = NewId(root->volume, nullptr, u"");
  }
  NodePtr node = root;
  if (names.size() == 1) return node;
  for (size_t i = 1; i < names.size(); ++i) {
    NodePtr& child = node->children[Folded(names[i])];
    const bool last = i + 1 == names.size();
    if (!child) {
      child = std::make_shared<Node>();
      child->name = names[i];
      child->id = NewId(node->volume, node, names[i]);
      child->volume = node->volume;
      child->parent = node;
      child->isFolder = !last || folder;
      child->attributes = kAttrDirectory;
    }
    if (last) {
      child->name = names[i];
      child->isLink = false;
      child->linkTarget.clear();
      return child;
    }
    node = child->isLink ? Target(child) : child;
    if (!node) std::abort();
  }
  return node;
}

uint64_t FakePlatform::NewId(uint64_t volume, const NodePtr& parent, const std::u16string& name) {
  // Derived from the path on the volume and how many entries were made
  // there before, so that two volumes made alike give alike IDs.
  std::u16string where = Folded(name);
  if (parent) where = Folded(PathOf(parent)).substr(2) + u"\\" + where;
  const uint64_t count = ++made_[{volume, where}];
  return ((std::hash<std::u16string>{}(where)&0x0000FFFFFFFFFFFFull) | count << 48) | 1;
}

void FakePlatform::AddFolder(const std::u16string& path, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  NodePtr node = Make(path, true);
  node->isFolder = true;
  node->attributes = attributes;
}

void FakePlatform::AddFolder(const std::string& path, uint32_t attributes) {
  AddFolder(ToWide(path), attributes);
}

void FakePlatform::AddFile(const std::u16string& path, uint64_t size, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  NodePtr node = Make(path, false);
  node->isFolder = false;
  node->children.clear();
  node->attributes = attributes;
  node->size = size;
  node->content.clear();
}

void FakePlatform::AddFile(const std::string& path, uint64_t size, uint32_t attributes,
                           const std::string& content) {
  std::lock_guard lock(mutex_);
  AddFile(ToWide(path), content.empty() ? size : content.size(), attributes);
  Resolve(ToWide(path), false)->content = content;
}

void FakePlatform::AddLink(const std::u16string& path, const std::u16string& target,
                           uint32_t attributes) {
  std::lock_guard lock(mutex_);
  NodePtr node = Make(path, false);
  node->isFolder = false;
  node->children.clear();
  node->attributes = attributes;
  node->isLink = true;
  node->linkTarget = target;
}

void FakePlatform::AddHardLink(const std::u16string& path, const std::u16string& existing,
                               std::optional<uint64_t> listedSize) {
  std::lock_guard lock(mutex_);
  const NodePtr file = Resolve(existing, false);
  const NodePtr node = Make(path, false);
  if (!file || file->isFolder || file->volume != node->volume) std::abort();  // a test's mistake
  node->attributes = file->attributes;
  node->size = file->size;
  node->id = file->id;
  node->listedSize = listedSize;
  for (const auto& link : file->links)
    if (const NodePtr other = link.lock()) other->links.push_back(node);
  node->links = file->links;
  node->links.push_back(file);
  file->links.push_back(node);
}

void FakePlatform::AddLink(const std::string& path, const std::string& target,
                           uint32_t attributes) {
  AddLink(ToWide(path), ToWide(target), attributes);
}

void FakePlatform::Detach(const NodePtr& node) {
  const NodePtr parent = node->parent.lock();
  if (!parent) return;
  for (auto it = parent->children.begin(); it != parent->children.end(); ++it)
    if (it->second == node) {
      parent->children.erase(it);
      break;
    }
  node->parent.reset();
}

bool FakePlatform::Held(const NodePtr& node) const {
  if (!heldFoldersStay) return false;
  for (const auto& entry : entries_) {
    if (!entry->open || !entry->node->isFolder) continue;
    for (NodePtr at = entry->node; at; at = at->parent.lock())
      if (at == node) return true;
  }
  return false;
}

bool FakePlatform::Move(const std::u16string& from, const std::u16string& to) {
  std::lock_guard lock(mutex_);
  const NodePtr node = Resolve(from, false, 0, false);
  const size_t cut = to.rfind(u'\\');
  const NodePtr parent = Resolve(to.substr(0, cut), false, 0, false);
  if (!node || !parent || !parent->isFolder) std::abort();  // a test's own mistake
  const auto there = parent->children.find(Folded(to.substr(cut + 1)));
  if (Held(node) || (there != parent->children.end() && Held(there->second))) return false;
  Detach(node);
  node->name = to.substr(cut + 1);
  NodePtr& slot = parent->children[Folded(node->name)];
  if (slot) slot->parent.reset();  // what was there is gone
  slot = node;
  node->parent = parent;
  return true;
}

bool FakePlatform::Move(const std::string& from, const std::string& to) {
  return Move(ToWide(from), ToWide(to));
}

bool FakePlatform::Remove(const std::u16string& path) {
  std::lock_guard lock(mutex_);
  const NodePtr node = Resolve(path, false, 0, false);
  if (!node || Held(node)) return false;
  Detach(node);
  return true;
}

bool FakePlatform::ExistsWithoutLinks(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  return Resolve(path, false, 0, false) != nullptr;
}

bool FakePlatform::Remove(const std::string& path) { return Remove(ToWide(path)); }

bool FakePlatform::Exists(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  return Resolve(path, false) != nullptr;
}

bool FakePlatform::Exists(const std::string& path) const {
  return Exists(const_cast<FakePlatform*>(this)->ToWide(path));
}

uint32_t FakePlatform::Attributes(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  const NodePtr node = Resolve(path, false);
  return node ? node->attributes : kNoAttributes;
}

uint32_t FakePlatform::Attributes(const std::string& path) const {
  return Attributes(const_cast<FakePlatform*>(this)->ToWide(path));
}

std::string FakePlatform::Content(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const NodePtr node = Resolve(const_cast<FakePlatform*>(this)->ToWide(path), false);
  return node ? node->content : std::string();
}

void FakePlatform::SetContent(const std::string& path, const std::string& content) {
  std::lock_guard lock(mutex_);
  if (!Exists(path)) AddFile(path);
  const NodePtr node = Resolve(ToWide(path), false);
  node->content = content;
  node->size = content.size();
}

uint64_t FakePlatform::IdOf(const std::u16string& path) const {
  std::lock_guard lock(mutex_);
  const NodePtr node = Resolve(path, false);
  return node ? node->id : 0;
}

bool FakePlatform::IsBelow(uint64_t volume, uint64_t id, uint64_t folder) const {
  std::lock_guard lock(mutex_);
  const auto below = [](const NodePtr& from, uint64_t wanted, auto& self) -> NodePtr {
    for (const auto& [name, child] : from->children) {
      if (child->id == wanted) return child;
      if (NodePtr found = self(child, wanted, self)) return found;
    }
    return nullptr;
  };
  for (const auto& [letter, root] : drives_) {
    if (root->volume != volume) continue;
    const NodePtr start = root->id == folder ? root : below(root, folder, below);
    return start && below(start, id, below) != nullptr;
  }
  return false;
}

std::u16string FakePlatform::PathOf(const NodePtr& node) const {
  std::u16string path = node->name;
  for (NodePtr at = node->parent.lock(); at; at = at->parent.lock()) path = at->name + u"\\" + path;
  return path;
}

std::vector<std::string> FakePlatform::ListTree(const std::string& root) const {
  std::lock_guard lock(mutex_);
  auto& self = *const_cast<FakePlatform*>(this);
  std::vector<std::string> paths;
  const NodePtr top = Resolve(self.ToWide(root), false);
  if (!top) return paths;
  std::vector<NodePtr> open = {top};
  while (!open.empty()) {
    const NodePtr node = open.back();
    open.pop_back();
    bool exact = false;
    paths.push_back(AsciiLower(self.ToAnsi(PathOf(node), exact)));
    for (const auto& [name, child] : node->children) open.push_back(child);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> FakePlatform::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void FakePlatform::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

size_t FakePlatform::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                           [](const auto& entry) { return entry->open; }));
}

std::u16string FakePlatform::ToWide(const std::string& ansi, bool& exact) {
  std::string bytes;
  exact = Convert("UTF-16LE", "CP932", ansi.data(), ansi.size(), 1, bytes, std::string("?\0", 2));
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  return wide;
}

std::string FakePlatform::ToAnsi(const std::u16string& wide, bool& exact) {
  // Exact when the text reads back as the same characters; otherwise each
  // character that does not stands as "?".
  const auto convert = [this](std::u16string_view text, std::string& ansi) {
    return Convert("CP932", "UTF-16LE", reinterpret_cast<const char*>(text.data()), text.size() * 2,
                   2, ansi, "?") &&
           ToWide(ansi) == text;
  };
  std::string ansi;
  if ((exact = convert(wide, ansi))) return ansi;
  ansi.clear();
  for (size_t at = 0; at < wide.size();) {
    const bool pair = wide[at] >= 0xD800 && wide[at] <= 0xDBFF && at + 1 < wide.size();
    const size_t length = pair ? 2 : 1;
    std::string part;
    ansi += convert(std::u16string_view(wide).substr(at, length), part) ? part : "?";
    at += length;
  }
  return ansi;
}

bool FakePlatform::SameName(const std::u16string& a, const std::u16string& b) {
  return Folded(a) == Folded(b);
}

bool FakePlatform::Refused(const std::string& path, uint32_t rights) const {
  const auto denied = denyRights.find(path);
  return failOpen.count(path) != 0 ||
         ((rights & (kRightChange | kRightDelete)) != 0 && lookOnly.count(path) != 0) ||
         (denied != denyRights.end() && (denied->second & rights) != 0);
}

EntryHandle FakePlatform::Opened(NodePtr node, std::string path, uint32_t rights, bool linkItself) {
  auto state = std::make_unique<EntryState>();
  state->node = std::move(node);
  state->path = std::move(path);
  state->rights = rights;
  state->linkItself = linkItself;
  entries_.push_back(std::move(state));
  return entries_.back().get();
}

EntryHandle FakePlatform::OpenFolder(const std::u16string& path, uint32_t rights) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  const std::string shown = ToAnsi(path, exact);
  Record("OpenFolder " + shown + " " + std::to_string(rights));
  if (Refused(shown, rights)) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  NodePtr node = Resolve(path, true);
  if (!node || !node->isFolder) {
    SetError(node ? kErrorAccessDenied : kErrorFileNotFound);
    return nullptr;
  }
  return Opened(std::move(node), shown, rights, false);
}

EntryHandle FakePlatform::OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                                    uint32_t rights) {
  std::lock_guard lock(mutex_);
  const auto& parent = *static_cast<EntryState*>(folder);
  bool exact = false;
  const std::string path = parent.path + "\\" + ToAnsi(name, exact);
  const bool wantFolder = kind == EntryKind::Folder;
  Record("OpenChild " + path + (wantFolder ? " folder " : " file ") + std::to_string(rights));
  if (Refused(path, rights)) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  const auto child = parent.node->children.find(Folded(name));
  if (!parent.node->isFolder || child == parent.node->children.end()) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  NodePtr node = child->second;
  const bool linkItself = node->isLink && !linksOpenAsTargets;
  if (node->isLink && linksOpenAsTargets && !(node = Target(node))) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  const bool isFolder = linkItself ? (node->attributes & kAttrDirectory) != 0 : node->isFolder;
  if (isFolder != wantFolder) {
    SetError(isFolder ? kErrorAccessDenied : 267);  // ERROR_DIRECTORY
    return nullptr;
  }
  return Opened(std::move(node), path, rights, linkItself);
}

FileId FakePlatform::Reported(const Node& node, IdSize size, bool handle) const {
  switch (ids) {
    case Ids::None:
      return {};
    case Ids::Weak:
      return {node.id & 0x0000FFFFFFFFFFFFull};  // without the count of entries made there
    case Ids::ReFS:
      if (size == IdSize::Bits128) return {node.id, node.volume};
      return {handle ? node.id | 0x5000000000000000ull : node.id};
    default:
      return {node.id};
  }
}

size_t FakePlatform::Links(const Node& node) const {
  return 1 +
         static_cast<size_t>(std::count_if(node.links.begin(), node.links.end(), [](auto& link) {
           return link.lock() && link.lock()->parent.lock();
         }));
}

FakePlatform::Changed FakePlatform::ChangeOf(const char* what, const Node& node) const {
  const NodePtr folder = node.parent.lock();
  return {what,
          node.volume,
          node.id,
          node.attributes,
          node.size,
          Links(node),
          folder ? folder->id : 0,
          node.name};
}

bool FakePlatform::GetEntryInfo(EntryHandle entry, IdSize size, EntryInfo& info) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryInfo " + state.path);
  info.attributes = state.node->attributes | (state.linkItself ? kAttrReparsePoint : 0);
  info.fileId = Reported(*state.node, size, true);
  return true;
}

bool FakePlatform::GetEntryStandard(EntryHandle entry, EntryStandard& standard) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryStandard " + state.path);
  standard.size = state.node->size;
  standard.links = static_cast<uint32_t>(Links(*state.node));
  standard.deletePending = std::any_of(entries_.begin(), entries_.end(), [&](const auto& other) {
    return other->open && other->deletePending && other->node == state.node;
  });
  return true;
}

bool FakePlatform::GetEntryVolume(EntryHandle entry, uint64_t& serial) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryVolume " + state.path);
  serial = state.node->volume;
  return true;
}

namespace {

// Where a node is, without its drive: "\" for the root.
std::u16string OnVolume(const std::u16string& full) {
  const size_t cut = full.find(u'\\');
  return cut == std::u16string::npos ? u"\\" : full.substr(cut);
}

}  // namespace

bool FakePlatform::GetEntryName(EntryHandle entry, std::u16string& name) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryName " + state.path);
  name = u"\\Device\\Volume";
  for (const char digit : std::to_string(state.node->volume)) name += static_cast<char16_t>(digit);
  name += OnVolume(PathOf(state.node));
  return true;
}

bool FakePlatform::GetEntryPath(EntryHandle entry, std::u16string& path) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("GetEntryPath " + state.path);
  path = OnVolume(PathOf(state.node));
  return true;
}

FindEntry FakePlatform::Listed(const NodePtr& node, const std::u16string& name, IdSize size) const {
  FindEntry entry;
  entry.name = name;
  entry.attributes = node->attributes;
  entry.size = node->listedSize.value_or(node->size);
  entry.lastWriteTime = node->lastWriteTime;
  entry.fileId = Reported(*node, size, false);
  // Wine reads a link's ID through it.
  if (node->isLink && linksOpenAsTargets)
    if (const NodePtr target = Target(node)) entry.fileId = Reported(*target, size, false);
  return entry;
}

std::vector<FindEntry> FakePlatform::Children(const NodePtr& folder, IdSize size) const {
  std::vector<FindEntry> entries;
  if (const NodePtr parent = folder->parent.lock()) {
    entries.push_back(Listed(folder, u".", size));
    entries.push_back(Listed(parent, u"..", size));
  }
  for (const auto& [key, child] : folder->children)
    entries.push_back(Listed(child, child->name, size));
  return entries;
}

bool FakePlatform::ReadEntries(EntryHandle folder, bool restart, IdSize size,
                               std::vector<FindEntry>& batch) {
  std::lock_guard lock(mutex_);
  auto& state = *static_cast<EntryState*>(folder);
  Record((restart ? "ReadEntries " : "NextEntries ") + state.path);
  batch.clear();
  if ((state.rights & kRightList) == 0 || !state.node->isFolder || state.linkItself ||
      failList.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return false;
  }
  if (size == IdSize::Bits128 && ids == Ids::Weak) {
    SetError(87);  // ERROR_INVALID_PARAMETER: the class is refused
    return false;
  }
  if (restart) {
    state.listing = Children(state.node, size);
    state.next = 0;
    if (onListed) {
      std::vector<uint64_t> named;
      if (const NodePtr parent = state.node->parent.lock()) named = {state.node->id, parent->id};
      for (const auto& [key, child] : state.node->children) named.push_back(child->id);
      onListed(state.node->volume, state.node->id, state.listing, named);
    }
  }
  const size_t end = std::min(state.listing.size(), state.next + std::max<size_t>(batchSize, 1));
  batch.assign(state.listing.begin() + static_cast<long>(state.next),
               state.listing.begin() + static_cast<long>(end));
  state.next = end;
  if (batch.empty()) {
    SetError(18);  // ERROR_NO_MORE_FILES
    return false;
  }
  return true;
}

bool FakePlatform::SetEntryAttributes(EntryHandle entry, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  const auto& state = *static_cast<EntryState*>(entry);
  Record("SetEntryAttributes " + state.path + " " + std::to_string(attributes));
  if ((state.rights & kRightChange) == 0 || failSetAttributes.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return false;
  }
  // A folder keeps its directory bit, a file never gets one.
  Node& node = *state.node;
  const bool folder = state.linkItself ? (node.attributes & kAttrDirectory) != 0 : node.isFolder;
  uint32_t word = attributes & ~kAttrDirectory;
  if (folder) word |= kAttrDirectory;
  if (onChanged) onChanged(ChangeOf("SetEntryAttributes", node));
  node.attributes = word | (node.attributes & kAttrReparsePoint);
  for (const auto& link : node.links)
    if (const NodePtr other = link.lock()) other->attributes = node.attributes;
  return true;
}

bool FakePlatform::DeleteEntry(EntryHandle entry) { return Dispose(entry, "DeleteEntry ", false); }

bool FakePlatform::DeleteReadOnlyEntry(EntryHandle entry) {
  return Dispose(entry, "DeleteReadOnlyEntry ", true);
}

bool FakePlatform::Dispose(EntryHandle entry, const char* what, bool evenReadOnly) {
  std::lock_guard lock(mutex_);
  auto& state = *static_cast<EntryState*>(entry);
  Record(what + state.path);
  const Node& node = *state.node;
  if ((state.rights & kRightDelete) == 0 || (evenReadOnly && readOnlyDeletionRefused)) {
    SetError(kErrorAccessDenied);
    return false;
  }
  if (node.isFolder && !node.children.empty()) {
    SetError(kErrorDirNotEmpty);
    return false;
  }
  const auto& failing = node.isFolder ? failRemove : failDelete;
  if (((node.attributes & kAttrReadOnly) != 0 && !evenReadOnly) || failing.count(state.path) != 0) {
    SetError(kErrorAccessDenied);
    return false;
  }
  state.deletePending = true;
  if (onChanged) onChanged(ChangeOf("DeleteEntry", node));
  return true;
}

void FakePlatform::CloseEntry(EntryHandle entry) {
  std::lock_guard lock(mutex_);
  auto& state = *static_cast<EntryState*>(entry);
  Record("CloseEntry " + state.path);
  state.open = false;
  state.listing.clear();
  // The entry goes from wherever it is now.
  if (state.deletePending) Detach(state.node);
  state.node.reset();
}

uint32_t FakePlatform::GetPathAttributes(const std::u16string& path) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  Record("GetPathAttributes " + ToAnsi(path, exact));
  const NodePtr node = Resolve(path, false);
  if (!node) {
    SetError(kErrorFileNotFound);
    return kNoAttributes;
  }
  return node->attributes;
}

FindHandle FakePlatform::FindFirst(const std::u16string& widePattern, FindEntry& entry) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  const std::string pattern = ToAnsi(widePattern, exact);
  Record("FindFirst " + pattern);
  auto find = std::make_unique<Find>();
  find->pattern = pattern;
  const std::string suffix = "\\*.*";
  if (widePattern.find_first_of(u"*?") == std::u16string::npos) {
    // A pattern without wildcards finds the one entry it names.
    const NodePtr node = Resolve(widePattern, false);
    if (!node || !node->parent.lock()) {
      SetError(kErrorFileNotFound);
      return nullptr;
    }
    find->entries.push_back(Listed(node, node->name));
  } else {
    const bool listing =
        pattern.size() >= suffix.size() &&
        pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string folder = listing ? pattern.substr(0, pattern.size() - suffix.size()) : "";
    const NodePtr node =
        listing ? Resolve(widePattern.substr(0, widePattern.size() - suffix.size()), true)
                : nullptr;
    if (!node || !node->isFolder || failList.count(folder) != 0) {
      SetError(node ? kErrorAccessDenied : kErrorPathNotFound);
      return nullptr;
    }
    find->entries = Children(node);
  }
  for (FindEntry& listed : find->entries) listed.fileId = {};  // the find calls give none
  if (find->entries.empty()) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  entry = find->entries[0];
  find->next = 1;
  finds_.push_back(std::move(find));
  return finds_.back().get();
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

bool FakePlatform::SetFileAttributes(const std::u16string& widePath, uint32_t attributes) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  const std::string path = ToAnsi(widePath, exact);
  Record("SetFileAttributes " + path + " " + std::to_string(attributes));
  const NodePtr node = Resolve(widePath, true);
  if (!node || failSetAttributes.count(path)) {
    SetError(!node ? kErrorFileNotFound : kErrorAccessDenied);
    return false;
  }
  // A folder keeps its directory bit, a file never gets one; 0 means normal.
  uint32_t word = attributes & ~kAttrDirectory;
  if (node->isFolder) word |= kAttrDirectory;
  if (!node->isFolder && word == 0) word = 0x80;
  node->attributes = word;
  return true;
}

void FakePlatform::Sleep(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  Record("Sleep " + std::to_string(milliseconds));
  ++sleepCount_;
}

FileHandle FakePlatform::OpenFile(const std::u16string& wide, OpenMode mode) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  Record("OpenFile " + ToAnsi(wide, exact));
  NodePtr node = Resolve(wide, true);
  if (mode != OpenMode::CreateTruncate && !node) {
    SetError(kErrorFileNotFound);
    return nullptr;
  }
  if (node && (node->isFolder || (node->attributes & kAttrReadOnly))) {
    SetError(kErrorAccessDenied);
    return nullptr;
  }
  if (!node) {
    const NodePtr parent = Resolve(wide.substr(0, wide.rfind(u'\\')), true);
    if (!parent || !parent->isFolder) {
      SetError(kErrorPathNotFound);
      return nullptr;
    }
    node = Make(wide, false);
    node->attributes = kAttrArchive;
  }
  if (mode == OpenMode::CreateTruncate) {
    node->content.clear();
    node->size = 0;
  }
  files_.push_back(std::make_unique<OpenFileState>(OpenFileState{node, mode}));
  return files_.back().get();
}

int64_t FakePlatform::ReadFile(FileHandle file, void* buffer, uint32_t count) {
  std::lock_guard lock(mutex_);
  auto* state = static_cast<OpenFileState*>(file);
  const std::string& content = state->node->content;
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
  Node& node = *state->node;
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
  static_cast<OpenFileState*>(file)->node->lastWriteTime = fileTime;
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

uint32_t CopyOut(const std::u16string& text, uint32_t forced, char16_t* buffer, uint32_t size) {
  if (forced != 0) return forced;
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return static_cast<uint32_t>(text.size());
}

}  // namespace

uint32_t FakePlatform::GetSystemDirectory(char16_t* buffer, uint32_t size) {
  return CopyOut(ToWide(systemDirectory), systemDirectoryResult, buffer, size);
}

uint32_t FakePlatform::GetTempPath(char16_t* buffer, uint32_t size) {
  if (tempPathResult != 0) return tempPathResult;
  const std::u16string text = ToWide(tempPath);
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return static_cast<uint32_t>(text.size());
}

bool FakePlatform::GetEnvironmentVariable(const std::u16string& name, std::u16string& value) {
  bool exact = false;
  const auto it = environment.find(ToAnsi(name, exact));
  if (it == environment.end()) {
    SetError(203);  // ERROR_ENVVAR_NOT_FOUND
    return false;
  }
  value = ToWide(it->second);
  return true;
}

bool FakePlatform::GetProfileFolder(std::u16string& path) {
  path = ToWide(profileFolder);
  return !path.empty();
}

uint32_t FakePlatform::GetModuleFileName(char16_t* buffer, uint32_t size) {
  const std::u16string path = ToWide(modulePath);
  if (path.size() + 1 > size) return size;
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = u'\0';
  return static_cast<uint32_t>(path.size());
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

bool FakePlatform::GetCurrentDirectory(std::u16string& path) {
  std::lock_guard lock(mutex_);
  path = ToWide(currentDirectory);
  return true;
}

bool FakePlatform::SetCurrentDirectory(const std::u16string& widePath) {
  std::lock_guard lock(mutex_);
  bool exact = false;
  const std::string path = ToAnsi(widePath, exact);
  Record("SetCurrentDirectory " + path);
  std::string full = path;
  if (!path.empty() && path[0] == '\\')
    full = currentDirectory.substr(0, 2) + path;  // drive-relative
  if (path.size() == 2 && path[1] == ':') full = path + "\\";
  const std::u16string wide = ToWide(full);
  const bool isDrive =
      wide.size() >= 2 && wide.size() <= 3 && wide[1] == u':' &&
      driveTypes.count(std::string(1, static_cast<char>(std::toupper(full[0]))) + ":");
  const NodePtr node = Resolve(wide, true);
  if (!isDrive && (!node || !node->isFolder)) {
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
