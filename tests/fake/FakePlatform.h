// An in-memory stand-in for the operating system: a tree of entries with any
// attribute word, scripted failures and an ordered log of every operation.
//
// Entries are nodes; an open handle refers to its node, not to a path, so a
// node renamed, moved or taken out of the tree while it is held stays what
// the handle reaches, as on the real platform. Paths are written in the code
// page ("C:\dir\file.txt") or, for names it lacks, in UTF-16.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace purga::test {

class FakePlatform : public Platform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  // --- building the tree (parents are made as plain folders) ---
  void AddFolder(const std::string& path, uint32_t attributes = kAttrDirectory);
  void AddFolder(const std::u16string& path, uint32_t attributes = kAttrDirectory);
  void AddFile(const std::string& path, uint64_t size = 1, uint32_t attributes = kAttrArchive,
               const std::string& content = {});
  void AddFile(const std::u16string& path, uint64_t size = 1, uint32_t attributes = kAttrArchive);
  // A link at `path` to `target` (an absolute path), listed with the word
  // `attributes`: Wine lists a folder link as 1040 and a file link as 32,
  // and may still list 16 for a folder swapped for a link.
  void AddLink(const std::string& path, const std::string& target,
               uint32_t attributes = kAttrDirectory | kAttrReparsePoint);
  void AddLink(const std::u16string& path, const std::u16string& target,
               uint32_t attributes = kAttrDirectory | kAttrReparsePoint);
  // A second name for the file at `existing`, on its volume: one file, its
  // word shared. NTFS updates a directory entry only for the name written
  // through, so this name's listing may show `listedSize`.
  void AddHardLink(const std::u16string& path, const std::u16string& existing,
                   std::optional<uint64_t> listedSize = std::nullopt);
  // Renames an entry with everything below it, in place of what `to` named;
  // open handles follow it. Both paths are taken as they stand: no link on
  // the way is followed. False when `heldFoldersStay` refuses it.
  bool Move(const std::string& from, const std::string& to);
  bool Move(const std::u16string& from, const std::u16string& to);
  // Takes an entry out of the tree with everything below it; open handles
  // still reach it. No link on the way is followed.
  bool Remove(const std::string& path);
  bool Remove(const std::u16string& path);
  // True when `path` names an entry with no link on the way to it.
  bool ExistsWithoutLinks(const std::u16string& path) const;
  // Of what `path` names, a link at its end not followed.
  bool Exists(const std::string& path) const;
  bool Exists(const std::u16string& path) const;
  uint32_t Attributes(const std::string& path) const;  // 0xFFFFFFFF when missing
  uint32_t Attributes(const std::u16string& path) const;
  std::string Content(const std::string& path) const;
  void SetContent(const std::string& path, const std::string& content);
  // The file ID (0 when missing). As on the real platform, IDs are unique
  // on their volume only: an entry made at the same path of another volume
  // has the same ID.
  uint64_t IdOf(const std::u16string& path) const;
  // True while the entry `id` lies below the folder `folder`, both of the
  // volume `volume`.
  bool IsBelow(uint64_t volume, uint64_t id, uint64_t folder) const;
  // Every path below (and including) `root`, lower-cased, in sorted order.
  std::vector<std::string> ListTree(const std::string& root) const;

  // --- scripted behaviour, by the path an entry was opened by (its folder's
  // path, "\" and its name) ---
  std::set<std::string> failDelete;  // DeleteEntry of this file fails
  std::set<std::string> failRemove;  // DeleteEntry of this folder fails
  std::set<std::string> failList;    // listing this folder fails
  std::set<std::string> failSetAttributes;
  std::set<std::string> failOpen;  // opening this entry fails
  std::set<std::string> lookOnly;  // opening this entry fails for a change or a deletion
  // Rights that opening this entry is refused (kRight* bits).
  std::map<std::string, uint32_t> denyRights;
  // How a link is opened when it is not to be followed: Windows opens the
  // link itself (reparse bit, its own path); Wine opens what it points to,
  // and its listings give the target's file ID.
  bool linksOpenAsTargets = false;
  // Whether Move and Remove refuse a folder that an open handle holds, or
  // one above it, as Windows does for a folder held without delete sharing
  // (a rename from the Linux side under Wine is not stopped).
  bool heldFoldersStay = false;
  // Entries per listing batch.
  size_t batchSize = 64;
  // How the volumes give file IDs. NTFS: the 128-bit ID is the 64-bit one.
  // ReFS: listing and handle agree on the 128-bit ID only (the handle's
  // 64-bit one has 0x5000000000000000 set). None: 0 everywhere (WebDAV,
  // some NAS boxes). Weak: 64-bit only, and an entry made where another was
  // gets its ID (FAT reuses the slot, Samba the inode). Set before the tree
  // is made.
  enum class Ids { Ntfs, ReFS, None, Weak } ids = Ids::Ntfs;
  // DeleteReadOnlyEntry is refused, as before Windows 10 1809 and by Wine 8.
  bool readOnlyDeletionRefused = false;
  bool failWrite = false;   // WriteFile writes nothing
  bool shortWrite = false;  // WriteFile writes one byte less, with success
  bool failClose = false;
  // Runs before each operation, with the log line; may change the tree.
  // A listing logs "ReadEntries <folder>" when it begins, "NextEntries
  // <folder>" for each batch after the first.
  std::function<void(const std::string& line)> beforeOperation;
  // Runs when a listing begins, with the folder's volume and ID, what it
  // lists and the IDs (IdOf's) of the entries it names.
  std::function<void(uint64_t volume, uint64_t folder, const std::vector<FindEntry>& entries,
                     const std::vector<uint64_t>& ids)>
      onListed;
  // What an entry was when its attributes were changed or its deletion set.
  struct Changed {
    std::string what;  // "SetEntryAttributes" or "DeleteEntry"
    uint64_t volume, id;
    uint32_t attributes;
    uint64_t size;
    size_t links;
    uint64_t folder;  // IdOf the folder it is in; 0 when it is in none
    std::u16string name;
  };
  std::function<void(const Changed&)> onChanged;

  // System values.
  uint32_t systemDirectoryResult = 0;  // 0: derived from systemDirectory
  std::string systemDirectory = "C:\\windows\\system32";
  std::string tempPath = "C:\\users\\user\\Temp\\";
  uint32_t tempPathResult = 0;  // 0: derived from tempPath
  std::string modulePath = "C:\\Program Files\\Purgator\\Purgator.exe";
  std::string profileFolder = "C:\\users\\user";  // empty: none
  std::map<std::string, std::string> environment = {{"USERPROFILE", "C:\\users\\user"}};
  std::map<std::string, uint64_t> freeBytes;   // by root "C:\\"; "" is the current drive
  std::map<std::string, uint32_t> driveTypes;  // by root as passed
  std::string currentDirectory = "C:\\";
  int64_t localOffsetSeconds = 9 * 3600;  // local time minus UTC

  // URL cache entries, by source URL, in enumeration order.
  struct CacheEntry {
    std::string url;
    uint32_t extraBytes = 0;  // record size beyond the head and the URL
  };
  std::vector<CacheEntry> cache;
  // The entry at this index grows between its size probe and its retrieval.
  int growEntryAt = -1;

  // The log of operations, in order.
  std::vector<std::string> Log() const;
  void ClearLog();
  int SleepCount() const { return sleepCount_; }
  // Handles opened and not closed yet.
  size_t OpenHandles() const;

  // --- Platform ---
  // A pattern ending in "\*.*" lists a folder; one without wildcards finds
  // the single entry it names.
  FindHandle FindFirst(const std::u16string& pattern, FindEntry& entry) override;
  bool FindNext(FindHandle handle, FindEntry& entry) override;
  void FindClose(FindHandle handle) override;
  bool SetFileAttributes(const std::u16string& path, uint32_t attributes) override;
  // Code page 932 as iconv knows it.
  using Platform::ToWide;
  std::u16string ToWide(const std::string& ansi, bool& exact) override;
  std::string ToAnsi(const std::u16string& wide, bool& exact) override;
  bool SameName(const std::u16string& a, const std::u16string& b) override;
  // Logged as "OpenFolder <path> <rights>" and "OpenChild <path> file|folder
  // <rights>", the others with the path the entry was opened by.
  EntryHandle OpenFolder(const std::u16string& path, uint32_t rights) override;
  EntryHandle OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                        uint32_t rights) override;
  bool GetEntryInfo(EntryHandle entry, IdSize size, EntryInfo& info) override;
  // Logged as "GetEntryStandard <path>".
  bool GetEntryStandard(EntryHandle entry, EntryStandard& standard) override;
  bool GetEntryVolume(EntryHandle entry, uint64_t& serial) override;
  bool GetEntryName(EntryHandle entry, std::u16string& name) override;
  bool GetEntryPath(EntryHandle entry, std::u16string& path) override;
  bool ReadEntries(EntryHandle folder, bool restart, IdSize size,
                   std::vector<FindEntry>& batch) override;
  bool SetEntryAttributes(EntryHandle entry, uint32_t attributes) override;
  bool DeleteEntry(EntryHandle entry) override;
  bool DeleteReadOnlyEntry(EntryHandle entry) override;
  void CloseEntry(EntryHandle entry) override;
  uint32_t GetPathAttributes(const std::u16string& path) override;
  void Sleep(uint32_t milliseconds) override;
  FileHandle OpenFile(const std::u16string& path, OpenMode mode) override;
  int64_t ReadFile(FileHandle file, void* buffer, uint32_t count) override;
  int64_t WriteFile(FileHandle file, const void* buffer, uint32_t count) override;
  bool CloseFile(FileHandle file) override;
  bool SetLastWriteTime(FileHandle file, uint64_t fileTime) override;
  uint32_t LastError() override;
  std::string ErrorMessage(uint32_t code) override;
  uint32_t GetSystemDirectory(char16_t* buffer, uint32_t size) override;
  uint32_t GetTempPath(char16_t* buffer, uint32_t size) override;
  uint32_t GetModuleFileName(char16_t* buffer, uint32_t size) override;
  bool GetEnvironmentVariable(const std::u16string& name, std::u16string& value) override;
  bool GetProfileFolder(std::u16string& path) override;
  bool GetDiskFreeBytes(const std::string& root, uint64_t& bytes) override;
  uint32_t GetDriveType(const std::string& root) override;
  bool GetCurrentDirectory(std::u16string& path) override;
  bool SetCurrentDirectory(const std::u16string& path) override;
  bool IsLeadByte(uint8_t byte) override;
  std::string UpperCase(const std::string& text) override;
  bool FileTimeToLocal(uint64_t utc, uint64_t& local) override;
  bool LocalToFileTime(uint64_t local, uint64_t& utc) override;
  bool FileTimeToDosDateTime(uint64_t fileTime, uint16_t& date, uint16_t& time) override;
  bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t& fileTime) override;
  CacheHandle FindFirstUrlCacheEntry(const char* pattern, CacheEntryHead* entry,
                                     uint32_t* size) override;
  bool FindNextUrlCacheEntry(CacheHandle handle, CacheEntryHead* entry, uint32_t* size) override;
  bool DeleteUrlCacheEntry(const char* url) override;
  bool FindCloseUrlCache(CacheHandle handle) override;
  void AddToRecentDocs(uint32_t flags, const void* item) override;
  void ProcessPendingMessages() override;

  struct Node;

 private:
  struct Find;
  struct OpenFileState;
  struct CacheFind;
  struct EntryState;
  using NodePtr = std::shared_ptr<Node>;

  NodePtr Resolve(const std::u16string& path, bool followLast, int depth = 0,
                  bool followOnTheWay = true) const;
  NodePtr Make(const std::u16string& path, bool folder);
  uint64_t NewId(uint64_t volume, const NodePtr& parent, const std::u16string& name);
  NodePtr Target(const NodePtr& link) const;
  std::u16string PathOf(const NodePtr& node) const;  // "C:\a\b", names as created
  FileId Reported(const Node& node, IdSize size, bool handle) const;
  FindEntry Listed(const NodePtr& node, const std::u16string& name,
                   IdSize size = IdSize::Bits64) const;
  std::vector<FindEntry> Children(const NodePtr& folder, IdSize size = IdSize::Bits64) const;
  size_t Links(const Node& node) const;
  Changed ChangeOf(const char* what, const Node& node) const;
  bool Dispose(EntryHandle entry, const char* what, bool evenReadOnly);
  void Detach(const NodePtr& node);
  bool Held(const NodePtr& node) const;
  bool Refused(const std::string& path, uint32_t rights) const;
  EntryHandle Opened(NodePtr node, std::string path, uint32_t rights, bool linkItself);

  void Record(const std::string& line);
  static std::vector<std::u16string> Split(const std::u16string& path);
  void SetError(uint32_t code);
  uint32_t CacheEntrySize(size_t index) const;
  bool FillCacheEntry(size_t index, CacheEntryHead* entry, uint32_t* size);

  mutable std::recursive_mutex mutex_;
  std::map<char16_t, NodePtr> drives_;  // by upper-case letter
  // Entries made so far at each path of each volume, for their IDs.
  std::map<std::pair<uint64_t, std::u16string>, uint64_t> made_;
  std::vector<std::string> log_;
  std::vector<std::unique_ptr<Find>> finds_;
  std::vector<std::unique_ptr<OpenFileState>> files_;
  std::vector<std::unique_ptr<CacheFind>> cacheFinds_;
  std::vector<std::unique_ptr<EntryState>> entries_;
  int sleepCount_ = 0;
};

// Error codes the fake reports, as the platform's.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kErrorDiskFull = 112;

}  // namespace purga::test
