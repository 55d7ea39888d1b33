// An in-memory stand-in for the operating system: a tree of entries with any
// attribute word, scripted failures and an ordered log of every operation.
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

  // --- building the tree (paths like "C:\dir\file.txt"; parents are made) ---
  void AddFolder(const std::string& path, uint32_t attributes = kAttrDirectory);
  void AddFile(const std::string& path, uint64_t size = 1, uint32_t attributes = kAttrArchive,
               const std::string& content = {});
  // A link at `path` to `target` (an absolute path), listed with the word
  // `attributes`: Wine lists a folder link as 1040 and a file link as 32,
  // and may still list 16 for a folder swapped for a link.
  void AddLink(const std::string& path, const std::string& target,
               uint32_t attributes = kAttrDirectory | kAttrReparsePoint);
  // Renames an entry with everything below it; open entries follow it.
  void Move(const std::string& from, const std::string& to);
  // Takes an entry away with everything below it.
  void Remove(const std::string& path);
  bool Exists(const std::string& path) const;
  uint32_t Attributes(const std::string& path) const;  // 0xFFFFFFFF when missing
  std::string Content(const std::string& path) const;
  void SetContent(const std::string& path, const std::string& content);
  // Every path below (and including) `root`, in sorted order.
  std::vector<std::string> ListTree(const std::string& root) const;

  // --- scripted behaviour ---
  std::set<std::string> failDelete;  // DeleteEntry on the file opened by this path fails
  std::set<std::string> failRemove;  // DeleteEntry on the folder opened by this path fails
  std::set<std::string> failList;    // listing the folder at this path fails
  std::set<std::string> failSetAttributes;
  std::set<std::string> failOpen;  // OpenEntry of these paths fails
  std::set<std::string> lookOnly;  // OpenEntry of these paths fails for a change
  // How OpenEntry treats a link at the end of the path when it is not to be
  // followed: Windows opens the link itself (reparse bit, its own path);
  // Wine opens what it points to.
  bool linksOpenAsTargets = false;
  bool failWrite = false;   // WriteFile writes nothing
  bool shortWrite = false;  // WriteFile writes one byte less, with success
  bool failClose = false;
  // The enumeration reports the entry at this path under another name, as the
  // ANSI calls do for a character the code page lacks ("?") or maps onto a
  // separator byte (the yen sign to "\\").
  void ReportNameAs(const std::string& path, const std::string& name);
  // Runs before each logged operation, with the log line; may change state.
  std::function<void(const std::string& line)> beforeOperation;

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

  // --- Platform ---
  // A pattern ending in "\*.*" lists a folder; one without wildcards finds
  // the single entry it names.
  FindHandle FindFirst(const std::string& pattern, FindEntry& entry) override;
  bool FindNext(FindHandle handle, FindEntry& entry) override;
  void FindClose(FindHandle handle) override;
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override;
  // Logged as "OpenEntry <path> file|folder|top change|look", the others with
  // the path the entry was opened by.
  EntryHandle OpenEntry(const std::string& path, EntryKind kind, EntryAccess access) override;
  bool GetEntryAttributes(EntryHandle entry, uint32_t& attributes) override;
  bool GetEntryFinalPath(EntryHandle entry, std::string& path) override;
  bool SetEntryAttributes(EntryHandle entry, uint32_t attributes) override;
  bool DeleteEntry(EntryHandle entry) override;
  void CloseEntry(EntryHandle entry) override;
  FindHandle FindFirstIn(EntryHandle folder, FindEntry& entry) override;
  void Sleep(uint32_t milliseconds) override;
  FileHandle OpenFile(const std::string& path, OpenMode mode) override;
  int64_t ReadFile(FileHandle file, void* buffer, uint32_t count) override;
  int64_t WriteFile(FileHandle file, const void* buffer, uint32_t count) override;
  bool CloseFile(FileHandle file) override;
  bool SetLastWriteTime(FileHandle file, uint64_t fileTime) override;
  uint32_t LastError() override;
  std::string ErrorMessage(uint32_t code) override;
  uint32_t GetSystemDirectory(char* buffer, uint32_t size) override;
  uint32_t GetTempPath(char* buffer, uint32_t size) override;
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override;
  uint32_t GetEnvironmentVariable(const std::string& name, char* buffer, uint32_t size) override;
  bool GetProfileFolder(std::string& path) override;
  bool GetDiskFreeBytes(const std::string& root, uint64_t& bytes) override;
  uint32_t GetDriveType(const std::string& root) override;
  bool GetCurrentDirectory(std::string& path) override;
  bool SetCurrentDirectory(const std::string& path) override;
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

  struct Node {
    std::string name;  // as created (case kept)
    uint32_t attributes = 0;
    uint64_t size = 0;
    uint64_t lastWriteTime = 0;
    std::string content;
    bool isFolder = false;
    uint64_t id = 0;  // stays with the entry when it is moved
    bool isLink = false;
    std::string linkTarget;
  };

 private:
  struct Find;
  struct OpenFileState;
  struct CacheFind;
  struct EntryState;
  // Where a path leads: the key of the entry and its path as the platform
  // resolves it (each name as created).
  struct Resolved {
    std::string key, path;
  };

  std::optional<Resolved> Resolve(const std::string& path, bool followLast, int depth = 0) const;
  FindHandle List(const std::string& folderKey, const std::string& pattern, FindEntry& entry);
  std::map<std::string, Node>::iterator NodeOf(const EntryState& state);
  Node& MakeNode(const std::string& path);

  void Record(const std::string& line);
  static std::string Key(const std::string& path);
  static std::string Parent(const std::string& key);
  bool HasChildren(const std::string& key) const;
  void SetError(uint32_t code);
  uint32_t CacheEntrySize(size_t index) const;
  bool FillCacheEntry(size_t index, CacheEntryHead* entry, uint32_t* size);

  mutable std::recursive_mutex mutex_;
  std::map<std::string, Node> nodes_;                 // by Key(path)
  std::map<std::string, std::string> reportedNames_;  // by Key(path)
  std::vector<std::string> log_;
  std::vector<std::unique_ptr<Find>> finds_;
  std::vector<std::unique_ptr<OpenFileState>> files_;
  std::vector<std::unique_ptr<CacheFind>> cacheFinds_;
  std::vector<std::unique_ptr<EntryState>> entries_;
  uint64_t nextId_ = 1;
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
