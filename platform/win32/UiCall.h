// "Run this on the user-interface thread and wait": the hand-over that a
// worker thread uses for everything the user-interface thread owns (the
// deletion window's captions and progress text).
//
// A UiCall is made on the user-interface thread and serves calls through a
// message-only window of that thread, so any message loop of the thread
// (the main loop, a modal form's, a message box's) carries them out. The
// caller posts one message carrying the call and waits on an event of its
// own thread until the call has run; calls from one thread therefore run
// one after the other, in the order issued, each before the caller goes on.
// Posting and waiting on an event costs about half of a cross-thread
// SendMessage under Wine (see bench/README.md).
#pragma once

#include <type_traits>

namespace purga {

class UiCall {
 public:
  // Creates the window on the calling thread, which becomes the thread that
  // runs the calls.
  UiCall();
  // Destroy it only when no other thread can call Run any more (for the
  // deletion worker: after TFileDelte::StopAndWait or once no worker is
  // alive). A call still waiting when its window has gone returns without
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

  // On the user-interface thread: carries out the calls waiting for it,
  // after waiting up to `milliseconds` for one to arrive. For a thread that
  // waits for a worker without its message loop, e.g.
  //   TFileDelte::StopAndWait([&] { ui.ServeFor(10); });
  void ServeFor(unsigned milliseconds);

  bool OnUiThread() const;

 private:
  void Invoke(void (*function)(void*), void* context);

  void* window_;
  unsigned long thread_;
};

}  // namespace purga
