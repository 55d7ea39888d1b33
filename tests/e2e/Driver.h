// Drives the real Purgator.exe from another process, as a user would: finds
// its windows by caption and class, clicks buttons, moves the mouse, types,
// reads captions and keeps screenshots. Every wait has a timeout.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "PurgaVersion.h"

namespace e2e {

// The deletion window's caption, which names the program's version.
inline constexpr const char* kDeletionWindow = "Purgator　Ver. " PURGA_VERSION_TEXT;

// Set from the command line by main().
struct Config {
  std::string program;  // Purgator.exe
  std::string shots;    // folder for the screenshots, with a trailing backslash
};
Config& Settings();

// Polls `condition` every 50 ms until it holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// One started copy of the program. The destructor closes it (as the close box
// would) and, failing that, ends it.
class Program {
 public:
  explicit Program(const std::string& exe);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  DWORD Id() const { return info_.dwProcessId; }
  bool Started() const { return info_.hProcess != nullptr; }
  bool Exited(DWORD timeoutMs) const;
  DWORD ExitCode() const;
  // The visible top-level window of this process with `caption`, or nullptr.
  HWND Window(const std::string& caption, const char* className = nullptr) const;
  // Waits for that window.
  HWND WaitWindow(const std::string& caption, const char* className = nullptr,
                  DWORD timeoutMs = 20000) const;
  // Closes the launcher and waits for the process to end.
  bool Close(DWORD timeoutMs = 20000);

 private:
  PROCESS_INFORMATION info_{};
};

// A window's text in UTF-16, and in code page 932 ("?" where it lacks a
// character).
std::wstring WideText(HWND hwnd);
std::string Text(HWND hwnd);
std::string ClassOf(HWND hwnd);
// Every visible top-level window of process `pid`.
std::vector<HWND> TopWindows(DWORD pid);
// All windows below `parent`, depth first.
std::vector<HWND> Descendants(HWND parent);
HWND FindDescendant(HWND parent, const std::function<bool(HWND)>& match);
// A descendant of class `className` with the text `text`.
HWND FindControl(HWND parent, const char* className, const std::string& text);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd);

// The launcher's buttons, left to right: deletion window, file editor, help.
inline constexpr int kDeleteButton = 1, kEditButton = 36, kHelpButton = 71;
// The launcher of `program`, waited for.
HWND WaitLauncher(const Program& program);
// The launcher's picture button whose left edge is at `left`.
HWND LauncherButton(HWND launcher, int left);

// Clicks a button by message, without the mouse.
void Click(HWND button);
// Real input, in screen coordinates.
void MouseMove(POINT screen);
void MouseClick(POINT screen);
void PressKey(WORD virtualKey);
// The centre of a window, in screen coordinates.
POINT Centre(HWND hwnd);

// Saves what the screen shows of `hwnd` (frame included) as
// Settings().shots + name + ".bmp", once two captures in a row agree.
bool Screenshot(HWND hwnd, const std::string& name);
// The same for a part of the screen.
bool Screenshot(const RECT& area, const std::string& name);

// Files.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string& bytes);
bool Exists(const std::string& path);
// Removes a folder tree (attributes cleared first); true when it is gone.
bool RemoveTree(const std::string& path);
// Where Windows puts the program's writes to its system folder: SysWOW64
// for a 32-bit program on 64-bit Windows, else the system folder. The
// driver is built for the program's bitness, so that the two agree for it
// too.
std::string SettingsFolder(const std::string& program);

// The settings file, Purga.in where the program under test writes it, as it
// was before a test that may write it: put back (or removed, when there was
// none) at the end of the scope.
class KeptSettingsFile {
 public:
  KeptSettingsFile();
  ~KeptSettingsFile();
  KeptSettingsFile(const KeptSettingsFile&) = delete;
  KeptSettingsFile& operator=(const KeptSettingsFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string saved_;
  bool existed_ = false;
};

}  // namespace e2e
