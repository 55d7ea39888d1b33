// A folder tree walked through handles.
//
// The top folder is opened once by its path, links followed: the user chose
// that path, whatever links or mapped drives lead to it. Every entry below it
// is opened by the name its folder's listing gave, relative to the handle of
// that folder, a link at it not followed. It is acted on only when its own
// handle shows a plain word of the kind listed (so no link), when its full
// name (its volume's device and its path there) is its folder's plus its
// name, and when its file ID is the listed one wherever the volume gives
// both. Containment rests on the open relative to a held folder and on the
// name: a platform that opens what a link points to (Wine does, for links
// made outside Windows) gives the target's ID in the listing too, a file ID
// is unique on its own volume only, and some volumes give none. Listing,
// attribute changes and deletion then go through that same handle. So
// another program that renames folders or swaps them for links during a
// walk cannot lead it out of the tree, and no name and no depth is out of
// its reach.
#pragma once

#include <string>
#include <vector>

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

// The only attribute words the walks act on: a plain file (archive bit, with
// or without read-only) and a plain folder (with or without read-only). Any
// further bit, reparse point (1024) included, leaves the entry alone.
inline bool IsPlainFile(uint32_t word) {
  return word == kAttrArchive || word == (kAttrArchive | kAttrReadOnly);
}
inline bool IsPlainFolder(uint32_t word) {
  return word == kAttrDirectory || word == (kAttrDirectory | kAttrReadOnly);
}

// What a checked file's own handle shows: the figures it is judged by, which
// may differ from its listing's (a hard link's directory entry keeps a stale
// size; a file put in the place of another may take its ID).
struct FileFacts {
  uint32_t attributes = 0;  // one of the two plain words
  uint64_t size = 0;
  uint32_t links = 0;  // its names on the volume
};

// Deletes a checked file. With `readOnlyToo` a read-only one goes too: one
// with a single name has its word set to 32 (archive alone) first, as ever;
// one with other names keeps its word, which those names share, and is
// deleted only where the platform can do so.
bool DeleteCheckedFile(const CheckedEntry& file, const FileFacts& facts, bool readOnlyToo);

// True when `name`, opened relative to the folder that listed it, can only
// reach an entry of that folder: not empty, not "." or "..", and without a
// separator that would make it a path.
bool NameIsOpenable(const std::u16string& name);

class TreeWalk {
 public:
  // What a walk does at each step.
  class Visitor {
   public:
    virtual ~Visitor() = default;
    // Asked before each entry of a folder's file pass and sub-folder pass:
    // true leaves that pass.
    virtual bool LeavePass() { return false; }
    // Asked after a folder's file pass: true leaves the folder there, with
    // neither its sub-folders nor its last step.
    virtual bool LeaveFolder() { return false; }
    // A plain file of the folder being walked; OpenFile reaches it.
    virtual void File(const FindEntry& entry) = 0;
    // A folder's last step, after its sub-folder pass. It is removed, if it
    // was deleted here, when its handle closes right after.
    virtual void Leave(const CheckedEntry& folder, bool top) = 0;
  };

  // Opens `top`. When that fails, Top() is empty and a walk does nothing.
  explicit TreeWalk(const std::u16string& top);

  // The top folder, opened to be listed and, where the platform grants it,
  // changed and removed.
  const CheckedEntry& Top() const { return top_; }
  // True when the top's path names a link: the walk goes where it leads, but
  // the link is not the user's folder to change.
  bool TopIsLink() const { return topIsLink_; }

  // Files of each folder first, in listing order, then its plain sub-folders
  // (no leading dot) one after the other, each walked whole, then the
  // folder's last step: folders leave in post-order. Iterative: a level holds
  // its handle and the sub-folders of its current listing batch, whatever
  // the depth.
  void Run(Visitor& visitor);

  // Inside Visitor::File: that file, opened and checked, and what its handle
  // shows; empty when it is refused (and then never acted on), also when it
  // is going already.
  CheckedEntry OpenFile(const FindEntry& entry, FileFacts& facts);

 private:
  struct Level {
    CheckedEntry folder;             // empty for the top, which top_ holds
    std::vector<FindEntry> pending;  // sub-folders of the current batch
    size_t next = 0;
    bool listed = false;  // the sub-folder pass has read its first batch
    bool ended = false;
    bool decided = false;  // its first listing has chosen the IDs
    IdSize ids = IdSize::Bits128;
    size_t pathLength = 0;  // of path_, for this folder
  };

  EntryHandle Current() const;
  bool ReadBatch(bool restart);
  bool FilePass(Visitor& visitor);
  bool NextFolder(Visitor& visitor, FindEntry& folder);
  CheckedEntry OpenChecked(const FindEntry& entry, EntryKind kind, EntryInfo& info);
  bool InPlace(const CheckedEntry& entry, const std::u16string& name) const;
  std::u16string Joined(const std::u16string& name) const;

  CheckedEntry top_;
  bool topIsLink_ = false;
  std::vector<Level> levels_;
  std::vector<FindEntry> batch_;  // the listing batch in hand
  // The full name of the folder being walked, as the walk built it: one for
  // the whole walk, grown and cut back as it goes down and up.
  std::u16string path_;
  bool pathKnown_ = false;
};

}  // namespace purga
