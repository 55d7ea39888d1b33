// Real files for the Windows tests: a scratch folder below the temporary
// folder, and whole-file reads and writes that do not go through the code
// under test. Paths are the program's code page 932 text, reached through
// the wide calls whatever the system's code page.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/CodePage.h"
#include "platform/win32/Win32Api.h"

namespace purga::test {

inline std::optional<std::string> ReadWholeFile(const std::string& path) {
  const HANDLE file =
      ::CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  ::CloseHandle(file);
  return bytes;
}

inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file =
      ::CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size();
}

// Removes a file or a whole tree, whatever its attributes.
inline void RemoveTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  ::SetFileAttributesW(path.c_str(), attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(path.c_str());
}
inline void RemoveTree(const std::string& path) { RemoveTree(ToWide(path)); }

// A fresh folder below the temporary folder, removed with everything in it
// when the test ends. Its path ends without a backslash.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    path_ = ToAnsiExact(temp).text + name + "-" + std::to_string(::GetCurrentProcessId());
    RemoveTree(path_);
    ::CreateDirectoryW(ToWide(path_).c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace purga::test
