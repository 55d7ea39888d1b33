// Helpers of the engine's Windows tests: real folders made quickly from the
// Linux side of Wine, a message loop that waits for a condition, and the
// questions the tests ask the file system.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/win32/CodePage.h"
#include "platform/win32/Win32Api.h"

namespace purga::test {

// The Unix path of a Windows path, or empty when not running under Wine.
inline std::string UnixPath(const std::string& windowsPath) {
  using Converter = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Converter>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(ToWide(windowsPath).c_str());
  if (unix == nullptr) return {};
  std::string result(unix);
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

// Runs a /bin/sh script on the Linux side (Wine starts Unix programs) and
// returns its exit status, or -1 when it could not run or did not end within
// a minute. The script must not hold double quotes. The command line is code page 932
// text: Japanese text arrives as UTF-8. Wine gives no handle to wait on for a Unix
// program, so the script leaves its status in a file that is waited for.
inline int Sh(const std::string& script) {
  static int counter = 0;
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string status = std::string(temp) + "purga-sh-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(++counter) + ".status";
  const std::string unixStatus = UnixPath(status);
  if (unixStatus.empty()) return -1;
  // The prefix maps no drive onto the Linux root: the shell is named by its
  // Unix path.
  std::string command = "\\\\?\\unix\\bin\\sh -c \"( " + script + " ); echo $? > '" + unixStatus +
                        ".part' && mv '" + unixStatus + ".part' '" + unixStatus + "'\"";
  std::wstring wide = ToWide(command);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return -1;
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  const ULONGLONG deadline = ::GetTickCount64() + 60000;
  while (::GetFileAttributesW(ToWide(status).c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (::GetTickCount64() > deadline) return -1;
    ::Sleep(2);
  }
  char text[16] = {};
  DWORD read = 0;
  const HANDLE file = ::CreateFileW(ToWide(status).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::ReadFile(file, text, sizeof text - 1, &read, nullptr);
    ::CloseHandle(file);
  }
  ::DeleteFileW(ToWide(status).c_str());
  return read == 0 ? -1 : std::atoi(text);
}

// Serves this thread's messages until `done()` holds or `timeoutMs` passes.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs = 60000) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!done()) {
    if (::GetTickCount64() > deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }
  return true;
}

inline DWORD AttributesOf(const std::string& path) {
  return ::GetFileAttributesW(ToWide(path).c_str());
}
inline bool PathExists(const std::string& path) {
  return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

inline bool MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
  const HANDLE file = ::CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  ::WriteFile(file, "x", 1, &written, nullptr);
  ::CloseHandle(file);
  return true;
}

}  // namespace purga::test
