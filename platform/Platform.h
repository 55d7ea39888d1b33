// The seam between the program and the operating system.
//
// Every OS call that the settings, the engine and the shared routines make goes
// through this interface, with the meaning of the Win32 call it stands for:
// the program's code page 932 strings where its own texts meet it (whatever
// the system's code page is: the implementation converts with 932 and calls
// the wide functions), UTF-16 for the system's paths and the file system's
// own names, complete attribute words and the platform's failure values. The
// Win32 implementation is a thin translation; tests use an in-memory fake
// with scripted failures and an operation log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace purga {

// The file system's ID of an entry: 128 bits (FILE_ID_128) where the volume
// gives them, else a 64-bit one in `low`. 0 and all ones mean that the
// volume gives none.
struct FileId {
  uint64_t low = 0, high = 0;
  bool operator==(const FileId&) const = default;
  bool Given() const {
    return (low != 0 || high != 0) && (low != ~0ull || (high != 0 && high != ~0ull));
  }
};

// Which IDs a listing gives and an open entry is asked for: the 128-bit ones
// (FileIdExtdDirectoryInformation, FileIdInformation; NTFS and ReFS from
// Windows 8), or the 64-bit ones (FileIdBothDirectoryInformation,
// FileInternalInformation), which ReFS gives differently in the two.
enum class IdSize { Bits128, Bits64 };

// One directory entry as a listing reports it. The name is the file
// system's own (UTF-16): the program's code page is only how it is shown.
struct FindEntry {
  std::u16string name;         // without path
  uint32_t attributes = 0;     // the complete attribute word
  uint64_t size = 0;           // end of file, in bytes
  uint64_t lastWriteTime = 0;  // FILETIME (UTC, 100 ns ticks since 1601)
  FileId fileId;               // none from the find calls
};

// What GetEntryInfo reads from an open entry.
struct EntryInfo {
  uint32_t attributes = 0;  // the complete attribute word
  FileId fileId;            // of the size asked for; none where the volume gives none
};

// What GetEntryStandard reads from an open file.
struct EntryStandard {
  uint64_t size = 0;   // end of file, in bytes
  uint32_t links = 0;  // its names on the volume: more than one for hard links
  bool deletePending = false;
};

// Opaque handles; nullptr always means "failed / none".
using FindHandle = void*;
using FileHandle = void*;
using CacheHandle = void*;
// A file or folder opened to be checked, and then listed, changed or deleted
// through the same open object: nothing can take its place between check
// and act.
using EntryHandle = void*;

// What OpenChild opens: a file or a folder, never the other.
enum class EntryKind { File, Folder };

// The rights an open entry is asked for, beside reading its attributes.
inline constexpr uint32_t kRightList = 1;    // list a folder
inline constexpr uint32_t kRightChange = 2;  // write the attributes
inline constexpr uint32_t kRightDelete = 4;  // delete

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

  // Folder enumeration by pattern (FindFirstFileW / FindNextFileW /
  // FindClose). Every entry is returned, "." and ".." included.
  virtual FindHandle FindFirst(const std::u16string& pattern, FindEntry& entry) = 0;
  virtual bool FindNext(FindHandle handle, FindEntry& entry) = 0;
  virtual void FindClose(FindHandle handle) = 0;

  virtual bool SetFileAttributes(const std::u16string& path, uint32_t attributes) = 0;

  // Names between UTF-16 and code page 932. ToWide's `exact` is false when
  // some byte sequence is no character of the code page: such text names
  // nothing (the rest comes out as the code page's default character). ToAnsi
  // writes no look-alike: a character the code page lacks comes out as "?",
  // and `exact` is true only when the text reads back as the very same
  // characters.
  virtual std::u16string ToWide(const std::string& text, bool& exact) = 0;
  // For text that is whole characters: the program's own, or a name that
  // ToAnsi gave exactly.
  std::u16string ToWide(const std::string& text) {
    bool exact = false;
    return ToWide(text, exact);
  }
  virtual std::string ToAnsi(const std::u16string& wide, bool& exact) = 0;
  // True when the file system takes the two names for the same name (case
  // ignored, CompareStringOrdinal).
  virtual bool SameName(const std::u16string& a, const std::u16string& b) = 0;

  // Entries reached through handles. A folder is opened by its path once,
  // links followed (CreateFileW); everything below it is opened by its name
  // relative to the handle of its folder (NtCreateFile with RootDirectory),
  // without following a link at it, so that no path is read twice. Folders
  // are shared for reading and writing but not for deletion, so that Windows
  // lets nobody rename them while they are held. `rights` are kRight* bits;
  // the attributes can always be read.
  virtual EntryHandle OpenFolder(const std::u16string& path, uint32_t rights) = 0;
  virtual EntryHandle OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                                uint32_t rights) = 0;
  // The attribute word (FileBasicInformation) and the file ID of the open
  // entry, of the size its folder's listing gave. False only when the
  // attributes cannot be read.
  virtual bool GetEntryInfo(EntryHandle entry, IdSize ids, EntryInfo& info) = 0;
  // Size, links and pending deletion of an open file (FileStandardInformation).
  virtual bool GetEntryStandard(EntryHandle entry, EntryStandard& standard) = 0;
  // The serial number of the entry's volume (with the file ID, its identity).
  virtual bool GetEntryVolume(EntryHandle entry, uint64_t& serial) = 0;
  // The entry's full name as the object manager knows it (NtQueryObject,
  // ObjectNameInformation): its volume's device and its path there, such as
  // "\Device\HarddiskVolume2\T\a.txt". It needs no drive letter, and entries
  // of two volumes never share one.
  virtual bool GetEntryName(EntryHandle entry, std::u16string& name) = 0;
  // The entry's path on its volume, without the volume ("\" for its root;
  // FileNameInformation).
  virtual bool GetEntryPath(EntryHandle entry, std::u16string& path) = 0;
  // The next batch of entries of an open folder, "." and ".." included, with
  // IDs of the size asked for (FileIdExtdDirectoryInfo or
  // FileIdBothDirectoryInfo); `restart` begins at the first. False when
  // there are no more, or the folder cannot be listed so: volumes without
  // 128-bit IDs, and Windows 7, refuse that class.
  virtual bool ReadEntries(EntryHandle folder, bool restart, IdSize ids,
                           std::vector<FindEntry>& batch) = 0;
  // The attribute word (FILE_BASIC_INFO; the times stay) and deletion
  // (FileDispositionInfo): the entry goes when its last handle is closed. A
  // folder that is not empty, a read-only file and an entry opened without
  // the right refuse it.
  virtual bool SetEntryAttributes(EntryHandle entry, uint32_t attributes) = 0;
  virtual bool DeleteEntry(EntryHandle entry) = 0;
  // Deletion of a read-only file that leaves its attribute word as it is,
  // for the other names (hard links) that share it
  // (FileDispositionInformationEx with FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE).
  // Windows 10 1809 and later; refused before, and by Wine 8.
  virtual bool DeleteReadOnlyEntry(EntryHandle entry) = 0;
  virtual void CloseEntry(EntryHandle entry) = 0;
  // GetFileAttributesW: the word of what `path` names, a link at its end not
  // followed; 0xFFFFFFFF when there is nothing.
  virtual uint32_t GetPathAttributes(const std::u16string& path) = 0;

  virtual void Sleep(uint32_t milliseconds) = 0;

  // Whole-file I/O for the settings file and the date editor.
  virtual FileHandle OpenFile(const std::u16string& path, OpenMode mode) = 0;
  // Bytes read or written, or -1 on failure.
  virtual int64_t ReadFile(FileHandle file, void* buffer, uint32_t count) = 0;
  virtual int64_t WriteFile(FileHandle file, const void* buffer, uint32_t count) = 0;
  virtual bool CloseFile(FileHandle file) = 0;
  // SetFileTime with only the last-write time given.
  virtual bool SetLastWriteTime(FileHandle file, uint64_t fileTime) = 0;

  // The calling thread's last error and the platform's text for an error
  // code, in code page 932 (a character it lacks as a look-alike or "?").
  virtual uint32_t LastError() = 0;
  virtual std::string ErrorMessage(uint32_t code) = 0;

  // Buffer-filling calls with the meaning of the wide Win32 calls
  // (GetSystemDirectoryW, GetTempPathW, GetModuleFileNameW): they write at
  // most `size` characters including the NUL and return the platform's
  // length result.
  virtual uint32_t GetSystemDirectory(char16_t* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempPath(char16_t* buffer, uint32_t size) = 0;
  virtual uint32_t GetModuleFileName(char16_t* buffer, uint32_t size) = 0;
  // The value of an environment variable; false when it is not set.
  virtual bool GetEnvironmentVariable(const std::u16string& name, std::u16string& value) = 0;
  // The user's profile folder as the shell knows it (SHGetFolderPathW,
  // CSIDL_PROFILE). False when there is none.
  virtual bool GetProfileFolder(std::u16string& path) = 0;

  // GetDiskFreeSpaceEx's bytes available to the caller; root may be empty
  // for the current drive. False when the query fails. The roots are code
  // page 932 text; one that is no text of it names no drive (GetDriveType
  // then gives 1, no root folder).
  virtual bool GetDiskFreeBytes(const std::string& root, uint64_t& freeBytes) = 0;
  virtual uint32_t GetDriveType(const std::string& root) = 0;

  virtual bool GetCurrentDirectory(std::u16string& path) = 0;
  virtual bool SetCurrentDirectory(const std::u16string& path) = 0;

  // Code page 932's lead-byte test, and its upper-casing as CharUpperBuffA
  // does it on a Japanese system: each character through Unicode, a
  // character whose capital has no form of the same length kept as it is.
  virtual bool IsLeadByte(uint8_t byte) = 0;
  virtual std::string UpperCase(const std::string& text) = 0;

  // Local/UTC and packed FAT date-time conversions.
  virtual bool FileTimeToLocal(uint64_t utc, uint64_t& local) = 0;
  virtual bool LocalToFileTime(uint64_t local, uint64_t& utc) = 0;
  virtual bool FileTimeToDosDateTime(uint64_t fileTime, uint16_t& date, uint16_t& time) = 0;
  virtual bool DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t& fileTime) = 0;

  // WinINet URL cache enumeration. `entry` is a block of *size bytes (may be
  // null with *size 0 to learn the size needed). The records are WinINet's
  // ANSI ones: their URLs are handed back to WinINet as it gave them, never
  // read, so the system's code page cannot change what they name.
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
