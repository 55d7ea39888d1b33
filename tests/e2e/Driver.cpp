#include "Driver.h"

#include <cstdio>
#include <cstring>

#include "platform/win32/CodePage.h"

namespace e2e {

Config& Settings() {
  static Config config;
  return config;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

// The driver's texts and paths are the program's code page 932 text, read
// and handed over in UTF-16 whatever the system's code page.
using purga::ToWide;

std::string ShownText(const std::wstring& wide) {
  bool usedDefault = false;
  return purga::ToAnsiNoBestFit(wide, usedDefault).value_or(std::string());
}

Program::Program(const std::string& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + ToWide(exe) + L"\"";
  if (!CreateProcessW(ToWide(exe).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info_))
    info_ = {};
}

Program::~Program() {
  if (!Started()) return;
  if (!Exited(0) && !Close()) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 10000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Program::Exited(DWORD timeoutMs) const {
  return Started() && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

HWND Program::Window(const std::string& caption, const char* className) const {
  for (HWND hwnd : TopWindows(Id()))
    if (Text(hwnd) == caption && (className == nullptr || ClassOf(hwnd) == className)) return hwnd;
  return nullptr;
}

HWND Program::WaitWindow(const std::string& caption, const char* className, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitFor([&] { return (found = Window(caption, className)) != nullptr; }, timeoutMs);
  return found;
}

bool Program::Close(DWORD timeoutMs) {
  // Closing the launcher ends the program; any window shown modally over it
  // is closed first.
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!Exited(0) && GetTickCount64() < end) {
    for (HWND hwnd : TopWindows(Id())) {
      if (IsWindowEnabled(hwnd)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    if (Exited(500)) break;
  }
  return Exited(0);
}

std::wstring WideText(HWND hwnd) {
  wchar_t buffer[1024] = L"";
  // WM_GETTEXT is carried across processes; GetWindowText is not for controls.
  SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return buffer;
}

std::string Text(HWND hwnd) { return ShownText(WideText(hwnd)); }

std::string ClassOf(HWND hwnd) {
  char buffer[256] = "";
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

namespace {

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

// Window enumeration callbacks are stdcall in 32-bit Windows: named
// functions, since a lambda converts only to the default convention.
BOOL CALLBACK AddIfShownByProcess(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK AddWindow(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(AddIfShownByProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, AddWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND FindDescendant(HWND parent, const std::function<bool(HWND)>& match) {
  for (HWND hwnd : Descendants(parent))
    if (match(hwnd)) return hwnd;
  return nullptr;
}

HWND FindControl(HWND parent, const char* className, const std::string& text) {
  return FindDescendant(parent, [&](HWND hwnd) {
    return _stricmp(ClassOf(hwnd).c_str(), className) == 0 && Text(hwnd) == text;
  });
}

RECT RectInParent(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND WaitLauncher(const Program& program) { return program.WaitWindow("StartForm", "PurgaForm"); }

HWND LauncherButton(HWND launcher, int left) {
  return FindDescendant(launcher, [left](HWND hwnd) {
    return _stricmp(ClassOf(hwnd).c_str(), "Button") == 0 && RectInParent(hwnd).left == left;
  });
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

namespace {

void SendMouse(POINT screen, DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  input.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
  SendInput(1, &input, sizeof input);
}

}  // namespace

void MouseMove(POINT screen) { SendMouse(screen, 0); }

void MouseClick(POINT screen) {
  SendMouse(screen, 0);
  SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
  SendMouse(screen, MOUSEEVENTF_LEFTUP);
}

void PressKey(WORD virtualKey) {
  INPUT input[2]{};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtualKey;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
}

POINT Centre(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

namespace {

// The screen's pixels under `r`, as a bottom-up 24-bit DIB.
std::string Capture(const RECT& r, BITMAPINFOHEADER& header) {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(stride) * height, '\0');
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace

bool Screenshot(HWND hwnd, const std::string& name) {
  if (hwnd == nullptr) return false;
  // Painted in full before the capture: the window's thread handles the
  // paint messages of the whole window before RedrawWindow returns. On a
  // fresh prefix a first paint can stall long enough mid-way for two
  // captures in a row to agree.
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r;
  return GetWindowRect(hwnd, &r) && Screenshot(r, name);
}

bool Screenshot(const RECT& r, const std::string& name) {
  if (Settings().shots.empty()) return false;
  BITMAPINFOHEADER header;
  std::string pixels = Capture(r, header);
  // Painting is done when two captures in a row agree.
  WaitFor(
      [&] {
        std::string again = Capture(r, header);
        const bool same = again == pixels;
        pixels = std::move(again);
        return same;
      },
      5000);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += pixels;
  return WriteFileBytes(Settings().shots + name + ".bmp", bytes);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = _wfopen(ToWide(path).c_str(), L"wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  FILE* f = _wfopen(ToWide(path).c_str(), L"rb");
  if (f == nullptr) return false;
  bytes.clear();
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
  std::fclose(f);
  return true;
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0)
          RemoveTree(path + L"\\" + entry.cFileName);
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
  } else {
    DeleteFileW(path.c_str());
  }
}

}  // namespace

bool RemoveTree(const std::string& path) {
  RemoveTree(ToWide(path));
  return !Exists(path);
}

std::string SettingsFolder(const std::string& program) {
  wchar_t buffer[MAX_PATH] = L"";
  DWORD type = 0;
  if (GetBinaryTypeW(ToWide(program).c_str(), &type) && type == SCS_32BIT_BINARY &&
      GetSystemWow64DirectoryW(buffer, MAX_PATH) != 0)
    return ShownText(buffer);
  GetSystemDirectoryW(buffer, MAX_PATH);
  return ShownText(buffer);
}

KeptSettingsFile::KeptSettingsFile()
    : path_(SettingsFolder(Settings().program) + "\\Purga.in"),
      existed_(ReadFileBytes(path_, saved_)) {}

KeptSettingsFile::~KeptSettingsFile() {
  if (existed_)
    WriteFileBytes(path_, saved_);
  else
    DeleteFileW(ToWide(path_).c_str());
}

}  // namespace e2e
