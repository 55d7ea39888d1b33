// The launcher's help button hands Purga.chm, beside the exe, to the shell.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"

namespace e2e {
namespace {

struct CaptionSearch {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK FindShownWithCaption(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<CaptionSearch*>(param);
  if (IsWindowVisible(hwnd) && Text(hwnd) == *search->caption) search->found = hwnd;
  return search->found == nullptr;
}

// A visible top-level window of any process with this caption.
HWND AnyWindow(const std::string& caption) {
  CaptionSearch search{&caption, nullptr};
  EnumWindows(FindShownWithCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(Help, TheHelpButtonOpensTheHelpFile) {
  Program program(Settings().program);
  HWND launcher = WaitLauncher(program);
  ASSERT_NE(launcher, nullptr);
  HWND helpButton = LauncherButton(launcher, kHelpButton);
  ASSERT_NE(helpButton, nullptr);
  Click(helpButton);
  HWND viewer = nullptr;
  const bool opened = WaitFor([&] { return (viewer = AnyWindow("Purgator ヘルプ")) != nullptr; });
  // The viewer shows the file's own title: the file beside the exe was found
  // and read. (Wine's viewer shows no pages: it has no HTML engine here.)
  ASSERT_TRUE(opened) << "no help viewer with the help file's title";
  Screenshot(viewer, "help-viewer");
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(viewer); }));
  EXPECT_TRUE(program.Close());
}

}  // namespace
}  // namespace e2e
