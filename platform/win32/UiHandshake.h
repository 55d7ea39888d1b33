// The hand-over behind UiCall, in shared memory: a caller thread publishes
// one call in a slot, the serving thread (the user-interface thread) runs it
// and marks it done.
//
// Going through the system for every call (a posted message, an event)
// costs a round trip through the Wine server, over 100 µs, for calls that
// come thousands of times a second. So while calls keep coming the serving
// thread stays on the slot instead of going back to its message loop, and
// the caller watches the slot for the result: a hand-over then costs a few
// cache-line transfers. Both sides watch only for a short window and then
// block, the caller on the handshake's one wait object, the serving thread
// in its message loop; a caller that finds the serving thread not listening
// wakes it with a posted message, which any message loop dispatches (modal
// ones included). While it serves, the serving thread paints at display
// rate and steps back to its loop as soon as the loop has other work: input,
// timers, posted or sent messages.
//
// Spinning pays only while both threads have a core: a waiting side yields
// its core now and then, and a caller that had to wake the serving thread
// blocks at once, so that the thread it woke can be scheduled.
//
// Nothing of the platform here: the host supplies waking, blocking, the
// clock and the frame work, so that the protocol also runs natively under
// ThreadSanitizer.
#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

namespace purga {

class UiHandshake {
 public:
  using Function = void (*)(void*);

  class Host {
   public:
    // A steady clock in microseconds, cheap to read; either side.
    virtual uint64_t Now() = 0;

    // Block and WakeCaller act on one wait object, an auto-reset event that
    // the host keeps for as long as the handshake: the serving thread may
    // still wake it after the caller it was meant for has gone (its block
    // timed out as the call completed, and it returned, or its thread
    // ended). Calls are serialised, so one object serves every caller.

    // Caller side, called on the caller's thread.
    // The serving thread is not listening: have its message loop call Serve.
    virtual void WakeServer() = 0;
    // Waits until WakeCaller, or a short while at most: the caller then
    // looks at the slot again (also after a stale wake), which is how it
    // learns that the handshake was closed.
    virtual void Block() = 0;

    // Serving side, called on the serving thread.
    virtual void WakeCaller() = 0;
    // Once per frame while serving: brings the display up to date. True
    // when the message loop has work waiting that only it can do, new or
    // queued before serving began.
    virtual bool Frame() noexcept = 0;
    // Serving steps back for the loop's work: have the loop call Resume once
    // that work is done. False when that cannot be arranged; serving then
    // goes on, and the loop's work waits for the end of the calls.
    virtual bool Defer() = 0;
    // Serving has paused: show the state that the last call left.
    virtual void Paused() noexcept = 0;

   protected:
    ~Host() = default;
  };

  // In microseconds.
  struct Timing {
    // How long the serving thread keeps listening after a call, and a
    // caller watches the slot before it blocks.
    uint64_t listen;
    uint64_t wait;
    // The display rate while serving.
    uint64_t frame;
  };
  // A caller watches for about what a block and a wake-up cost under Wine,
  // which keeps its worst case within twice the best one. The serving
  // thread listens longer, through the worker's usual longest gap between
  // two calls (a deletion, about a millisecond under Wine): going back to
  // the loop then would cost a wake-up and a paint of the captions.
  static constexpr Timing kTiming{1000, 300, 16000};

  UiHandshake(Host& host, Timing timing) : host_(host), timing_(timing) {}
  UiHandshake(const UiHandshake&) = delete;
  UiHandshake& operator=(const UiHandshake&) = delete;

  // --- caller side: any thread but the serving one ---

  // Runs `function(context)` on the serving thread and returns once it has
  // run: true. False when the handshake was closed before the call ran (it
  // never will). What the call threw is thrown here again.
  bool Call(Function function, void* context) {
    std::lock_guard<std::mutex> one(callers_);  // calls run in the order they take the slot
    function_ = function;
    context_ = context;
    failure_ = nullptr;
    uint32_t seen = word_.fetch_or(kPending, std::memory_order_acq_rel);
    if (seen & kClosed) {
      word_.fetch_and(~kPending, std::memory_order_acq_rel);
      return false;
    }
    // A serving thread that has to be woken must first be scheduled: the
    // caller makes way for it at once rather than spin on a shared core.
    bool blocking = !(seen & kListening);
    if (blocking) host_.WakeServer();

    const uint64_t spinEnd = host_.Now() + timing_.wait;
    for (unsigned spins = 1;; ++spins) {
      seen = word_.load(std::memory_order_acquire);
      if (seen & (kDone | kClosed)) break;
      if (!blocking) {
        if (spins % kSpinsPerClockRead != 0) {
          Relax();
          continue;
        }
        if (host_.Now() < spinEnd) {
          std::this_thread::yield();  // the serving thread may need this core
          continue;
        }
        blocking = true;
      }
      seen = word_.fetch_or(kAsleep, std::memory_order_acq_rel);
      if (!(seen & (kDone | kClosed))) host_.Block();
      word_.fetch_and(~kAsleep, std::memory_order_acq_rel);
    }
    seen = word_.fetch_and(~(kPending | kDone), std::memory_order_acq_rel);
    if (!(seen & kDone)) return false;  // closed first
    if (failure_) std::rethrow_exception(failure_);
    return true;
  }

  // --- serving side: the serving thread only ---

  // Serves the waiting call, then each one that follows within the listen
  // window, with a frame now and then. Steps back to the message loop when
  // the calls stop or, with `mayDefer`, when the loop has other work (Defer;
  // until Resume, further wake-ups serve nothing).
  void Serve(bool mayDefer) {
    if (serving_) {  // a message loop inside a call or a frame
      TryRun();
      return;
    }
    if (deferred_) {
      if (mayDefer) return;
      deferred_ = false;
    }
    // A wake-up whose call was served already, or none at all.
    if (!(word_.load(std::memory_order_acquire) & kPending)) return;
    serving_ = true;
    bool stepBack = false;
    uint64_t lastCall = host_.Now();
    uint64_t nextFrame = lastCall + timing_.frame;
    do {
      // Listening before the first look, so that the caller of the next call
      // sends no wake-up for a call that this loop serves anyway.
      word_.fetch_or(kListening, std::memory_order_acq_rel);
      for (unsigned idle = 0;;) {
        const bool ran = TryRun();
        if (!ran && ++idle % kSpinsPerClockRead != 0) {
          Relax();
          continue;
        }
        if (!ran) std::this_thread::yield();  // the caller may be waiting for this core
        const uint64_t now = host_.Now();
        if (ran) lastCall = now;
        if (now >= nextFrame) {
          nextFrame = now + timing_.frame;
          if (host_.Frame() && mayDefer && host_.Defer()) {
            stepBack = true;
            break;
          }
        }
        if (!ran && now - lastCall >= timing_.listen) break;
      }
      // A call published before this sees the listening flag gone was not
      // announced by a wake-up: serve it now, or, when stepping back, on
      // Resume.
    } while ((word_.fetch_and(~kListening, std::memory_order_acq_rel) & kPending) && !stepBack);
    serving_ = false;
    deferred_ = stepBack;
    host_.Paused();
  }

  // The message loop has done the work that Serve stepped back for.
  void Resume() {
    deferred_ = false;
    Serve(true);
  }

  // True while a call or a listen window is under way on this thread.
  bool Serving() const { return serving_; }

  // No call runs from now on; a caller waiting for one returns without it
  // (a blocked one at its next look, after Block's short while). On the
  // serving thread, outside Serve: from inside a call, the caller could
  // return while its call still runs.
  void Close() {
    assert(!serving_);
    word_.fetch_or(kClosed, std::memory_order_acq_rel);
  }

 private:
  static constexpr uint32_t kPending = 1;    // a call is in the slot, not yet taken
  static constexpr uint32_t kDone = 2;       // the call in the slot has run
  static constexpr uint32_t kListening = 4;  // the serving thread watches the slot
  static constexpr uint32_t kAsleep = 8;     // the caller is blocked: wake it
  static constexpr uint32_t kClosed = 16;
  // Reading the clock costs more than a look at the slot.
  static constexpr unsigned kSpinsPerClockRead = 64;

  static void Relax() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
  }

  bool TryRun() {
    const uint32_t seen = word_.load(std::memory_order_acquire);
    if (!(seen & kPending) || (seen & kClosed)) return false;
    word_.fetch_and(~kPending, std::memory_order_acq_rel);
    try {
      function_(context_);
    } catch (...) {
      failure_ = std::current_exception();
    }
    if (word_.fetch_or(kDone, std::memory_order_acq_rel) & kAsleep) host_.WakeCaller();
    return true;
  }

  Host& host_;
  const Timing timing_;
  std::atomic<uint32_t> word_{0};
  // The slot: written by its caller before kPending, read by the serving
  // thread after it; failure_ the other way round, before kDone.
  std::mutex callers_;
  Function function_ = nullptr;
  void* context_ = nullptr;
  std::exception_ptr failure_;
  // The serving thread's own.
  bool serving_ = false;
  bool deferred_ = false;
};

}  // namespace purga
