// The hand-over's protocol on native threads (and under ThreadSanitizer): a
// serving thread with a small message loop of its own stands in for the
// user-interface thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/UiHandshake.h"
#include "tests/native/RunHarness.h"

namespace purga {
namespace {

using test::WaitUntil;

// An auto-reset event, as the Windows host blocks on.
class Event {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    changed_.notify_one();
  }
  void WaitBriefly(std::chrono::microseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return set_; });
    set_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// How a host behaves, beyond the handshake's timing.
struct HostBehaviour {
  // Every `stepBackEvery`-th frame reports work waiting in the loop, so that
  // serving steps back (0: never).
  int stepBackEvery = 0;
  // Resuming cannot be arranged (a timer that could not be set).
  bool deferFails = false;
  // A blocked caller looks again after this long at most.
  std::chrono::microseconds block{100000};
};

// The serving thread and its loop: wake-ups and resume requests queue up as
// posted messages and timer messages would.
class ServingThread : public UiHandshake::Host {
 public:
  ServingThread(UiHandshake::Timing timing, HostBehaviour behaviour = {})
      : handshake(*this, timing), behaviour_(behaviour) {}
  ~ServingThread() { StopLoop(); }

  void StartLoop() {
    thread_ = std::thread([this] {
      id_.store(std::this_thread::get_id());
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        queueChanged_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const bool resume = queue_.front();
        queue_.pop_front();
        lock.unlock();
        if (resume)
          handshake.Resume();
        else
          handshake.Serve(true);
        servesReturned.fetch_add(1);
        lock.lock();
      }
    });
  }
  void StopLoop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    queueChanged_.notify_one();
    if (thread_.joinable()) thread_.join();
  }
  bool OnServingThread() const { return std::this_thread::get_id() == id_.load(); }

  uint64_t Now() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  void WakeServer() override {
    wakes.fetch_add(1);
    Post(false);
  }
  void Block() override { callerEvent_.WaitBriefly(behaviour_.block); }
  void WakeCaller() override { callerEvent_.Set(); }
  bool Frame() noexcept override {
    frameWork();
    return behaviour_.stepBackEvery > 0 && ++frames_ % behaviour_.stepBackEvery == 0;
  }
  bool Defer() override {
    if (behaviour_.deferFails) return false;
    Post(true);
    return true;
  }
  void Paused() noexcept override { frameWork(); }

  UiHandshake handshake;
  std::function<void()> frameWork = [] {};
  std::atomic<int> wakes{0};
  std::atomic<int> posted{0};
  std::atomic<int> servesReturned{0};

  // Nothing queued, nothing being served.
  bool AtRest() const { return servesReturned.load() == posted.load(); }

 private:
  void Post(bool resume) {
    posted.fetch_add(1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(resume);
    }
    queueChanged_.notify_one();
  }

  const HostBehaviour behaviour_;
  int frames_ = 0;
  Event callerEvent_;
  std::atomic<std::thread::id> id_{};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable queueChanged_;
  std::deque<bool> queue_;  // true: resume, false: wake-up
  bool stop_ = false;
};

struct TimingCase {
  const char* name;
  UiHandshake::Timing timing;
  HostBehaviour host;
};

// From "always block, a frame at every look" to the program's own windows.
const TimingCase kTimings[] = {
    {"NoSpinning", {0, 0, 0}, {}},
    {"NoSpinningSteppingBack", {0, 0, 0}, {2}},
    {"ShortWindows", {50, 20, 100}, {3}},
    {"ProgramTiming", UiHandshake::kTiming, {}},
    {"ProgramTimingSteppingBack", {2000, 2000, 200}, {2}},
    // The loop has work at every frame, but serving cannot step back for it.
    {"CannotDefer", {0, 0, 0}, {1, true}},
    // Blocks time out about as the calls complete.
    {"BlocksTimingOut", {0, 0, 0}, {0, false, std::chrono::microseconds(1)}},
};

TEST(UiHandshakeTest, CallsFromSeveralThreadsRunOnTheServingThreadInOrderBeforeTheirCallersGoOn) {
  for (const TimingCase& c : kTimings) {
    SCOPED_TRACE(c.name);
    ServingThread server(c.timing, c.host);
    server.StartLoop();
    constexpr int kThreads = 3;
    constexpr int kCalls = 1500;
    // Each caller's calls come from a chain of threads, each ending right
    // after its last call: the serving thread may still be waking it.
    constexpr int kCallsPerThread = 50;
    std::vector<std::pair<int, int>> ran;  // serving thread only: (caller, call)
    std::atomic<int> wrongThread{0}, notYetRun{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t)
      callers.emplace_back([&, t] {
        for (int first = 0; first < kCalls; first += kCallsPerThread)
          std::thread([&, t, first] {
            for (int i = first; i < first + kCallsPerThread; ++i) {
              size_t position = 0;
              auto work = [&] {
                if (!server.OnServingThread()) wrongThread.fetch_add(1);
                ran.emplace_back(t, i);
                position = ran.size();
              };
              const bool done = server.handshake.Call(
                  [](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work);
              if (!done || position == 0) notYetRun.fetch_add(1);
            }
          }).join();
      });
    for (std::thread& caller : callers) caller.join();
    server.StopLoop();
    EXPECT_EQ(wrongThread.load(), 0);
    EXPECT_EQ(notYetRun.load(), 0);
    ASSERT_EQ(ran.size(), static_cast<size_t>(kThreads * kCalls));
    std::vector<int> next(kThreads, 0);
    for (const auto& [caller, call] : ran) EXPECT_EQ(call, next[caller]++) << "caller " << caller;
  }
}

TEST(UiHandshakeTest, TheLastCallsStateIsShownOnceServingPauses) {
  for (const TimingCase& c : kTimings) {
    SCOPED_TRACE(c.name);
    ServingThread server(c.timing, c.host);
    int latest = 0, shown = 0;  // written on the serving thread
    server.frameWork = [&] { shown = latest; };
    server.StartLoop();
    std::thread caller([&] {
      for (int i = 1; i <= 500; ++i) {
        auto work = [&] { latest = i; };
        server.handshake.Call([](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work);
      }
    });
    caller.join();
    ASSERT_TRUE(WaitUntil([&] { return server.AtRest(); }));
    EXPECT_EQ(shown, 500);
    server.StopLoop();
  }
}

TEST(UiHandshakeTest, AfterTheCallsStopTheServingThreadGoesBackToItsLoop) {
  ServingThread server(UiHandshake::kTiming);
  server.StartLoop();
  std::thread caller([&] {
    for (int i = 0; i < 200; ++i) {
      auto work = [] {};
      server.handshake.Call([](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work);
    }
  });
  caller.join();
  // Every wake-up it was given has been served and returned from: nobody
  // is left spinning on the slot.
  EXPECT_TRUE(WaitUntil([&] { return server.AtRest(); }));
  EXPECT_GE(server.wakes.load(), 1);
}

TEST(UiHandshakeTest, WhatACallThrowsReachesItsCaller) {
  ServingThread server(UiHandshake::kTiming);
  server.StartLoop();
  std::string caught;
  std::thread caller([&] {
    auto work = [] { throw std::runtime_error("on the serving thread"); };
    try {
      server.handshake.Call([](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work);
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  });
  caller.join();
  EXPECT_EQ(caught, "on the serving thread");
}

TEST(UiHandshakeTest, ClosingReleasesAWaitingCallerWithoutRunningItsCall) {
  for (const TimingCase& c : kTimings) {
    SCOPED_TRACE(c.name);
    // No loop: nobody serves the wake-up.
    auto server = std::make_unique<ServingThread>(c.timing);
    std::atomic<bool> ran{false}, returned{false}, result{true};
    std::thread caller([&] {
      auto work = [&] { ran.store(true); };
      result.store(
          server->handshake.Call([](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work));
      returned.store(true);
    });
    ASSERT_TRUE(WaitUntil([&] { return server->wakes.load() == 1; }));
    server->handshake.Close();
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    caller.join();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(ran.load());
    // A call begun after closing does not run either.
    bool late = false;
    std::thread after([&] {
      auto work = [&] { late = true; };
      result.store(
          server->handshake.Call([](void* w) { (*static_cast<decltype(work)*>(w))(); }, &work));
    });
    after.join();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(late);
  }
}

}  // namespace
}  // namespace purga
