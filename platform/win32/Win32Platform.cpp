#include "platform/win32/Win32Platform.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/win32/CodePage.h"
#include "platform/win32/FileTimes.h"
#include "platform/win32/Win32Api.h"

namespace purga {

// The URL cache calls hand the caller's block to WinINet as its own record.
static_assert(sizeof(DWORD) == sizeof(uint32_t));
static_assert(offsetof(INTERNET_CACHE_ENTRY_INFOA, dwStructSize) ==
              offsetof(CacheEntryHead, dwStructSize));
static_assert(offsetof(INTERNET_CACHE_ENTRY_INFOA, lpszSourceUrlName) ==
              offsetof(CacheEntryHead, lpszSourceUrlName));
static_assert(sizeof(CacheEntryHead) <= sizeof(INTERNET_CACHE_ENTRY_INFOA));

namespace {

// The seam's handles are null on failure; Win32 file handles use
// INVALID_HANDLE_VALUE.
void* FromHandle(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

auto* AsCacheEntry(CacheEntryHead* entry) {
  return reinterpret_cast<LPINTERNET_CACHE_ENTRY_INFOA>(entry);
}

}  // namespace

bool Win32Platform::SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  return ::SetFileAttributesW(Wide(path), attributes) != FALSE;
}

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

FileHandle Win32Platform::OpenFile(const std::u16string& path, OpenMode mode) {
  DWORD access = GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::ReadWriteExisting:
      access = GENERIC_READ | GENERIC_WRITE;
      share = FILE_SHARE_READ;
      break;
    case OpenMode::CreateTruncate:
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::WriteExistingShared:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
  }
  return FromHandle(::CreateFileW(Wide(path), access, share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

int64_t Win32Platform::ReadFile(FileHandle file, void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!::ReadFile(file, buffer, count, &done, nullptr)) return -1;
  return done;
}

int64_t Win32Platform::WriteFile(FileHandle file, const void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!::WriteFile(file, buffer, count, &done, nullptr)) return -1;
  return done;
}

bool Win32Platform::CloseFile(FileHandle file) { return ::CloseHandle(file) != FALSE; }

bool Win32Platform::SetLastWriteTime(FileHandle file, uint64_t fileTime) {
  const FILETIME time = ToFileTime(fileTime);
  return ::SetFileTime(file, nullptr, nullptr, &time) != FALSE;
}

uint32_t Win32Platform::LastError() { return ::GetLastError(); }

std::string Win32Platform::ErrorMessage(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length != 0 && text != nullptr) message = ToAnsiShown({text, length});
  if (text != nullptr) ::LocalFree(text);
  // The system's texts end in a line break, which a message box would show.
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
  return message;
}

uint32_t Win32Platform::GetSystemDirectory(char16_t* buffer, uint32_t size) {
  return ::GetSystemDirectoryW(reinterpret_cast<wchar_t*>(buffer), size);
}

uint32_t Win32Platform::GetTempPath(char16_t* buffer, uint32_t size) {
  return ::GetTempPathW(size, reinterpret_cast<wchar_t*>(buffer));
}

uint32_t Win32Platform::GetModuleFileName(char16_t* buffer, uint32_t size) {
  return ::GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buffer), size);
}

bool Win32Platform::GetEnvironmentVariable(const std::u16string& name, std::u16string& value) {
  const wchar_t* wideName = Wide(name);
  // The value may change between the size probe and the call: try again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = ::GetEnvironmentVariableW(wideName, nullptr, 0);
    if (needed == 0) return false;
    std::wstring buffer(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName, buffer.data(), needed);
    if (length < needed) {
      value = FromWide({buffer.data(), length});
      return length != 0;
    }
  }
  return false;
}

bool Win32Platform::GetProfileFolder(std::u16string& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return false;
  path = FromWide(buffer);
  return !path.empty();
}

bool Win32Platform::GetDiskFreeBytes(const std::string& root, uint64_t& freeBytes) {
  const std::optional<std::wstring> wide = ToWideExact(root);
  if (!wide) return false;
  ULARGE_INTEGER available, total, free;
  if (!::GetDiskFreeSpaceExW(wide->empty() ? nullptr : wide->c_str(), &available, &total, &free))
    return false;
  freeBytes = available.QuadPart;
  return true;
}

uint32_t Win32Platform::GetDriveType(const std::string& root) {
  const std::optional<std::wstring> wide = ToWideExact(root);
  return wide ? ::GetDriveTypeW(wide->c_str()) : DRIVE_NO_ROOT_DIR;
}

bool Win32Platform::GetCurrentDirectory(std::u16string& path) {
  // The folder may change between the size probe and the call: try again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(needed);
    const DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0) return false;
    if (length < needed) {
      path = FromWide({buffer.data(), length});
      return true;
    }
  }
  return false;
}

bool Win32Platform::SetCurrentDirectory(const std::u16string& path) {
  return ::SetCurrentDirectoryW(Wide(path)) != FALSE;
}

bool Win32Platform::IsLeadByte(uint8_t byte) {
  return ::IsDBCSLeadByteEx(kProgramCodePage, byte) != FALSE;
}

std::string Win32Platform::UpperCase(const std::string& text) {
  // No linguistic casing: a Turkish system's dotless and dotted i are no
  // concern of the program's.
  std::string upper = text;
  for (size_t at = 0; at < upper.size();) {
    const auto byte = static_cast<uint8_t>(upper[at]);
    if (byte < 0x80) {
      if (byte >= 'a' && byte <= 'z') upper[at] = static_cast<char>(byte - 'a' + 'A');
      ++at;
      continue;
    }
    const size_t length = IsLeadByte(byte) && at + 1 < upper.size() ? 2 : 1;
    const std::string_view character(upper.data() + at, length);
    if (const std::optional<std::wstring> wide = ToWideExact(character)) {
      std::wstring capital = *wide;
      const int count = static_cast<int>(capital.size());
      bool usedDefault = false;
      if (::LCMapStringW(kProgramLocale, LCMAP_UPPERCASE, wide->c_str(), count, capital.data(),
                         count) == count) {
        const std::optional<std::string> back = ToAnsiNoBestFit(capital, usedDefault);
        if (back && !usedDefault && back->size() == length) upper.replace(at, length, *back);
      }
    }
    at += length;
  }
  return upper;
}

bool Win32Platform::FileTimeToLocal(uint64_t utc, uint64_t& local) {
  const FILETIME in = ToFileTime(utc);
  FILETIME out;
  if (!::FileTimeToLocalFileTime(&in, &out)) return false;
  local = FromFileTime(out);
  return true;
}

bool Win32Platform::LocalToFileTime(uint64_t local, uint64_t& utc) {
  const FILETIME in = ToFileTime(local);
  FILETIME out;
  if (!::LocalFileTimeToFileTime(&in, &out)) return false;
  utc = FromFileTime(out);
  return true;
}

bool Win32Platform::FileTimeToDosDateTime(uint64_t fileTime, uint16_t& date, uint16_t& time) {
  const FILETIME in = ToFileTime(fileTime);
  WORD d = 0, t = 0;
  if (!::FileTimeToDosDateTime(&in, &d, &t)) return false;
  date = d;
  time = t;
  return true;
}

bool Win32Platform::DosDateTimeToFileTime(uint16_t date, uint16_t time, uint64_t& fileTime) {
  FILETIME out;
  if (!::DosDateTimeToFileTime(date, time, &out)) return false;
  fileTime = FromFileTime(out);
  return true;
}

CacheHandle Win32Platform::FindFirstUrlCacheEntry(const char* pattern, CacheEntryHead* entry,
                                                  uint32_t* size) {
  DWORD length = *size;
  const HANDLE handle = ::FindFirstUrlCacheEntryA(pattern, AsCacheEntry(entry), &length);
  *size = length;
  return handle;
}

bool Win32Platform::FindNextUrlCacheEntry(CacheHandle handle, CacheEntryHead* entry,
                                          uint32_t* size) {
  DWORD length = *size;
  const BOOL ok = ::FindNextUrlCacheEntryA(handle, AsCacheEntry(entry), &length);
  *size = length;
  return ok != FALSE;
}

bool Win32Platform::DeleteUrlCacheEntry(const char* url) {
  return ::DeleteUrlCacheEntryA(url) != FALSE;
}

bool Win32Platform::FindCloseUrlCache(CacheHandle handle) {
  return ::FindCloseUrlCache(handle) != FALSE;
}

void Win32Platform::AddToRecentDocs(uint32_t flags, const void* item) {
  ::SHAddToRecentDocs(flags, item);
}

void Win32Platform::ProcessPendingMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the message loop that owns it.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

Win32Platform& InstallWin32Platform() {
  static Win32Platform platform;
  SetPlatform(&platform);
  return platform;
}

}  // namespace purga
