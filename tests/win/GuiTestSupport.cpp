#include "tests/win/GuiTestSupport.h"

#include <iterator>
#include <vector>

namespace purga::test {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    // Wakes for any message, or to look at the condition again.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(2);
  }
  return true;
}

namespace {

struct BoxSearch {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  char className[64] = {};
  GetClassNameA(hwnd, className, sizeof className);
  if (std::string(className) != "#32770") return TRUE;
  // Read as Windows holds it: the program's code page 932 caption, as
  // UTF-16.
  wchar_t caption[512] = {};
  GetWindowTextW(hwnd, caption, std::size(caption));
  if (ToWide(*search->caption) != caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

std::string TextOf(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  bool usedDefault = false;
  return ToAnsiNoBestFit(text, usedDefault).value_or(std::string());
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::string caption, int button, DWORD timeoutMs)
    : caption_(std::move(caption)) {
  thread_ = std::thread([this, button, timeoutMs] {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
      BoxSearch search{&caption_, nullptr};
      EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr) {
        // The message text is the box's static control 0xFFFF; the icon,
        // when there is one, a static with SS_ICON.
        text_ = TextOf(GetDlgItem(search.found, 0xFFFF));
        for (HWND child = GetWindow(search.found, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
          const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
          if ((style & SS_TYPEMASK) == SS_ICON && SendMessageA(child, STM_GETICON, 0, 0) != 0)
            hadIcon_ = true;
        }
        PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        answered_ = true;
        return;
      }
      Sleep(5);  // polling the window list, bounded by the deadline
    }
  });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  if (thread_.joinable()) thread_.join();
}

bool MessageBoxAnswerer::Wait() {
  if (thread_.joinable()) thread_.join();
  return answered_;
}

bool SaveWindowBitmap(HWND hwnd, const std::string& path) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // What the screen shows (Wine's PrintWindow leaves out the children).
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const int stride = ((width * 3) + 3) & ~3;
  const DWORD imageSize = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  bool ok = false;
  HANDLE out = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
         WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
         WriteFile(out, bits, imageSize, &written, nullptr) && written == imageSize;
    CloseHandle(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

RECT WorkAreaOf(HWND hwnd) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
  return monitor.rcWork;
}

std::string TestExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

RegistryChange::Value RegistryChange::Text(const std::string& name, const std::string& text) {
  return {name, REG_SZ, text + '\0'};
}

RegistryChange::Value RegistryChange::Number(const std::string& name, DWORD number) {
  return {name, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}

RegistryChange::RegistryChange(HKEY root, const std::string& key,
                               const std::vector<Value>& values) {
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                      nullptr) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  for (const Value& value : values) {
    Value old{value.name, 0, std::string(1024, '\0')};
    DWORD size = static_cast<DWORD>(old.data.size());
    const bool had =
        RegQueryValueExA(key_, value.name.c_str(), nullptr, &old.type,
                         reinterpret_cast<BYTE*>(old.data.data()), &size) == ERROR_SUCCESS;
    old.data.resize(had ? size : 0);
    saved_.push_back({had, old});
    Set(value);
  }
}

RegistryChange::~RegistryChange() {
  if (key_ == nullptr) return;
  for (const auto& [had, old] : saved_) {
    if (had)
      Set(old);
    else
      RegDeleteValueA(key_, old.name.c_str());
  }
  RegCloseKey(key_);
}

void RegistryChange::Set(const Value& value) {
  RegSetValueExA(key_, value.name.c_str(), 0, value.type,
                 reinterpret_cast<const BYTE*>(value.data.data()),
                 static_cast<DWORD>(value.data.size()));
}

int RunTestsInChild(const std::string& filter, const std::string& variable,
                    const std::string& value, DWORD timeoutMs, const std::string& desktop) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" --gtest_brief=1 --gtest_filter=" + filter;
  if (!desktop.empty()) command = "explorer.exe /desktop=" + desktop + " " + command;
  SetEnvironmentVariableA(variable.c_str(), value.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableA(variable.c_str(), nullptr);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace purga::test
