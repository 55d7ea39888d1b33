// A deletion run against the fake platform, with a dispatcher thread standing
// in for the user-interface thread: every RunWindow call is carried out there
// while the worker waits, and lands in one timeline together with the fake's
// operations, in the order in which they happened.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/RunWindow.h"
#include "tests/fake/FakePlatform.h"

namespace purga::test {

inline const char* CaptionName(RunCaption which) {
  switch (which) {
    case RunCaption::FreeSpace:
      return "FreeSpace";
    case RunCaption::SpaceWon:
      return "SpaceWon";
    case RunCaption::ReadCount:
      return "ReadCount";
    case RunCaption::DeletedCount:
      return "DeletedCount";
  }
  return "?";
}

// Polls `done` until it holds or `timeout` passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class DispatcherWindow : public RunWindow {
 public:
  // Timeline lines: "Caption <name> <text>", "Progress <text>", and every
  // operation of `os` as the fake logs it.
  explicit DispatcherWindow(FakePlatform& os);
  ~DispatcherWindow() override;

  void ShowCaption(RunCaption which, const std::string& text) override;
  void ShowProgress(const std::string& text) override;

  // Runs on the dispatcher thread after each call has been recorded (a user
  // acting between two hand-overs), with the call's timeline line. What it
  // throws is thrown to the worker by the call.
  std::function<void(const std::string& line)> onCall;
  // Runs on the worker's thread before each fake operation, with its line.
  std::function<void(const std::string& line)> onOperation;
  // Time the dispatcher spends on each call before it records it.
  std::chrono::microseconds holdEachCall{0};

  std::vector<std::string> Timeline() const;
  // The timeline lines that begin with one of `prefixes`.
  std::vector<std::string> Lines(const std::vector<std::string>& prefixes) const;
  std::string Caption(RunCaption which) const;
  int CallCount() const;

 private:
  void Dispatch(std::function<void()> work);
  void Append(const std::string& line);
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> pending_;
  std::exception_ptr failure_;
  bool busy_ = false;
  bool quit_ = false;
  int calls_ = 0;
  FakePlatform& os_;
  std::string captions_[4];
  std::vector<std::string> timeline_;
  mutable std::mutex timelineMutex_;
  std::thread thread_;
};

}  // namespace purga::test
