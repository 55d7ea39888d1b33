#include "engine/TreeWalk.h"

namespace purga {

namespace {

// What each open asks for, in order, until one is granted: what every step
// of the walk needs first, then less. A folder that may only be listed is
// still walked; one that may be changed or removed but not listed still has
// its last step. A file is opened to have its read-only bit cleared and be
// deleted, or to be deleted alone.
constexpr uint32_t kFolderRights[] = {
    kRightList | kRightChange | kRightDelete,
    kRightList | kRightChange,
    kRightList | kRightDelete,
    kRightChange | kRightDelete,
    kRightList,
    kRightChange,
    kRightDelete,
    0,
};
constexpr uint32_t kFileRights[] = {kRightChange | kRightDelete, kRightDelete};

// Failures that asking for less cannot overcome: nothing of that name.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorInvalidName = 123;

template <size_t N>
CheckedEntry OpenGranted(const uint32_t (&ladder)[N], auto open) {
  for (const uint32_t rights : ladder) {
    if (EntryHandle handle = open(rights)) return CheckedEntry(handle);
    const uint32_t error = Os().LastError();
    if (error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorInvalidName)
      break;
  }
  return {};
}

bool IsWalkable(const FindEntry& entry) {
  return !entry.name.empty() && entry.name[0] != u'.' && IsPlainFolder(entry.attributes);
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

bool DeleteCheckedFile(const CheckedEntry& file, const FileFacts& facts, bool readOnlyToo) {
  if (facts.links > 1) {
    if (readOnlyToo && (facts.attributes & kAttrReadOnly) != 0)
      return Os().DeleteReadOnlyEntry(file.get());
    return file.Delete();
  }
  if (readOnlyToo) file.SetAttributes(kAttrArchive);
  return file.Delete();
}

bool NameIsOpenable(const std::u16string& name) {
  return !name.empty() && name != u"." && name != u".." &&
         name.find_first_of(u"\\/") == std::u16string::npos;
}

TreeWalk::TreeWalk(const std::u16string& top) {
  Platform& os = Os();
  top_ = OpenGranted(kFolderRights, [&](uint32_t rights) { return os.OpenFolder(top, rights); });
  if (!top_) return;
  // Asked after the open: a link put there meanwhile makes it a link too.
  const uint32_t word = os.GetPathAttributes(top);
  topIsLink_ = word == 0xFFFFFFFFu || (word & kAttrReparsePoint) != 0;
  pathKnown_ = os.GetEntryName(top_.get(), path_);
}

EntryHandle TreeWalk::Current() const {
  return levels_.size() > 1 ? levels_.back().folder.get() : top_.get();
}

void TreeWalk::Run(Visitor& visitor) {
  if (!top_) return;
  levels_.clear();
  levels_.emplace_back();
  levels_.back().pathLength = path_.size();
  if (!FilePass(visitor)) {
    levels_.clear();
    return;
  }
  while (!levels_.empty()) {
    FindEntry entry;
    if (NextFolder(visitor, entry)) {
      EntryInfo info;
      CheckedEntry folder = OpenChecked(entry, EntryKind::Folder, info);
      if (!folder || !InPlace(folder, entry.name)) continue;
      levels_.emplace_back();
      levels_.back().folder = std::move(folder);
      path_ = Joined(entry.name);
      levels_.back().pathLength = path_.size();
      if (!FilePass(visitor)) {
        levels_.pop_back();
        path_.resize(levels_.back().pathLength);
      }
      continue;
    }
    const bool top = levels_.size() == 1;
    visitor.Leave(top ? top_ : levels_.back().folder, top);
    levels_.pop_back();  // closes the folder: removed now if it was deleted
    if (!levels_.empty()) path_.resize(levels_.back().pathLength);
  }
}

// The next batch of the folder being walked. Its first listing decides, once
// for the folder, which IDs its entries are known by: the 128-bit ones where
// the volume gives them, else the 64-bit ones.
bool TreeWalk::ReadBatch(bool restart) {
  Level& level = levels_.back();
  if (restart && !level.decided) {
    level.decided = true;
    if (Os().ReadEntries(Current(), true, IdSize::Bits128, batch_)) return true;
    level.ids = IdSize::Bits64;
  }
  return Os().ReadEntries(Current(), restart, level.ids, batch_);
}

bool TreeWalk::FilePass(Visitor& visitor) {
  bool left = false;
  for (bool restart = true; !left && ReadBatch(restart); restart = false) {
    for (const FindEntry& entry : batch_) {
      if ((left = visitor.LeavePass())) break;
      if (IsPlainFile(entry.attributes)) visitor.File(entry);
    }
  }
  batch_.clear();
  return !visitor.LeaveFolder();
}

bool TreeWalk::NextFolder(Visitor& visitor, FindEntry& folder) {
  Level& level = levels_.back();
  while (!level.ended) {
    if (level.next < level.pending.size()) {
      if (visitor.LeavePass()) break;
      folder = std::move(level.pending[level.next++]);
      return true;
    }
    // The next batch; before it, the stop that the entries still to come
    // would have been asked about.
    if (level.listed && visitor.LeavePass()) break;
    if (!ReadBatch(!level.listed)) break;
    level.listed = true;
    // Only the sub-folders of one batch are kept while they are walked.
    level.pending.clear();
    level.pending.shrink_to_fit();
    level.next = 0;
    for (FindEntry& entry : batch_)
      if (IsWalkable(entry)) level.pending.push_back(std::move(entry));
    batch_.clear();
  }
  level.ended = true;
  level.pending.clear();
  return false;
}

CheckedEntry TreeWalk::OpenFile(const FindEntry& entry, FileFacts& facts) {
  EntryInfo info;
  EntryStandard standard;
  CheckedEntry file = OpenChecked(entry, EntryKind::File, info);
  if (!file || !InPlace(file, entry.name) || !Os().GetEntryStandard(file.get(), standard) ||
      standard.deletePending)
    return {};
  facts = {info.attributes, standard.size, standard.links};
  return file;
}

CheckedEntry TreeWalk::OpenChecked(const FindEntry& entry, EntryKind kind, EntryInfo& info) {
  Platform& os = Os();
  if (!NameIsOpenable(entry.name)) return {};
  const EntryHandle folder = Current();
  const auto open = [&](uint32_t rights) { return os.OpenChild(folder, entry.name, kind, rights); };
  CheckedEntry opened =
      kind == EntryKind::File ? OpenGranted(kFileRights, open) : OpenGranted(kFolderRights, open);
  if (!opened || !os.GetEntryInfo(opened.get(), levels_.back().ids, info)) return {};
  // Its own word, not the listing's, decides. A link opened as itself
  // carries the reparse bit (Windows); where the platform opens what it
  // points to, the name check tells.
  const bool plain =
      kind == EntryKind::File ? IsPlainFile(info.attributes) : IsPlainFolder(info.attributes);
  if (!plain) return {};
  // Where the volume gives no ID on either side, the name and the handle
  // alone tell.
  if (entry.fileId.Given() && info.fileId.Given() && info.fileId != entry.fileId) return {};
  return opened;
}

bool TreeWalk::InPlace(const CheckedEntry& entry, const std::u16string& name) const {
  std::u16string path;
  return pathKnown_ && Os().GetEntryName(entry.get(), path) && Os().SameName(path, Joined(name));
}

std::u16string TreeWalk::Joined(const std::u16string& name) const {
  std::u16string path = path_;
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path + name;
}

}  // namespace purga
