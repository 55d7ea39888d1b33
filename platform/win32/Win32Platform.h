// The platform seam over the real Win32 calls. Thin: each member translates
// types and failure values and does nothing else.
#pragma once

#include "platform/Platform.h"

namespace purga {

class Win32Platform : public Platform {
 public:
  // Listings, names and entries: in Win32Entries.cpp.
  FindHandle FindFirst(const std::u16string& pattern, FindEntry& entry) override;
  bool FindNext(FindHandle handle, FindEntry& entry) override;
  void FindClose(FindHandle handle) override;
  using Platform::ToWide;
  std::u16string ToWide(const std::string& text, bool& exact) override;
  std::string ToAnsi(const std::u16string& wide, bool& exact) override;
  bool SameName(const std::u16string& a, const std::u16string& b) override;
  EntryHandle OpenFolder(const std::u16string& path, uint32_t rights) override;
  EntryHandle OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                        uint32_t rights) override;
  bool GetEntryInfo(EntryHandle entry, IdSize ids, EntryInfo& info) override;
  bool GetEntryStandard(EntryHandle entry, EntryStandard& standard) override;
  bool GetEntryVolume(EntryHandle entry, uint64_t& serial) override;
  bool GetEntryName(EntryHandle entry, std::u16string& name) override;
  bool GetEntryPath(EntryHandle entry, std::u16string& path) override;
  bool ReadEntries(EntryHandle folder, bool restart, IdSize ids,
                   std::vector<FindEntry>& batch) override;
  bool SetEntryAttributes(EntryHandle entry, uint32_t attributes) override;
  bool DeleteEntry(EntryHandle entry) override;
  bool DeleteReadOnlyEntry(EntryHandle entry) override;
  void CloseEntry(EntryHandle entry) override;
  uint32_t GetPathAttributes(const std::u16string& path) override;

  bool SetFileAttributes(const std::u16string& path, uint32_t attributes) override;
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
  bool GetDiskFreeBytes(const std::string& root, uint64_t& freeBytes) override;
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
};

// Makes the one Win32Platform the program-wide platform (purga::Os()) and
// returns it. Called first thing by the program's entry and by the Windows
// tests.
Win32Platform& InstallWin32Platform();

}  // namespace purga
