// The real program at 150 % (144 dpi): every window at its scaled place and
// size, and a screenshot of each. Wine reads LogPixels when a process
// starts: the test sets it in the prefix, starts the program, and puts the
// old values back as soon as the launcher shows, so that no other program
// starts at 144 dpi.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "Driver.h"
#include "SettingsRecord.h"

namespace e2e {
namespace {

// LogPixels in both places Wine reads it from, put back (or removed) by
// Restore or at the end of the scope.
class LogPixels {
 public:
  explicit LogPixels(DWORD dpi) {
    for (Place& place : places_) {
      DWORD size = sizeof place.old;
      place.had = RegGetValueA(place.root, place.key, "LogPixels", RRF_RT_REG_DWORD, nullptr,
                               &place.old, &size) == ERROR_SUCCESS;
      made_ = Set(place, dpi) && made_;
    }
  }
  ~LogPixels() { Restore(); }
  bool Made() const { return made_; }
  void Restore() {
    if (std::exchange(restored_, true)) return;
    for (const Place& place : places_)
      place.had ? Set(place, place.old) : RegDeleteKeyValueA(place.root, place.key, "LogPixels");
  }

 private:
  struct Place {
    HKEY root;
    const char* key;
    bool had = false;
    DWORD old = 0;
  };
  static bool Set(const Place& place, DWORD dpi) {
    return RegSetKeyValueA(place.root, place.key, "LogPixels", REG_DWORD, &dpi, sizeof dpi) ==
           ERROR_SUCCESS;
  }
  Place places_[2] = {{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                      {HKEY_CURRENT_CONFIG, "Software\\Fonts"}};
  bool made_ = true;
  bool restored_ = false;
};

// A window's client area's or outer size, "width x height".
std::string SizeOf(HWND hwnd, bool client) {
  RECT r;
  client ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
  return std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top);
}

TEST(DisplayScale, EveryWindowOfTheProgramAt150Percent) {
  KeptSettingsFile settings;  // closing the deletion window saves them
  // The pointer away from where the windows come, for the pictures.
  MouseMove({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
  ASSERT_TRUE(WriteFileBytes(settings.Path(), SampleSettings("C:\\purga-e2e").Bytes()));
  LogPixels scale(144);
  ASSERT_TRUE(scale.Made());
  Program program(Settings().program);
  HWND launcher = WaitLauncher(program);
  scale.Restore();
  ASSERT_NE(launcher, nullptr);

  // The 96-dpi figures times 1.5, rounded: the launcher's client area
  // 111 x 41 at 461, 109, and below, its buttons found at 1 and 36 scaled.
  RECT outer;
  GetWindowRect(launcher, &outer);
  EXPECT_EQ(outer.left, 692);
  EXPECT_EQ(outer.top, 164);
  EXPECT_EQ(SizeOf(launcher, true), "167 x 62");
  Screenshot(launcher, "launcher-150");

  // The deletion window: client area 734 x 411; the folder dialog over it,
  // 631 x 411 outside.
  Click(LauncherButton(launcher, 2));
  HWND window = program.WaitWindow(kDeletionWindow, "PurgaForm");
  ASSERT_NE(window, nullptr) << "the deletion window did not open";
  ASSERT_NE(FindControl(window, "PurgaPanel", "C:\\purga-e2e"), nullptr) << "folder panel";
  EXPECT_EQ(SizeOf(window, true), "1101 x 617");
  Screenshot(window, "deletion-window-150");
  Click(FindControl(window, "PurgaSpeedButton", "Folder"));
  HWND dialog = program.WaitWindow("Select_Folder", "PurgaForm");
  ASSERT_NE(dialog, nullptr) << "the folder dialog did not open";
  EXPECT_EQ(SizeOf(dialog, false), "947 x 617");
  Screenshot(dialog, "folder-dialog-150");
  Click(FindControl(dialog, "PurgaSpeedButton", "ｷｬﾝｾﾙ"));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));

  // The editor: 721 x 470 outside.
  Click(LauncherButton(launcher, 54));
  HWND editor = program.WaitWindow("FileUp", "PurgaForm");
  ASSERT_NE(editor, nullptr) << "the editor did not open";
  EXPECT_EQ(SizeOf(editor, false), "1082 x 705");
  Screenshot(editor, "editor-150");
  PostMessageA(editor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(editor); }));
  EXPECT_TRUE(program.Close());
}

}  // namespace
}  // namespace e2e
