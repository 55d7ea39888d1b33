// "Run this on the user-interface thread and wait": the hand-over that a
// worker thread uses for everything the user-interface thread owns (the
// deletion window's captions and progress text).
//
// A UiCall is made on the user-interface thread. A call is handed over
// through shared memory (UiHandshake.h): while calls keep coming, that
// thread stays on them and the caller watches for the result, so a call
// costs little more than its own work. Between bursts the thread is back in
// whatever message loop it runs (the main loop, a modal form's, a message
// box's, a menu's, moving or sizing a window, a loop that drains pending
// messages): a caller wakes it with a message posted to a message-only
// window of the thread, which any of these loops dispatches. Calls from any
// number of threads run one at a time, in the order issued, each before its
// caller goes on.
//
// While it serves a burst, the thread paints its windows at display rate and
// steps back to its loop at the next frame when input, a timer, a posted or
// a sent message is waiting, so the windows stay responsive during a run.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>

namespace purga {

class UiCall {
 public:
  // Creates the window on the calling thread, which becomes the thread that
  // runs the calls.
  UiCall();
  // Destroy it only when no other thread can begin a call any more (for the
  // deletion worker: after TFileDelte::StopAndWait or once no worker is
  // alive). A call still waiting when it is destroyed returns without
  // having run.
  ~UiCall();
  UiCall(const UiCall&) = delete;
  UiCall& operator=(const UiCall&) = delete;

  // Runs `work()` on the user-interface thread and returns when it has run;
  // on that thread itself, runs it at once. What `work` throws is thrown
  // here again.
  template <typename Work>
  void Run(Work&& work) {
    Invoke([](void* context) { (*static_cast<std::remove_reference_t<Work>*>(context))(); },
           const_cast<void*>(static_cast<const void*>(&work)));
  }

  // On the user-interface thread: carries out the calls waiting for it or
  // arriving within `milliseconds`. For a thread that waits for a worker
  // without its message loop, e.g.
  //   TFileDelte::StopAndWait([&] { ui.ServeFor(10); });
  void ServeFor(unsigned milliseconds);

  // What a window shows of calls that come faster than it can be painted
  // (the name of every file examined): run on the user-interface thread once
  // per frame while calls are being served, and whenever serving pauses, so
  // that what the last call left is always shown in the end. It runs
  // outside any call, where nothing may be thrown: it must not throw.
  void SetFrameWork(std::function<void()> work);
  // True on the user-interface thread while it is serving calls; frame work
  // will follow.
  bool Serving() const;

  bool OnUiThread() const;

 private:
  struct Shared;
  void Invoke(void (*function)(void*), void* context);

  // Shared with the callers that are waiting, so that it outlives this
  // object for them.
  std::shared_ptr<Shared> shared_;
  unsigned long thread_;
};

}  // namespace purga
