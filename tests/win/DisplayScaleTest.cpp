// The forms at other display scales, and after a change of DPI.
//
// Wine reads LogPixels when a process starts: the test sets it in the
// prefix (HKCU\Control Panel\Desktop and HKCC\Software\Fonts) for a process
// of its own at 120, 144 and 192 dpi, and puts the old values back as soon
// as that process has ended; the process checks its forms and reports how
// they are laid out. It runs on a Wine desktop as large as a 1280 x 1024
// screen at 200 %: on a smaller screen a form larger than the screen is cut
// to the screen's size. Wine has one monitor and never sends WM_DPICHANGED: the
// test sends it, and a form must then be laid out as a process at that DPI
// lays it out from the start.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/StartCrt.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/GuiTestSupport.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/FolderSelect.h"
#include "ui/win/MainForm.h"

namespace purga::win {
namespace {

using test::RegistryChange;

constexpr char kChildVariable[] = "PURGA_DISPLAY_SCALE_CHILD";
constexpr int kPickerFontHeight = 13;

// A control as laid out: where it is in its parent, and its font's height.
struct Placed {
  std::string name;
  Bounds bounds;
  int fontHeight = 0;
  bool operator==(const Placed&) const = default;
};

void PrintTo(const Placed& p, std::ostream* out) {
  *out << p.name << " at " << p.bounds.left << ", " << p.bounds.top << ", " << p.bounds.width
       << " x " << p.bounds.height << ", font " << p.fontHeight;
}

struct FormLayout {
  int clientWidth = 0, clientHeight = 0;
  std::vector<Placed> controls;
};

int FontHeightOf(HWND hwnd) {
  LOGFONTA font{};
  HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
  if (handle == nullptr || GetObjectA(handle, sizeof font, &font) == 0) return 0;
  return -font.lfHeight;
}

FormLayout LayoutOf(const Form& form) {
  FormLayout layout;
  RECT client;
  GetClientRect(form.Handle(), &client);
  layout.clientWidth = client.right;
  layout.clientHeight = client.bottom;
  for (const auto& control : form.Controls()) {
    // The control's own window: a spin edit's edit without its arrows.
    HWND hwnd = control->Handle();
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    layout.controls.push_back(
        {control->Name(), {r.left, r.top, r.right - r.left, r.bottom - r.top}, FontHeightOf(hwnd)});
  }
  return layout;
}

int TextWidth(HWND hwnd, const std::string& text) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
  SIZE size{};
  const std::wstring wide = ToWide(text);
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return size.cx;
}

// What does not fit the form at its DPI: a control outside its parent's
// client area, a text wider than its control (measured with the control's
// own font, less what the control draws beside it), a font not of the
// DPI's height.
std::vector<std::string> Misfits(Form& form) {
  std::vector<std::string> misfits;
  const int dpi = form.Dpi();
  const auto fontMisfit = [&](HWND hwnd, int height, const std::string& name) {
    if (FontHeightOf(hwnd) != Scale(height, dpi))
      misfits.push_back(name + ": font " + std::to_string(FontHeightOf(hwnd)));
  };
  fontMisfit(form.Handle(), kFontHeight, "the form");
  fontMisfit(form.Tooltip(), kFontHeight, "the tooltips");
  for (const auto& control : form.Controls()) {
    const std::string& name = control->Name();
    HWND hwnd = control->Handle();
    RECT area;
    GetClientRect(GetParent(hwnd), &area);
    const Bounds b = control->GetBounds();
    // The deletion window's speed buttons, 26 pixels high in a bar of 23,
    // go over its edge by design.
    const bool designed =
        dynamic_cast<TMainCrt*>(&form) && dynamic_cast<SpeedButton*>(control.get());
    if (!designed && (b.left < 0 || b.top < 0 || b.left + b.width > area.right ||
                      b.top + b.height > area.bottom))
      misfits.push_back(name + ": outside its parent");

    if (dynamic_cast<Splitter*>(control.get()) != nullptr) continue;  // shows no text
    const bool picker = dynamic_cast<DateTimePicker*>(control.get()) != nullptr;
    fontMisfit(hwnd, picker ? kPickerFontHeight : kFontHeight, name);
    const std::string text = control->Text();
    if (text.empty()) continue;
    RECT inside;
    GetClientRect(hwnd, &inside);
    int beside = 0;
    if (dynamic_cast<CheckBox*>(control.get()) != nullptr) beside = Scale(16, dpi);  // the box
    if (auto* panel = dynamic_cast<Panel*>(control.get()))
      beside = Scale(panel->Look().edge == Edge::GroupFrame ? 10 : 4, dpi);
    if (TextWidth(hwnd, text) + beside > inside.right)
      misfits.push_back(name + ": text " + std::to_string(TextWidth(hwnd, text)) + " + " +
                        std::to_string(beside) + " in " + std::to_string(inside.right));
  }
  return misfits;
}

// The four forms, created as the program creates them.
struct Forms {
  Forms() : dialog(launcher.Handle()) {}
  ~Forms() { deletion.ShutDown(); }
  std::map<std::string, Form*> All() {
    return {{"StartForm", &launcher},
            {"Select_Folder", &dialog},
            {"MainCrt", &deletion},
            {"FileUp", &editor}};
  }
  struct Platform {
    Platform() { InstallWin32Platform(); }
  } platform;  // before the deletion window loads the settings
  TStartForm launcher;
  TSelect_Folder dialog;
  TMainCrt deletion;
  TFileUp editor;
};

// One line for each form's client area and each of its controls.
std::string Report(const std::map<std::string, FormLayout>& layouts) {
  std::ostringstream out;
  for (const auto& [form, layout] : layouts) {
    out << form << " client 0 0 " << layout.clientWidth << ' ' << layout.clientHeight << " 0\n";
    for (const Placed& p : layout.controls)
      out << form << ' ' << p.name << ' ' << p.bounds.left << ' ' << p.bounds.top << ' '
          << p.bounds.width << ' ' << p.bounds.height << ' ' << p.fontHeight << "\n";
  }
  return out.str();
}

std::map<std::string, FormLayout> ParseReport(std::istream& in) {
  std::map<std::string, FormLayout> layouts;
  std::string form;
  Placed p;
  while (in >> form >> p.name >> p.bounds.left >> p.bounds.top >> p.bounds.width >>
         p.bounds.height >> p.fontHeight) {
    FormLayout& layout = layouts[form];
    if (p.name != "client")
      layout.controls.push_back(p);
    else
      std::tie(layout.clientWidth, layout.clientHeight) =
          std::pair(p.bounds.width, p.bounds.height);
  }
  return layouts;
}

// Where the process at `dpi` writes its report (only when its checks
// passed) and its test output.
std::string ChildFile(int dpi, const char* ending) {
  return test::TestExeFolder() + "display-scale-" + std::to_string(dpi) + ending;
}

// The forms' layouts in a process started at `dpi`, which checks them as it
// goes; empty when that process failed.
std::map<std::string, FormLayout> LayoutsAt(int dpi) {
  const std::string report = ChildFile(dpi, ".txt"), log = ChildFile(dpi, ".log");
  DeleteFileW(ToWide(report).c_str());
  DeleteFileW(ToWide(log).c_str());
  {
    const std::vector<RegistryChange::Value> logPixels{RegistryChange::Number("LogPixels", dpi)};
    RegistryChange desktop(HKEY_CURRENT_USER, "Control Panel\\Desktop", logPixels);
    RegistryChange fonts(HKEY_CURRENT_CONFIG, "Software\\Fonts", logPixels);
    EXPECT_TRUE(desktop.Made() && fonts.Made());
    test::RunTestsInChild("DisplayScaleChild.*", kChildVariable, std::to_string(dpi), 120000,
                          "PurgaScale,2560x2048");
  }
  std::ifstream output(log);
  std::stringstream text;
  text << output.rdbuf();
  std::printf("%s", text.str().c_str());
  std::ifstream in(report);
  EXPECT_TRUE(in.is_open()) << "the process at " << dpi << " dpi failed";
  return ParseReport(in);
}

// Every edge and font height at `dpi` is the 96-dpi one scaled, give or take
// the rounding of the few figures a layout adds up. An edge that follows
// the far side of the client area moves on with it where the client area is
// larger than scaled (a form sized as a whole keeps a frame that grows less
// than its scale). A label's size follows its text in the larger font.
void ExpectScaledFrom(const FormLayout& at96, const FormLayout& scaled, int dpi) {
  ASSERT_EQ(scaled.controls.size(), at96.controls.size());
  const int wider = scaled.clientWidth - Scale(at96.clientWidth, dpi);
  const int taller = scaled.clientHeight - Scale(at96.clientHeight, dpi);
  const auto alongside = [](int is, int want, int growth) {
    return std::abs(is - want) <= 2 || std::abs(is - want - growth) <= 2;
  };
  for (size_t i = 0; i < at96.controls.size(); ++i) {
    const Placed& was = at96.controls[i];
    const Placed& is = scaled.controls[i];
    SCOPED_TRACE(was.name);
    ASSERT_EQ(is.name, was.name);
    const Bounds want = Scale(was.bounds, dpi);
    EXPECT_PRED3(alongside, is.bounds.left, want.left, wider);
    EXPECT_PRED3(alongside, is.bounds.top, want.top, taller);
    if (was.name.rfind("Label", 0) != 0) {
      EXPECT_PRED3(alongside, is.bounds.left + is.bounds.width, want.left + want.width, wider);
      EXPECT_PRED3(alongside, is.bounds.top + is.bounds.height, want.top + want.height, taller);
    }
    EXPECT_EQ(is.fontHeight, Scale(was.fontHeight, dpi));
  }
}

TEST(DisplayScaleTest, TheFormsFitAt120_144And192Dpi) {
  if (GetEnvironmentVariableA(kChildVariable, nullptr, 0) != 0) GTEST_SKIP() << "in the child";
  std::map<std::string, FormLayout> at96;
  {
    Forms forms;
    for (auto& [name, form] : forms.All()) at96[name] = LayoutOf(*form);
  }
  for (const int dpi : {120, 144, 192}) {
    SCOPED_TRACE(::testing::Message() << dpi << " dpi");
    const auto layouts = LayoutsAt(dpi);
    ASSERT_EQ(layouts.size(), 4u);
    for (const auto& [name, layout] : layouts) {
      SCOPED_TRACE(name);
      ExpectScaledFrom(at96.at(name), layout, dpi);
    }
  }
}

// Sends WM_DPICHANGED as Windows would, with a rectangle that gives the
// form a client area of `clientWidth` x `clientHeight` where it is.
RECT SendDpiChange(Form& form, int dpi, int clientWidth, int clientHeight, bool post = false) {
  RECT outer, client;
  GetWindowRect(form.Handle(), &outer);
  GetClientRect(form.Handle(), &client);
  static RECT suggested;  // read by a posted message after this returns
  suggested = {outer.left, outer.top,
               outer.left + clientWidth + (outer.right - outer.left - client.right),
               outer.top + clientHeight + (outer.bottom - outer.top - client.bottom)};
  const WPARAM dpis = MAKEWPARAM(dpi, dpi);
  if (post)
    PostMessageA(form.Handle(), WM_DPICHANGED, dpis, reinterpret_cast<LPARAM>(&suggested));
  else
    SendMessageA(form.Handle(), WM_DPICHANGED, dpis, reinterpret_cast<LPARAM>(&suggested));
  return suggested;
}

void ExpectLaidOutAs(const Form& form, const FormLayout& expected) {
  const FormLayout got = LayoutOf(form);
  EXPECT_EQ(got.clientWidth, expected.clientWidth);
  EXPECT_EQ(got.clientHeight, expected.clientHeight);
  ASSERT_EQ(got.controls.size(), expected.controls.size());
  for (size_t i = 0; i < got.controls.size(); ++i) EXPECT_EQ(got.controls[i], expected.controls[i]);
}

TEST(DisplayScaleTest, AChangeOfDpiLaysTheFormsOutAsAtThatDpiAndBack) {
  if (GetEnvironmentVariableA(kChildVariable, nullptr, 0) != 0) GTEST_SKIP() << "in the child";
  const auto at144 = LayoutsAt(144);
  ASSERT_EQ(at144.size(), 4u);
  Forms forms;
  for (auto& [name, form] : forms.All()) {
    SCOPED_TRACE(name);
    ASSERT_EQ(form->Dpi(), 96);
    const FormLayout at96 = LayoutOf(*form);
    const FormLayout& expected = at144.at(name);
    if (form == &forms.editor) {
      // Shown modally: the change arrives in the modal loop, which goes on
      // and ends as it should.
      SendDpiChange(*form, 144, expected.clientWidth, expected.clientHeight, true);
      PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
      EXPECT_EQ(form->ShowModal(forms.launcher.Handle()), IDCANCEL);
      EXPECT_TRUE(IsWindowEnabled(forms.launcher.Handle()));
    } else {
      const RECT suggested = SendDpiChange(*form, 144, expected.clientWidth, expected.clientHeight);
      RECT now;
      GetWindowRect(form->Handle(), &now);
      EXPECT_TRUE(EqualRect(&now, &suggested)) << "the suggested rectangle is not taken";
    }
    EXPECT_EQ(form->Dpi(), 144);
    ExpectLaidOutAs(*form, expected);
    SendDpiChange(*form, 96, at96.clientWidth, at96.clientHeight);
    ExpectLaidOutAs(*form, at96);
  }
}

// Started by the tests above, at the DPI they give.
TEST(DisplayScaleChild, TheFormsFitTheDisplaysDpi) {
  char setting[16] = {};
  if (GetEnvironmentVariableA(kChildVariable, setting, sizeof setting) == 0)
    GTEST_SKIP() << "runs in a process started by DisplayScaleTest";
  const int dpi = std::atoi(setting);
  // On its Wine desktop the process has no console: what it finds goes to
  // the log that the test prints.
  std::freopen(ChildFile(dpi, ".log").c_str(), "w", stdout);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ASSERT_EQ(SystemDpi(), dpi) << "LogPixels did not take effect";
  const RECT work = test::WorkAreaOf(GetDesktopWindow());
  ASSERT_GE(work.right - work.left, Scale(760, dpi)) << "a screen too small for this DPI";
  ASSERT_GE(work.bottom - work.top, Scale(480, dpi)) << "a screen too small for this DPI";
  Forms forms;
  std::map<std::string, FormLayout> layouts;
  for (auto& [name, form] : forms.All()) {
    SCOPED_TRACE(name);
    EXPECT_EQ(form->Dpi(), dpi);
    EXPECT_EQ(Misfits(*form), std::vector<std::string>{});
    layouts[name] = LayoutOf(*form);
  }
  // Sized by their client areas, scaled; or as a whole, scaled.
  EXPECT_EQ(layouts["StartForm"].clientWidth, Scale(111, dpi));
  EXPECT_EQ(layouts["StartForm"].clientHeight, Scale(41, dpi));
  EXPECT_EQ(layouts["MainCrt"].clientWidth, Scale(734, dpi));
  EXPECT_EQ(layouts["MainCrt"].clientHeight, Scale(411, dpi));
  RECT outer;
  GetWindowRect(forms.editor.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, Scale(721, dpi));
  EXPECT_EQ(outer.bottom - outer.top, Scale(470, dpi));
  if (!HasFailure()) std::ofstream(ChildFile(dpi, ".txt")) << Report(layouts);
}

}  // namespace
}  // namespace purga::win
