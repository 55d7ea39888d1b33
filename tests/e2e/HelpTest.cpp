// The launcher's help button hands Purga.chm, beside the exe, to the shell.
#include <gtest/gtest.h>

#include <string>

#include "Driver.h"

namespace e2e {
namespace {

struct CaptionSearch {
  std::wstring caption;
  HWND found;
};

BOOL CALLBACK FindShownWithCaption(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<CaptionSearch*>(param);
  if (IsWindowVisible(hwnd) && WideText(hwnd) == search->caption) search->found = hwnd;
  return search->found == nullptr;
}

// A visible top-level window of any process with this caption, read as the
// help viewer reads the help file's Shift-JIS title: in the system's code
// page (HTML Help is not Unicode), garbled on any but a Japanese system.
HWND AnyWindow(const std::string& caption) {
  std::wstring shown(caption.size(), L'\0');
  shown.resize(MultiByteToWideChar(GetACP(), 0, caption.data(), static_cast<int>(caption.size()),
                                   shown.data(), static_cast<int>(shown.size())));
  CaptionSearch search{shown, nullptr};
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
