// The launcher and the single-instance guard, on the real program.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Driver.h"
// After <windows.h>:
#include <commctrl.h>

namespace e2e {
namespace {

struct ButtonSpec {
  int left;
  const char* tooltip;
};
// Left to right: deletion window, file editor, help.
constexpr ButtonSpec kButtons[] = {{1, "ファイル削除"}, {36, "ファイルの属性変更"}, {71, "ヘルプ"}};

std::vector<HWND> LauncherButtons(HWND launcher) {
  std::vector<HWND> buttons;
  for (HWND hwnd : Descendants(launcher))
    if (_stricmp(ClassOf(hwnd).c_str(), "Button") == 0) buttons.push_back(hwnd);
  std::sort(buttons.begin(), buttons.end(),
            [](HWND a, HWND b) { return RectInParent(a).left < RectInParent(b).left; });
  return buttons;
}

// The visible tooltip window of process `pid`, if any.
HWND VisibleTooltip(DWORD pid) {
  for (HWND hwnd : TopWindows(pid))
    if (ClassOf(hwnd) == TOOLTIPS_CLASSA) return hwnd;
  return nullptr;
}

TEST(Launcher, LaidOutAsDesignedWithItsTooltips) {
  Program program(Settings().program);
  ASSERT_TRUE(program.Started());
  HWND launcher = WaitLauncher(program);
  ASSERT_NE(launcher, nullptr) << "no launcher window";
  Screenshot(launcher, "launcher");

  RECT outer;
  GetWindowRect(launcher, &outer);
  EXPECT_EQ(outer.left, 461);
  EXPECT_EQ(outer.top, 109);
  EXPECT_EQ(outer.right - outer.left, 117);
  EXPECT_EQ(outer.bottom - outer.top, 66);
  const LONG style = GetWindowLongA(launcher, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);

  // The task bar shows the application window: visible, unowned, titled
  // "Purgator", and the launcher's owner.
  HWND application = GetWindow(launcher, GW_OWNER);
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(Text(application), "Purgator");
  EXPECT_TRUE(IsWindowVisible(application));
  EXPECT_EQ(GetWindow(application, GW_OWNER), nullptr);
  EXPECT_FALSE(GetWindowLongA(application, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  const std::vector<HWND> buttons = LauncherButtons(launcher);
  ASSERT_EQ(buttons.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(kButtons[i].tooltip);
    const RECT r = RectInParent(buttons[i]);
    EXPECT_EQ(r.left, kButtons[i].left);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 36);
    EXPECT_EQ(r.bottom - r.top, 38);
    EXPECT_EQ(Text(buttons[i]), "") << "a picture, no text";
    EXPECT_NE(SendMessageA(buttons[i], BM_GETIMAGE, IMAGE_ICON, 0), 0) << "no picture";

    // Resting the mouse on the button shows its tooltip.
    MouseMove(Centre(buttons[i]));
    HWND tip = nullptr;
    const bool shown = WaitFor([&] {
      tip = VisibleTooltip(program.Id());
      return tip != nullptr && Text(tip) == kButtons[i].tooltip;
    });
    EXPECT_TRUE(shown) << "tooltip reads \"" << (tip ? Text(tip) : "") << "\"";
    if (shown && i == 0) {
      RECT tipRect, area;
      GetWindowRect(tip, &tipRect);
      UnionRect(&area, &outer, &tipRect);
      Screenshot(area, "launcher-tooltip");
    }
    // Away from the buttons, so that the next one starts its own tooltip.
    MouseMove({outer.left + 200, outer.top + 300});
    WaitFor([&] { return VisibleTooltip(program.Id()) == nullptr; }, 5000);
  }
  EXPECT_TRUE(program.Close());
}

TEST(Launcher, SecondCopyEndsWithoutAWindowAndTheFirstStaysAsItIs) {
  auto first = std::make_unique<Program>(Settings().program);
  HWND launcher = WaitLauncher(*first);
  ASSERT_NE(launcher, nullptr);
  RECT before;
  GetWindowRect(launcher, &before);

  Program second(Settings().program);
  ASSERT_TRUE(second.Started());
  bool showedWindow = false;
  const bool ended = WaitFor([&] {
    if (!TopWindows(second.Id()).empty()) showedWindow = true;
    return second.Exited(0);
  });
  ASSERT_TRUE(ended) << "the second copy did not end";
  EXPECT_FALSE(showedWindow);
  EXPECT_EQ(second.ExitCode(), 0u);

  // The first copy runs on, unmoved.
  EXPECT_FALSE(first->Exited(0));
  EXPECT_TRUE(IsWindowVisible(launcher));
  RECT after;
  GetWindowRect(launcher, &after);
  EXPECT_TRUE(EqualRect(&before, &after));

  // Once the first has ended, the name is free again: a new copy starts.
  ASSERT_TRUE(first->Close());
  first.reset();
  Program third(Settings().program);
  EXPECT_NE(WaitLauncher(third), nullptr) << "no copy could start";
  EXPECT_TRUE(third.Close());
}

}  // namespace
}  // namespace e2e
