#include <gtest/gtest.h>

#include "platform/win32/Win32Api.h"
#include "tests/win/GuiTestSupport.h"
#include "ui/win/Form.h"

namespace purga::win {
namespace {

Bounds OuterOf(const Form& form) {
  RECT r{};
  GetWindowRect(form.Handle(), &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Hiding a window costs Wine two seconds on a display without a window
// manager: each case hides its form at most once.
TEST(FormPlacementTest, FirstShowingKeepsAFormOnTheWorkArea) {
  const RECT work = test::WorkAreaOf(GetDesktopWindow());
  const int right = work.right, bottom = work.bottom;
  const struct {
    const char* name;
    bool modal;
    Bounds place;
    Bounds shown;
  } cases[] = {
      {"inside: its own place",
       true,
       {work.left + 10, work.top + 20, 300, 200},
       {work.left + 10, work.top + 20, 300, 200}},
      {"off the bottom right",
       true,
       {right - 100, bottom - 50, 300, 200},
       {right - 300, bottom - 200, 300, 200}},
      // (A window may be at most a little taller than the screen.)
      {"taller than the work area, off the top",
       false,
       {work.left - 40, work.top - 63, 300, bottom - work.top + 4},
       {work.left, work.top, 300, bottom - work.top + 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Form form("placement", c.place, FormBorder::Single);
    if (c.modal) {
      PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
      form.ShowModal(nullptr);
    } else {
      form.Show();
    }
    EXPECT_EQ(OuterOf(form), c.shown);
  }
  // The user moves a form partly off the screen: the next showing keeps that.
  Form form("placement", {work.left, work.top, 300, 200}, FormBorder::Single);
  PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
  form.ShowModal(nullptr);
  MoveWindow(form.Handle(), right - 50, bottom - 20, 300, 200, FALSE);
  form.Show();
  EXPECT_EQ(OuterOf(form), (Bounds{right - 50, bottom - 20, 300, 200}));
}

}  // namespace
}  // namespace purga::win
