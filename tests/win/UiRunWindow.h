// A RunWindow for the Windows tests: each call is carried out on the
// user-interface thread through a UiCall, as the deletion window does it,
// and only stores what the run shows.
#pragma once

#include <string>
#include <vector>

#include "engine/RunWindow.h"
#include "platform/win32/UiCall.h"

namespace purga::test {

class UiRunWindow : public RunWindow {
 public:
  // With `keepLog`, every call is also appended to `log` ("Caption <index>
  // <text>", "Progress <text>"); without it the window holds only the
  // latest texts, whatever the length of the run.
  explicit UiRunWindow(UiCall& ui, bool keepLog = false) : ui_(ui), keepLog_(keepLog) {}

  void ShowCaption(RunCaption which, const std::string& text) override {
    ui_.Run([&] {
      captions[static_cast<int>(which)] = text;
      Called("Caption " + std::to_string(static_cast<int>(which)) + " " + text);
    });
  }
  void ShowProgress(const std::string& text) override {
    ui_.Run([&] {
      progress = text;
      Called("Progress " + text);
    });
  }

  // Read and written on the user-interface thread only.
  std::string captions[4];
  std::string progress;
  long calls = 0;
  std::vector<std::string> log;

 private:
  void Called(const std::string& line) {
    ++calls;
    if (keepLog_) log.push_back(line);
  }

  UiCall& ui_;
  bool keepLog_;
};

}  // namespace purga::test
