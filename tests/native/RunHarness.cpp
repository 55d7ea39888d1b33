#include "tests/native/RunHarness.h"

#include <utility>

#include "engine/DeleteF.h"

namespace purga::test {

DispatcherWindow::DispatcherWindow(FakePlatform& os) : os_(os), thread_([this] { Loop(); }) {
  os_.beforeOperation = [this](const std::string& line) {
    Append(line);
    if (onOperation) onOperation(line);
  };
}

DispatcherWindow::~DispatcherWindow() {
  // A worker that is still running (a failed test) must not call into a
  // destroyed window: the dispatcher serves it until it has ended.
  WaitUntil([] { return !TFileDelte::Alive(); });
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
  os_.beforeOperation = nullptr;
}

void DispatcherWindow::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || pending_; });
    if (!pending_) return;
    std::function<void()> work = std::move(pending_);
    pending_ = nullptr;
    lock.unlock();
    std::exception_ptr failure;
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    busy_ = false;
    ++calls_;
    wake_.notify_all();
  }
}

void DispatcherWindow::Dispatch(std::function<void()> work) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !busy_; });
  busy_ = true;
  pending_ = std::move(work);
  wake_.notify_all();
  wake_.wait(lock, [this] { return !busy_; });
  if (std::exception_ptr failure = std::exchange(failure_, nullptr))
    std::rethrow_exception(failure);
}

void DispatcherWindow::Append(const std::string& line) {
  std::lock_guard lock(timelineMutex_);
  timeline_.push_back(line);
}

void DispatcherWindow::ShowCaption(RunCaption which, const std::string& text) {
  Dispatch([this, which, text] {
    if (holdEachCall.count() > 0) std::this_thread::sleep_for(holdEachCall);
    {
      std::lock_guard lock(mutex_);
      captions_[static_cast<int>(which)] = text;
    }
    const std::string line = std::string("Caption ") + CaptionName(which) + " " + text;
    Append(line);
    if (onCall) onCall(line);
  });
}

void DispatcherWindow::ShowProgress(const std::string& text) {
  Dispatch([this, text] {
    if (holdEachCall.count() > 0) std::this_thread::sleep_for(holdEachCall);
    const std::string line = "Progress " + text;
    Append(line);
    if (onCall) onCall(line);
  });
}

std::vector<std::string> DispatcherWindow::Timeline() const {
  std::lock_guard lock(timelineMutex_);
  return timeline_;
}

std::vector<std::string> DispatcherWindow::Lines(const std::vector<std::string>& prefixes) const {
  std::vector<std::string> lines;
  for (const std::string& line : Timeline())
    for (const std::string& prefix : prefixes)
      if (line.rfind(prefix, 0) == 0) {
        lines.push_back(line);
        break;
      }
  return lines;
}

std::string DispatcherWindow::Caption(RunCaption which) const {
  std::lock_guard lock(mutex_);
  return captions_[static_cast<int>(which)];
}

int DispatcherWindow::CallCount() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

}  // namespace purga::test
