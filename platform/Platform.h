// The seam between the program and the operating system.
//
// Every OS call that the settings, the engine and the shared routines make goes
// through this interface, with the meaning of the Win32 call it stands for:
// ANSI (code page 932) strings, complete attribute words and the platform's
// failure values. The Win32 implementation is a thin translation; tests use an
// in-memory fake with scripted failures and an operation log.
#pragma once

#include <cstdint>
#include <string>

namespace purga {

// One directory entry as find-first/find-next reports it.
struct FindEntry {
  std::string name;            // cFileName, without path
  uint32_t attributes = 0;     // the complete attribute word
  uint64_t size = 0;           // nFileSizeHigh:nFileSizeLow
  uint64_t lastWriteTime = 0;  // FILETIME (UTC, 100 ns ticks since 1601)
  // False when the name in the code page is not the entry's own name: a
  // character the code page lacks came out as "?" or as a look-alike. Only a
  // listing through a folder's handle can tell; the find calls report true.
  bool exact = true;
};

// Opaque handles; nullptr always means "failed / none".
using FindHandle = void*;
using FileHandle = void*;
using CacheHandle = void*;
// A file or folder opened to be checked, and then changed or deleted through
// the same open object: nothing can take its place between check and act.
using EntryHandle = void*;

// What OpenEntry opens.
enum class EntryKind {
  File,               // a file; a link at the end of the path is not followed
  Folder,             // a folder, likewise, opened for listing too
  FolderThroughLinks  // a folder as its path leads to it, links followed
};

// The access OpenEntry asks for.
enum class EntryAccess {
  Change,  // read and write the attributes, and delete
  Look     // read the attributes (and list a folder) only
};

// How OpenFile opens a file.
enum class OpenMode {
  ReadWriteExisting,   // read and write access, existing file only
  CreateTruncate,      // write access, created or truncated
  WriteExistingShared  // write access, existing only, sharing read and write
};

// The first two fields of INTERNET_CACHE_ENTRY_INFOA, in the platform's
// layout; the rest of the record and its strings follow in the same block.
struct CacheEntryHead {
  uint32_t dwStructSize;
  char* lpszSourceUrlName;
};

// Attribute bits used by the program.
inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrSystem = 0x4;
inline constexpr uint32_t kAttrVolume = 0x8;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrReparsePoint = 0x400;

class Platform {
 public:
  virtual ~Platform() = default;

  // Folder enumeration (FindFirstFileA / FindNextFileA / FindClose). Every
  // entry is returned, "." and ".." included.
  virtual FindHandle FindFirst(const std::string& pattern, FindEntry& entry) = 0;
  virtual bool FindNext(FindHandle handle, FindEntry& entry) = 0;
  virtual void FindClose(FindHandle handle) = 0;

  virtual bool SetFileAttributes(const std::string& path, uint32_t attributes) = 0;

  // Entries acted on through a checked handle (CreateFileA, OPEN_EXISTING;
  // a folder is shared for reading and writing but not for deletion, so that
  // Windows lets nobody rename it while it is held).
  virtual EntryHandle OpenEntry(const std::string& path, EntryKind kind, EntryAccess access) = 0;
  // The attribute word of the open entry (FILE_BASIC_INFO).
  virtual bool GetEntryAttributes(EntryHandle entry, uint32_t& attributes) = 0;
  // GetFinalPathNameByHandle, normalised, as "\\?\C:\..." or
  // "\\?\UNC\server\share\...". False when it fails or the path has no
  // exact form in the code page.
  virtual bool GetEntryFinalPath(EntryHandle entry, std::string& path) = 0;
  // SetFileInformationByHandle: the attribute word (FileBasicInfo, times kept)
  // and deletion (FileDispositionInfo): the entry goes when its handle is
  // closed. A folder that is not empty, a read-only file and an entry opened
  // with EntryAccess::Look refuse it.
  virtual bool SetEntryAttributes(EntryHandle entry, uint32_t attributes) = 0;
  virtual bool DeleteEntry(EntryHandle entry) = 0;
  virtual void CloseEntry(EntryHandle entry) = 0;
  // Lists an open folder through its handle (GetFileInformationByHandleEx),
  // "." and ".." included, names converted as the find calls convert them;
  // FindNext and FindClose go on from here.
  virtual FindHandle FindFirstIn(EntryHandle folder, FindEntry& entry) = 0;

  virtual void Sleep(uint32_t milliseconds) = 0;

  // Whole-file I/O for the settings file and the date editor.
  virtual FileHandle OpenFile(const std::string& path, OpenMode mode) = 0;
  // Bytes read or written, or -1 on failure.
  virtual int64_t ReadFile(FileHandle file, void* buffer, uint32_t count) = 0;
  virtual int64_t WriteFile(FileHandle file, const void* buffer, uint32_t count) = 0;
  virtual bool CloseFile(FileHandle file) = 0;
  // SetFileTime with only the last-write time given.
  virtual bool SetLastWriteTime(FileHandle file, uint64_t fileTime) = 0;

  // The calling thread's last error and the platform's text for an error code.
  virtual uint32_t LastError() = 0;
  virtual std::string ErrorMessage(uint32_t code) = 0;

  // Buffer-filling calls with the Win32 meaning: they write at most `size`
  // characters including the NUL and return the platform's length result.
  virtual uint32_t GetSystemDirectory(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempPath(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetModuleFileName(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetEnvironmentVariable(const std::string& name, char* buffer, uint32_t size) = 0;
  // The user's profile folder as the shell knows it (SHGetFolderPathA,
  // CSIDL_PROFILE). False when there is none.
  virtual bool GetProfileFolder(std::string& path) = 0;

  // GetDiskFreeSpaceExA's bytes available to the caller; root may be empty
  // for the current drive. False when the query fails.
  virtual bool GetDiskFreeBytes(const std::string& root, uint64_t& freeBytes) = 0;
  virtual uint32_t GetDriveType(const std::string& root) = 0;

  virtual bool GetCurrentDirectory(std::string& path) = 0;
  virtual bool SetCurrentDirectory(const std::string& path) = 0;

  // The ANSI code page's lead-byte test and upper-casing (CharUpperBuffA).
  virtual bool IsLeadByte(uint8_t byte) = 0;
  virtual std::string UpperCase(const std::string& text) = 0;

  // Local/UTC and packed FAT date-time conversions.
  virtual bool FileTimeToLocal(uint64_t utc, uint64_t& local) = 0;
  virtual bool LocalToFileTime(uint64_t local, uint64_t& utc) = 0;
  virtual bool FileTimeToDosDateTime(uint64_t fileTime, uint16_t& date, uint16_t& time) = 0;
  virtual bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t& fileTime) = 0;

  // WinINet URL cache enumeration. `entry` is a block of *size bytes (may be
  // null with *size 0 to learn the size needed).
  virtual CacheHandle FindFirstUrlCacheEntry(const char* pattern, CacheEntryHead* entry,
                                             uint32_t* size) = 0;
  virtual bool FindNextUrlCacheEntry(CacheHandle handle, CacheEntryHead* entry, uint32_t* size) = 0;
  virtual bool DeleteUrlCacheEntry(const char* url) = 0;
  virtual bool FindCloseUrlCache(CacheHandle handle) = 0;

  // SHAddToRecentDocs(flags, item).
  virtual void AddToRecentDocs(uint32_t flags, const void* item) = 0;

  // Lets the user-interface thread handle every message waiting in its queue.
  virtual void ProcessPendingMessages() = 0;
};

// The program-wide platform. The Win32 build installs its implementation at
// start-up; tests install a fake.
Platform& Os();
void SetPlatform(Platform* platform);

}  // namespace purga
