// Folder listings, by pattern or through a folder's handle, and the entries
// that are opened relative to their folder, checked, and then changed or
// deleted through their own handle.
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "common/AnsiName.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/FileTimes.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"

namespace purga {

namespace {

uint64_t FromLarge(const LARGE_INTEGER& value) { return static_cast<uint64_t>(value.QuadPart); }

// The information classes and records of NtQueryInformationFile and
// NtSetInformationFile that the headers leave out.
constexpr auto kFileBasicInformation = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr auto kFileStandardInformation = static_cast<FILE_INFORMATION_CLASS>(5);
constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto kFileNameInformation = static_cast<FILE_INFORMATION_CLASS>(9);
constexpr auto kFileIdInformation = static_cast<FILE_INFORMATION_CLASS>(59);
constexpr auto kFileDispositionInformationEx = static_cast<FILE_INFORMATION_CLASS>(64);
struct BasicInformation {
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  ULONG fileAttributes;
};
struct StandardInformation {
  LARGE_INTEGER allocationSize, endOfFile;
  ULONG numberOfLinks;
  BOOLEAN deletePending, directory;
};
struct InternalInformation {
  LARGE_INTEGER indexNumber;
};
struct IdInformation {
  ULONGLONG volumeSerialNumber;
  FILE_ID_128 fileId;
};
constexpr ULONG kDispositionDelete = 0x1;
constexpr ULONG kDispositionIgnoreReadOnly = 0x10;

// The listing with 128-bit IDs (Windows 8 and later), which the Windows 7
// headers leave out: its classes and FILE_ID_EXTD_DIR_INFO.
constexpr auto kFileIdExtdDirectoryInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(19);
constexpr auto kFileIdExtdDirectoryRestartInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(20);
struct IdExtdDirInfo {
  ULONG NextEntryOffset, FileIndex;
  LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize;
  ULONG FileAttributes, FileNameLength, EaSize, ReparsePointTag;
  FILE_ID_128 FileId;
  WCHAR FileName[1];
};
static_assert(offsetof(IdExtdDirInfo, FileId) == 72 && offsetof(IdExtdDirInfo, FileName) == 88);

FileId FromId(const LARGE_INTEGER& id) { return {FromLarge(id), 0}; }
FileId FromId(const FILE_ID_128& id) {
  FileId value;
  std::memcpy(&value.low, id.Identifier, sizeof value.low);
  std::memcpy(&value.high, id.Identifier + sizeof value.low, sizeof value.high);
  return value;
}

// The entries of one listing call's records, whichever class gave them.
template <typename Record>
void AddEntries(const void* records, std::vector<FindEntry>& batch) {
  const auto* bytes = static_cast<const unsigned char*>(records);
  for (DWORD next = 0;;) {
    const auto* record = reinterpret_cast<const Record*>(bytes + next);
    FindEntry& entry = batch.emplace_back();
    entry.name = FromWide({record->FileName, record->FileNameLength / sizeof(WCHAR)});
    entry.attributes = record->FileAttributes;
    entry.size = FromLarge(record->EndOfFile);
    entry.lastWriteTime = FromLarge(record->LastWriteTime);
    entry.fileId = FromId(record->FileId);
    if (record->NextEntryOffset == 0) break;
    next += record->NextEntryOffset;
  }
}
constexpr ULONG kFileOpenReparsePoint = 0x00200000;
constexpr ULONG kFileOpenForBackupIntent = 0x00004000;

bool Query(HANDLE handle, void* record, ULONG size, FILE_INFORMATION_CLASS kind) {
  IO_STATUS_BLOCK status;
  return NT_SUCCESS(::NtQueryInformationFile(handle, &status, record, size, kind));
}

// The access that `rights` stand for; the attributes can always be read,
// and SYNCHRONIZE makes the handle's calls wait for their result.
ACCESS_MASK Access(uint32_t rights, bool folder) {
  ACCESS_MASK access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  if (folder && (rights & kRightList) != 0) access |= FILE_LIST_DIRECTORY;
  if ((rights & kRightChange) != 0) access |= FILE_WRITE_ATTRIBUTES;
  if ((rights & kRightDelete) != 0) access |= DELETE;
  return access;
}

// A folder lets others read and write but not delete or rename it while it
// is held; a file is shared for everything.
constexpr ULONG kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kFileSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One open listing by pattern (FindFirstFileW).
struct Listing {
  HANDLE find = INVALID_HANDLE_VALUE;
};

void ToEntry(const WIN32_FIND_DATAW& data, FindEntry& entry) {
  entry.name = FromWide(data.cFileName);
  entry.attributes = data.dwFileAttributes;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry.lastWriteTime = FromFileTime(data.ftLastWriteTime);
  entry.fileId = {};
}

}  // namespace

FindHandle Win32Platform::FindFirst(const std::u16string& pattern, FindEntry& entry) {
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW(Wide(pattern), &data);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  ToEntry(data, entry);
  auto listing = std::make_unique<Listing>();
  listing->find = find;
  return listing.release();
}

bool Win32Platform::FindNext(FindHandle handle, FindEntry& entry) {
  WIN32_FIND_DATAW data;
  if (!::FindNextFileW(static_cast<Listing*>(handle)->find, &data)) return false;
  ToEntry(data, entry);
  return true;
}

void Win32Platform::FindClose(FindHandle handle) {
  std::unique_ptr<Listing> listing(static_cast<Listing*>(handle));
  ::FindClose(listing->find);
}

std::u16string Win32Platform::ToWide(const std::string& text, bool& exact) {
  const std::optional<std::wstring> wide = ToWideExact(text);
  exact = wide.has_value();
  return FromWide(wide ? *wide : purga::ToWide(text));
}

std::string Win32Platform::ToAnsi(const std::u16string& wide, bool& exact) {
  const auto convert = [](std::u16string_view text) {
    return ToAnsiExact(
        std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
  };
  AnsiName name = convert(wide);
  exact = name.exact;
  if (name.exact) return std::move(name.text);
  // Shown only: each character the code page lacks stands as "?".
  std::string shown;
  for (size_t at = 0; at < wide.size();) {
    const bool pair = wide[at] >= 0xD800 && wide[at] <= 0xDBFF && at + 1 < wide.size() &&
                      wide[at + 1] >= 0xDC00 && wide[at + 1] <= 0xDFFF;
    const size_t length = pair ? 2 : 1;
    const AnsiName part = convert(std::u16string_view(wide).substr(at, length));
    shown += part.exact ? part.text : "?";
    at += length;
  }
  return shown;
}

bool Win32Platform::SameName(const std::u16string& a, const std::u16string& b) {
  return ::CompareStringOrdinal(Wide(a), static_cast<int>(a.size()), Wide(b),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

EntryHandle Win32Platform::OpenFolder(const std::u16string& path, uint32_t rights) {
  const HANDLE handle = ::CreateFileW(Wide(path), Access(rights, true), kFolderSharing, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

EntryHandle Win32Platform::OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                                     uint32_t rights) {
  const bool isFolder = kind == EntryKind::Folder;
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(Wide(name));
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(char16_t));
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, 0, folder, nullptr);
  // A link at the name is opened as itself, never followed.
  ULONG options = kFileOpenReparsePoint | FILE_SYNCHRONOUS_IO_NONALERT;
  options |= isFolder ? FILE_DIRECTORY_FILE | kFileOpenForBackupIntent : FILE_NON_DIRECTORY_FILE;
  IO_STATUS_BLOCK status;
  HANDLE handle = nullptr;
  const NTSTATUS result =
      ::NtCreateFile(&handle, Access(rights, isFolder), &object, &status, nullptr, 0,
                     isFolder ? kFolderSharing : kFileSharing, FILE_OPEN, options, nullptr, 0);
  if (!NT_SUCCESS(result)) {
    ::SetLastError(::RtlNtStatusToDosError(result));
    return nullptr;
  }
  return handle;
}

bool Win32Platform::GetEntryInfo(EntryHandle entry, IdSize ids, EntryInfo& info) {
  BasicInformation basic = {};
  if (!Query(entry, &basic, sizeof basic, kFileBasicInformation)) return false;
  info.attributes = basic.fileAttributes;
  // A volume that lists IDs but will not say a handle's gives none.
  info.fileId = {};
  if (ids == IdSize::Bits128) {
    IdInformation id = {};
    if (Query(entry, &id, sizeof id, kFileIdInformation)) info.fileId = FromId(id.fileId);
  } else {
    InternalInformation internal = {};
    if (Query(entry, &internal, sizeof internal, kFileInternalInformation))
      info.fileId = FromId(internal.indexNumber);
  }
  return true;
}

bool Win32Platform::GetEntryStandard(EntryHandle entry, EntryStandard& standard) {
  StandardInformation information = {};
  if (!Query(entry, &information, sizeof information, kFileStandardInformation)) return false;
  standard.size = FromLarge(information.endOfFile);
  standard.links = information.numberOfLinks;
  standard.deletePending = information.deletePending != FALSE;
  return true;
}

bool Win32Platform::GetEntryVolume(EntryHandle entry, uint64_t& serial) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(entry, &information)) return false;
  serial = information.dwVolumeSerialNumber;
  return true;
}

bool Win32Platform::GetEntryName(EntryHandle entry, std::u16string& name) {
  // A UNICODE_STRING and its text; a longer name is asked for again with
  // the room it needs.
  alignas(UNICODE_STRING) unsigned char small[2048];
  std::unique_ptr<unsigned char[]> large;
  unsigned char* record = small;
  ULONG bytes = sizeof small;
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS result = ::NtQueryObject(entry, ObjectNameInformation, record, bytes, &needed);
    if (NT_SUCCESS(result)) break;
    if (record != small || needed <= bytes) return false;
    large.reset(new unsigned char[needed]);
    record = large.get();
    bytes = needed;
  }
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(record);
  name = FromWide({text->Buffer, text->Length / sizeof(WCHAR)});
  return true;
}

bool Win32Platform::GetEntryPath(EntryHandle entry, std::u16string& path) {
  // The record: a length in bytes, then the name. Most paths fit the first
  // buffer; a longer one is asked for again with the room it needs.
  ULONG small[512];
  std::unique_ptr<ULONG[]> large;
  ULONG* record = small;
  ULONG bytes = sizeof small;
  for (;;) {
    IO_STATUS_BLOCK status;
    const NTSTATUS result =
        ::NtQueryInformationFile(entry, &status, record, bytes, kFileNameInformation);
    if (NT_SUCCESS(result)) break;
    if (result != static_cast<NTSTATUS>(0x80000005L) || record != small) return false;
    bytes = static_cast<ULONG>(sizeof(ULONG) + record[0] + sizeof(WCHAR));
    large = std::make_unique<ULONG[]>(bytes / sizeof(ULONG) + 1);
    record = large.get();
  }
  path = FromWide({reinterpret_cast<const wchar_t*>(record + 1), record[0] / sizeof(WCHAR)});
  return true;
}

bool Win32Platform::ReadEntries(EntryHandle folder, bool restart, IdSize ids,
                                std::vector<FindEntry>& batch) {
  // Room for about a hundred records per call: one call costs a trip to the
  // file system.
  // The walk holds no other listing call while it makes this one: the
  // records live on the stack, aligned for their 64-bit fields.
  LONGLONG records[16 * 1024 / sizeof(LONGLONG)];
  batch.clear();
  const bool full = ids == IdSize::Bits128;
  const auto kind = full ? (restart ? kFileIdExtdDirectoryRestartInfo : kFileIdExtdDirectoryInfo)
                         : (restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo);
  if (!::GetFileInformationByHandleEx(folder, kind, records, sizeof records)) return false;
  if (full)
    AddEntries<IdExtdDirInfo>(records, batch);
  else
    AddEntries<FILE_ID_BOTH_DIR_INFO>(records, batch);
  return true;
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

bool Win32Platform::DeleteReadOnlyEntry(EntryHandle entry) {
  ULONG flags = kDispositionDelete | kDispositionIgnoreReadOnly;
  IO_STATUS_BLOCK status;
  return NT_SUCCESS(
      ::NtSetInformationFile(entry, &status, &flags, sizeof flags, kFileDispositionInformationEx));
}

void Win32Platform::CloseEntry(EntryHandle entry) { ::CloseHandle(entry); }

uint32_t Win32Platform::GetPathAttributes(const std::u16string& path) {
  return ::GetFileAttributesW(Wide(path));
}

}  // namespace purga
