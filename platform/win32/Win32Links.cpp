// Whether a path reaches its own entry or, through a link, another one.
#include <string>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"

namespace purga {

namespace {

// The absolute form of a path, or empty.
std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 4];
  const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return {};
  return std::string(full, length);
}

// The same path with every short (8.3) name written long, or empty. Costly
// under Wine (it lists each folder on the way), so only asked when needed.
std::string LongPath(const std::string& path) {
  char longPath[MAX_PATH * 4];
  const DWORD length = ::GetLongPathNameA(path.c_str(), longPath, sizeof longPath);
  if (length == 0 || length >= sizeof longPath) return {};
  return std::string(longPath, length);
}

std::wstring Wide(const std::string& text) {
  const int length =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Equal as the file system compares names: character by character, case
// ignored (on the characters, not on the bytes of a double-byte one).
bool SameText(const std::string& a, const std::string& b) {
  const std::wstring wa = Wide(a), wb = Wide(b);
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool Win32Platform::NamesItself(const std::string& path) {
  // What cannot be checked is not acted on.
  const HANDLE handle = ::CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  const bool isLink =
      ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  char resolved[MAX_PATH * 4];
  const DWORD length =
      ::GetFinalPathNameByHandleA(handle, resolved, sizeof resolved, FILE_NAME_NORMALIZED);
  ::CloseHandle(handle);
  if (isLink || length == 0 || length >= sizeof resolved) return false;
  // The resolved path comes as \\?\C:\... or \\?\UNC\server\share\...
  std::string target(resolved, length);
  if (target.rfind("\\\\?\\UNC\\", 0) == 0)
    target = "\\\\" + target.substr(8);
  else if (target.rfind("\\\\?\\", 0) == 0)
    target = target.substr(4);
  const std::string full = FullPath(path);
  if (full.empty()) return false;
  if (SameText(target, full)) return true;
  // The path may hold short names where the resolved one has long names.
  const std::string longPath = LongPath(full);
  return !longPath.empty() && SameText(target, longPath);
}

}  // namespace purga
