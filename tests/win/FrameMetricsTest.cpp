// The forms on current Windows frames: a Windows 10 title bar (22 pixels,
// one more for its line) and border (one pixel, plus a padded border of
// four) are larger than the classic ones the forms were drawn on. Nothing a
// form places inside it may fall outside the window it sits on.
//
// The metrics are read when a process starts: the test sets them in the
// prefix's desktop WindowMetrics, measures the forms in a process of its
// own, and puts the values back at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/StartCrt.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/GuiTestSupport.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/FolderSelect.h"
#include "ui/win/MainForm.h"

namespace purga::win {
namespace {

constexpr char kChildVariable[] = "PURGA_WINDOWS10_FRAMES_REPORT";
constexpr char kMetricsKey[] = "Control Panel\\Desktop\\WindowMetrics";

// A form as measured: client and outer sizes, and the controls that do not
// lie wholly inside the client area of the window they sit on.
struct Measure {
  int clientWidth = 0, clientHeight = 0, outerWidth = 0, outerHeight = 0;
  std::string overhanging;  // names, space-separated
  bool operator==(const Measure&) const = default;
};

void PrintTo(const Measure& m, std::ostream* out) {
  *out << "client " << m.clientWidth << " x " << m.clientHeight << ", outer " << m.outerWidth
       << " x " << m.outerHeight << ", overhanging [" << m.overhanging << "]";
}

Measure MeasureForm(const Form& form) {
  Measure m;
  RECT client, outer;
  GetClientRect(form.Handle(), &client);
  GetWindowRect(form.Handle(), &outer);
  m.clientWidth = client.right;
  m.clientHeight = client.bottom;
  m.outerWidth = outer.right - outer.left;
  m.outerHeight = outer.bottom - outer.top;
  for (const auto& control : form.Controls()) {
    RECT area;
    GetClientRect(GetParent(control->Handle()), &area);
    const Bounds b = control->GetBounds();
    if (b.left < 0 || b.top < 0 || b.left + b.width > area.right || b.top + b.height > area.bottom)
      m.overhanging += (m.overhanging.empty() ? "" : " ") + control->Name();
  }
  return m;
}

// The four forms, created as the program creates them.
std::map<std::string, Measure> MeasureForms() {
  InstallWin32Platform();
  TStartForm launcher;
  TSelect_Folder dialog(launcher.Handle());
  TMainCrt deletion;
  TFileUp editor;
  std::map<std::string, Measure> measured{{"StartForm", MeasureForm(launcher)},
                                          {"Select_Folder", MeasureForm(dialog)},
                                          {"MainCrt", MeasureForm(deletion)},
                                          {"FileUp", MeasureForm(editor)}};
  deletion.ShutDown();
  return measured;
}

std::string Report(const std::map<std::string, Measure>& forms) {
  std::ostringstream out;
  for (const auto& [name, m] : forms)
    out << name << ' ' << m.clientWidth << ' ' << m.clientHeight << ' ' << m.outerWidth << ' '
        << m.outerHeight << " |" << m.overhanging << "\n";
  return out.str();
}

std::map<std::string, Measure> ParseReport(const std::string& text) {
  std::map<std::string, Measure> forms;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line.substr(0, line.find('|')));
    std::string name;
    Measure m;
    fields >> name >> m.clientWidth >> m.clientHeight >> m.outerWidth >> m.outerHeight;
    m.overhanging = line.substr(line.find('|') + 1);
    forms[name] = m;
  }
  return forms;
}

// Where a form's controls go over their parent's edge by design: the
// deletion window's four buttons, 26 pixels high in a bar 23 high inside its
// bevel.
constexpr char kDeletionButtons[] = "SpeedButton1 SpeedButton5 SpeedButton6 SpeedButton2";

TEST(FrameMetricsTest, ClassicFramesGiveTheFormsTheirDrawnSizes) {
  const auto forms = MeasureForms();
  EXPECT_EQ(forms.at("StartForm"), (Measure{111, 41, 117, 66, ""}));
  EXPECT_EQ(forms.at("MainCrt"), (Measure{734, 411, 742, 438, kDeletionButtons}));
  EXPECT_EQ(forms.at("Select_Folder"), (Measure{623, 384, 631, 411, ""}));
  EXPECT_EQ(forms.at("FileUp"), (Measure{713, 443, 721, 470, ""}));
}

TEST(FrameMetricsTest, Windows10FramesKeepEveryControlInside) {
  if (GetEnvironmentVariableA(kChildVariable, nullptr, 0) != 0) GTEST_SKIP() << "in the child";
  const std::string report = test::TestExeFolder() + "windows10-frames.txt";
  DeleteFileW(ToWide(report).c_str());
  int code;
  {
    // Windows 10's own values, in twips: 22, 1 and 4 pixels.
    using test::RegistryChange;
    RegistryChange change(
        HKEY_CURRENT_USER, kMetricsKey,
        {RegistryChange::Text("CaptionHeight", "-330"), RegistryChange::Text("BorderWidth", "-15"),
         RegistryChange::Text("PaddedBorderWidth", "-60")});
    ASSERT_TRUE(change.Made());
    code = test::RunTestsInChild("FrameMetricsChild.*", kChildVariable, report);
  }
  EXPECT_EQ(code, 0) << "the measuring process failed";
  std::ifstream in(report);
  std::stringstream text;
  text << in.rdbuf();
  std::printf("Windows 10 frames:\n%s", text.str().c_str());
  const auto forms = ParseReport(text.str());
  ASSERT_EQ(forms.size(), 4u) << text.str();
  // Sized by their client areas: the frame grows around them.
  EXPECT_EQ(forms.at("StartForm"), (Measure{111, 41, 117, 70, ""}));
  EXPECT_EQ(forms.at("MainCrt"), (Measure{734, 411, 750, 450, kDeletionButtons}));
  // Sized as drawn outside: their contents follow the smaller client area.
  EXPECT_EQ(forms.at("Select_Folder"), (Measure{615, 372, 631, 411, ""}));
  EXPECT_EQ(forms.at("FileUp"), (Measure{705, 431, 721, 470, ""}));
}

// Started by the test above, with the Windows 10 metrics in place.
TEST(FrameMetricsChild, MeasureTheForms) {
  char report[MAX_PATH] = {};
  if (GetEnvironmentVariableA(kChildVariable, report, MAX_PATH) == 0)
    GTEST_SKIP() << "runs in a process started by Windows10FramesKeepEveryControlInside";
  // The metrics took effect: a 23-pixel title bar, an 8-pixel sizing frame.
  RECT frame{0, 0, 100, 100};
  AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, FALSE, 0);
  ASSERT_EQ(GetSystemMetrics(SM_CYCAPTION), 23);
  ASSERT_EQ(frame.left, -8);
  std::ofstream(report) << Report(MeasureForms());
}

}  // namespace
}  // namespace purga::win
