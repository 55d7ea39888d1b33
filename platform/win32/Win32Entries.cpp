// Folder listings, by pattern or through a folder's handle, and the entries
// that are checked and then changed or deleted through their own handle.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/win32/CodePage.h"
#include "platform/win32/FileTimes.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"

namespace purga {

namespace {

uint64_t FromLarge(const LARGE_INTEGER& value) { return static_cast<uint64_t>(value.QuadPart); }

// A wide text in the code page, converted as the ANSI calls convert names.
// `exact` tells whether it converts back to the same text: false when a
// character came out as "?" or as a look-alike.
std::string ToAnsi(std::wstring_view wide, bool& exact) {
  std::string ansi = purga::ToAnsi(wide);
  exact = ToWide(ansi) == wide;
  return ansi;
}

// One open listing: FindFirstFileA's handle, or a folder's handle with the
// records last read through it.
struct Listing {
  HANDLE find = INVALID_HANDLE_VALUE;
  HANDLE folder = nullptr;  // not owned
  // Only a listing through a handle has them: room for about a hundred
  // records per call, since one call costs a trip to the file system and
  // every level of a walk keeps its listing open. new[] aligns them for the
  // records' 64-bit fields.
  static constexpr DWORD kRecordBytes = 16 * 1024;
  std::unique_ptr<unsigned char[]> records;
  DWORD next = 0;  // offset of the next record in `records`
  bool atEnd = true;
};

void ToEntry(const WIN32_FIND_DATAA& data, FindEntry& entry) {
  entry.name = data.cFileName;
  entry.attributes = data.dwFileAttributes;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.lastWriteTime = FromFileTime(data.ftLastWriteTime);
  entry.exact = true;
}

// Reads the next batch of records; `restart` begins at the first entry.
bool ReadRecords(Listing& listing, bool restart) {
  const auto kind = restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
  if (!::GetFileInformationByHandleEx(listing.folder, kind, listing.records.get(),
                                      Listing::kRecordBytes))
    return false;
  listing.next = 0;
  listing.atEnd = false;
  return true;
}

// The record at `next`, moving `next` on; false when the listing is over.
bool TakeRecord(Listing& listing, FindEntry& entry) {
  if (listing.atEnd && !ReadRecords(listing, false)) return false;
  const auto* record =
      reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(listing.records.get() + listing.next);
  entry.name = ToAnsi(std::wstring_view(record->FileName, record->FileNameLength / sizeof(WCHAR)),
                      entry.exact);
  entry.attributes = record->FileAttributes;
  entry.size = FromLarge(record->EndOfFile);
  entry.lastWriteTime = FromLarge(record->LastWriteTime);
  if (record->NextEntryOffset == 0)
    listing.atEnd = true;
  else
    listing.next += record->NextEntryOffset;
  return true;
}

}  // namespace

FindHandle Win32Platform::FindFirst(const std::string& pattern, FindEntry& entry) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  ToEntry(data, entry);
  auto listing = std::make_unique<Listing>();
  listing->find = find;
  return listing.release();
}

FindHandle Win32Platform::FindFirstIn(EntryHandle folder, FindEntry& entry) {
  auto listing = std::make_unique<Listing>();
  listing->folder = folder;
  listing->records = std::make_unique<unsigned char[]>(Listing::kRecordBytes);
  if (!ReadRecords(*listing, true) || !TakeRecord(*listing, entry)) return nullptr;
  return listing.release();
}

bool Win32Platform::FindNext(FindHandle handle, FindEntry& entry) {
  auto& listing = *static_cast<Listing*>(handle);
  if (listing.folder != nullptr) return TakeRecord(listing, entry);
  WIN32_FIND_DATAA data;
  if (!::FindNextFileA(listing.find, &data)) return false;
  ToEntry(data, entry);
  return true;
}

void Win32Platform::FindClose(FindHandle handle) {
  std::unique_ptr<Listing> listing(static_cast<Listing*>(handle));
  if (listing->find != INVALID_HANDLE_VALUE) ::FindClose(listing->find);
}

EntryHandle Win32Platform::OpenEntry(const std::string& path, EntryKind kind, EntryAccess access) {
  DWORD desired = FILE_READ_ATTRIBUTES;
  if (access == EntryAccess::Change) desired |= DELETE | FILE_WRITE_ATTRIBUTES;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD flags = 0;
  if (kind != EntryKind::File) {
    desired |= FILE_LIST_DIRECTORY;
    share &= ~FILE_SHARE_DELETE;
    flags |= FILE_FLAG_BACKUP_SEMANTICS;
  }
  if (kind != EntryKind::FolderThroughLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE handle =
      ::CreateFileA(path.c_str(), desired, share, nullptr, OPEN_EXISTING, flags, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

bool Win32Platform::GetEntryAttributes(EntryHandle entry, uint32_t& attributes) {
  FILE_BASIC_INFO info = {};
  if (!::GetFileInformationByHandleEx(entry, FileBasicInfo, &info, sizeof info)) return false;
  attributes = info.FileAttributes;
  return true;
}

bool Win32Platform::GetEntryFinalPath(EntryHandle entry, std::string& path) {
  std::wstring wide(MAX_PATH, L'\0');
  DWORD length = 0;
  for (;;) {
    length = ::GetFinalPathNameByHandleW(entry, wide.data(), static_cast<DWORD>(wide.size()),
                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return false;
    if (length < wide.size()) break;
    wide.resize(length + 1);  // the size needed, NUL included
  }
  bool exact = false;
  path = ToAnsi(std::wstring_view(wide.data(), length), exact);
  return exact;
}

bool Win32Platform::SetEntryAttributes(EntryHandle entry, uint32_t attributes) {
  FILE_BASIC_INFO info = {};  // times of 0 stay as they are
  info.FileAttributes = attributes;
  return ::SetFileInformationByHandle(entry, FileBasicInfo, &info, sizeof info) != FALSE;
}

bool Win32Platform::DeleteEntry(EntryHandle entry) {
  // Its one member is named DeleteFile, which <windows.h> renamed.
  FILE_DISPOSITION_INFO info = {TRUE};
  return ::SetFileInformationByHandle(entry, FileDispositionInfo, &info, sizeof info) != FALSE;
}

void Win32Platform::CloseEntry(EntryHandle entry) { ::CloseHandle(entry); }

}  // namespace purga
