// The folder dialog's first showing on the real program: centred over the
// launcher, then kept on the work area, so that its title bar and its three
// buttons can be reached.
#include <gtest/gtest.h>

#include "Driver.h"

namespace e2e {
namespace {

TEST(FolderDialog, FirstShowingLiesWithinTheWorkArea) {
  KeptSettingsFile settings;  // closing the deletion window saves them
  Program program(Settings().program);
  HWND launcher = WaitLauncher(program);
  ASSERT_NE(launcher, nullptr);
  Click(LauncherButton(launcher, kDeleteButton));
  HWND window = program.WaitWindow(kDeletionWindow, "PurgaForm");
  ASSERT_NE(window, nullptr) << "the deletion window did not open";
  HWND folderButton = FindControl(window, "PurgaSpeedButton", "Folder");
  ASSERT_NE(folderButton, nullptr);
  Click(folderButton);
  HWND dialog = program.WaitWindow("Select_Folder", "PurgaForm");
  ASSERT_NE(dialog, nullptr) << "the folder dialog did not open";
  Screenshot(dialog, "folder-dialog");

  RECT r, launcherRect;
  GetWindowRect(dialog, &r);
  GetWindowRect(launcher, &launcherRect);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT& work = monitor.rcWork;
  SCOPED_TRACE(testing::Message() << "dialog " << r.left << "," << r.top << " work area "
                                  << work.left << "," << work.top << "," << work.right << ","
                                  << work.bottom);
  EXPECT_GE(r.left, work.left);
  EXPECT_GE(r.top, work.top);
  EXPECT_LE(r.right, work.right);
  EXPECT_LE(r.bottom, work.bottom);
  // Centred across on the launcher (the centre fits there); down, moved no
  // further than onto the work area.
  EXPECT_EQ(r.left, launcherRect.left + (launcherRect.right - launcherRect.left - 631) / 2);
  EXPECT_EQ(r.top, work.top);

  // Its buttons answer: Cancel closes it.
  HWND cancel = FindControl(dialog, "PurgaSpeedButton", "ｷｬﾝｾﾙ");
  ASSERT_NE(cancel, nullptr);
  Click(cancel);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }));
  EXPECT_TRUE(program.Close());
}

}  // namespace
}  // namespace e2e
