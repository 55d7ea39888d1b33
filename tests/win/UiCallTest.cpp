// The hand-over to the user-interface thread under Wine: order, the loops
// that must serve it, and what the thread still does for its windows
// while it serves a stream of calls.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/commFunc.h"
#include "platform/win32/UiCall.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/GuiTestSupport.h"

namespace purga {
namespace {

using test::PumpUntil;
using test::WaitFor;

TEST(UiCallWinTest, CallsOfTwoThreadsRunInTheOrderEachIssuedThem) {
  UiCall ui;
  constexpr int kCalls = 3000;
  std::vector<std::pair<int, int>> order;  // user-interface thread only: (thread, call)
  std::atomic<int> offThread{0}, notYetRun{0}, finished{0};
  std::atomic<bool> abandon{false};
  std::vector<std::thread> callers;
  for (int t = 0; t < 2; ++t)
    callers.emplace_back([&, t] {
      for (int i = 0; i < kCalls && !abandon.load(); ++i) {
        bool ran = false;
        ui.Run([&] {
          if (!ui.OnUiThread()) offThread.fetch_add(1);
          order.emplace_back(t, i);
          ran = true;
        });
        if (!ran) notYetRun.fetch_add(1);
      }
      finished.fetch_add(1);
    });
  const bool served = PumpUntil([&] { return finished.load() == 2; }, 60000);
  abandon.store(true);
  PumpUntil([&] { return finished.load() == 2; });
  for (std::thread& caller : callers) caller.join();
  ASSERT_TRUE(served);
  EXPECT_EQ(offThread.load(), 0);
  EXPECT_EQ(notYetRun.load(), 0);
  ASSERT_EQ(order.size(), 2u * kCalls);
  int next[2] = {0, 0};
  for (const auto& [thread, call] : order) ASSERT_EQ(call, next[thread]++);
}

// A top-level window of the test thread that counts its paints and the
// messages sent or posted to it.
class CountingWindow {
 public:
  CountingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &Proc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PurgaCountingWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&windowClass);
    handle = ::CreateWindowExA(0, "PurgaCountingWindow", "UiCall test", WS_OVERLAPPEDWINDOW, 40, 40,
                               240, 160, nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::ShowWindow(handle, SW_SHOW);
    PumpUntil([&] { return paints.load() > 0; });
  }
  ~CountingWindow() { ::DestroyWindow(handle); }

  HWND handle;
  std::atomic<int> paints{0};
  std::atomic<int> paintsWhileServing{0};
  std::atomic<int> userMessages{0};
  std::atomic<int> keyPresses{0};
  std::atomic<bool> inMoveLoop{false};
  UiCall* ui = nullptr;
  std::function<void()> onUserOrKey = [] {};

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CountingWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr) switch (message) {
        case WM_PAINT: {
          PAINTSTRUCT paint;
          ::BeginPaint(hwnd, &paint);
          ::EndPaint(hwnd, &paint);
          self->paints.fetch_add(1);
          if (self->ui != nullptr && self->ui->Serving()) self->paintsWhileServing.fetch_add(1);
          return 0;
        }
        case WM_USER:
          self->userMessages.fetch_add(1);
          self->onUserOrKey();
          return 0;
        case WM_KEYDOWN:
          self->keyPresses.fetch_add(1);
          self->onUserOrKey();
          return 0;
        case WM_ENTERSIZEMOVE:
          self->inMoveLoop.store(true);
          break;
        case WM_EXITSIZEMOVE:
          self->inMoveLoop.store(false);
          break;
        default:
          break;
      }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
};

// A worker that keeps calling until told to stop, counting its calls.
struct EndlessCalls {
  explicit EndlessCalls(
      UiCall& ui, const std::function<void()>& each = [] {})
      : thread([this, &ui, each] {
          while (!stop.load()) {
            ui.Run(each);
            calls.fetch_add(1);
          }
          ended.store(true);
        }) {}
  // On the user-interface thread: the last call may still wait for it (for
  // the resumption after a step back), so it serves until the worker ends.
  ~EndlessCalls() {
    stop.store(true);
    PumpUntil([&] { return ended.load(); }, 60000);
    if (thread.joinable()) thread.join();
  }
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  std::atomic<bool> ended{false};
  std::thread thread;
};

TEST(UiCallWinTest, WhileCallsKeepComingTheWindowsArePaintedAndTheirMessagesHandled) {
  UiCall ui;
  CountingWindow window;
  window.ui = &ui;
  std::atomic<long> atPaint{-1}, atSent{-1}, atPosted{-1}, atEnd{-1};
  {
    EndlessCalls calls(ui);
    // The user-interface thread serves the stream; a helper thread checks,
    // with the stream still flowing, what the windows got meanwhile.
    std::thread helper([&] {
      if (WaitFor([&] { return calls.calls.load() > 1000; })) {
        // Painted by serving, not by the loop in a pause of the calls (a
        // worker kept off its core for a millisecond).
        if (WaitFor([&] {
              ::InvalidateRect(window.handle, nullptr, TRUE);
              return window.paintsWhileServing.load() > 0;
            }))
          atPaint.store(calls.calls.load());
        // A sent message (how another thread clicks Stop) and a posted one.
        ::SendMessageA(window.handle, WM_USER, 0, 0);
        atSent.store(calls.calls.load());
        ::PostMessageA(window.handle, WM_USER, 0, 0);
        if (WaitFor([&] { return window.userMessages.load() == 2; }))
          atPosted.store(calls.calls.load());
        const long then = calls.calls.load();
        if (WaitFor([&] { return calls.calls.load() > then + 1000; }))
          atEnd.store(calls.calls.load());
      }
      calls.stop.store(true);
    });
    EXPECT_TRUE(PumpUntil([&] { return calls.stop.load(); }, 60000));
    helper.join();
  }
  // Each happened while the calls were still being served, and they went
  // on afterwards.
  EXPECT_GT(atPaint.load(), 1000);
  EXPECT_GT(atSent.load(), 1000);
  EXPECT_GT(atPosted.load(), 1000);
  EXPECT_GT(atEnd.load(), atPosted.load());
}

// A click on Stop may already wait in the queue when a run's burst of calls
// begins (the GetMessage that took the wake-up has cleared the news of it):
// serving steps back for it at its first frame, not once the calls pause.
TEST(UiCallWinTest, WorkQueuedBeforeABurstIsSeenToAtTheFirstFrame) {
  UiCall ui;
  CountingWindow window;
  ::SetForegroundWindow(window.handle);
  ::SetFocus(window.handle);
  int frames = 0;  // user-interface thread only
  std::atomic<int> framesBeforeIt{-1};
  ui.SetFrameWork([&] { ++frames; });
  window.onUserOrKey = [&] { framesBeforeIt.store(frames); };
  const struct {
    const char* name;
    std::function<void()> queue;
    UINT kind;
  } cases[] = {
      {"posted message", [&] { ::PostMessageA(window.handle, WM_USER, 0, 0); }, QS_POSTMESSAGE},
      {"key press",
       [] {
         INPUT keys[2] = {};
         keys[0].type = keys[1].type = INPUT_KEYBOARD;
         keys[0].ki.wVk = keys[1].ki.wVk = VK_F9;
         keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
         ::SendInput(2, keys, sizeof(INPUT));
       },
       QS_KEY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto queued = [](UINT kind) { return (HIWORD(::GetQueueStatus(kind)) & kind) != 0; };
    framesBeforeIt.store(-1);
    {
      EndlessCalls calls(ui);
      // The first call's wake-up waits in the queue, then the work behind it.
      EXPECT_TRUE(WaitFor([&] { return queued(QS_POSTMESSAGE); }));
      c.queue();
      EXPECT_TRUE(WaitFor([&] { return queued(c.kind); }));
      frames = 0;
      // Stopping the calls makes serving pause, when the work is seen to
      // at last if it was not before.
      std::thread helper([&] {
        WaitFor([&] { return framesBeforeIt.load() >= 0 || calls.calls.load() > 200000; }, 30000);
        calls.stop.store(true);
      });
      EXPECT_TRUE(PumpUntil([&] { return calls.stop.load(); }, 60000));
      helper.join();
    }
    EXPECT_GE(framesBeforeIt.load(), 0) << "not seen to";
    // The first frame, and the pause that steps back.
    EXPECT_LE(framesBeforeIt.load(), 2);
  }
}

TEST(UiCallWinTest, CallsAreServedInsideModalLoops) {
  InstallWin32Platform();
  UiCall ui;
  CountingWindow window;
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuA(menu, MF_STRING, 1, "item");
  std::atomic<HWND> found{nullptr};
  std::atomic<bool> inPendingLoop{false}, drained{false};
  const auto shown = [&](const char* className, const char* caption) {
    found.store(::FindWindowA(className, caption));
    return found.load() != nullptr && ::IsWindowVisible(found.load());
  };
  // How this thread enters the loop, how anyone sees that it is in it, and
  // how the worker ends it once its calls are done.
  const struct {
    const char* name;
    std::function<void()> enter;
    std::function<bool()> inLoop;
    std::function<void()> leave;
  } loops[] = {
      {"message box", [] { ::MessageBoxA(nullptr, "the calls run in here", "UiCall box", MB_OK); },
       [&] { return shown("#32770", "UiCall box"); },
       [&] { ::PostMessageA(found.load(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }},
      {"menu",
       [&] {
         ::SetForegroundWindow(window.handle);
         ::TrackPopupMenu(menu, TPM_RETURNCMD, 60, 60, 0, window.handle, nullptr);
       },
       [&] { return shown("#32768", nullptr); }, [&] { ui.Run([] { ::EndMenu(); }); }},
      // Return ends a keyboard move where it is.
      {"keyboard move",
       [&] {
         ::SetForegroundWindow(window.handle);
         ::SendMessageA(window.handle, WM_SYSCOMMAND, SC_MOVE, 0);
       },
       [&] { return window.inMoveLoop.load(); },
       [&] { ::PostMessageA(window.handle, WM_KEYDOWN, VK_RETURN, 0); }},
      // The clean-up's loop, run over and over as it is while the cache is
      // emptied; the calls are served only inside it.
      {"pending-message loop",
       [&] {
         while (!drained.load()) {
           inPendingLoop.store(true);
           ProcessPendingMessages();
           inPendingLoop.store(false);
           ::Sleep(1);
         }
       },
       [&] { return inPendingLoop.load(); }, [&] { drained.store(true); }},
  };
  constexpr int kCalls = 300;
  for (const auto& loop : loops) {
    SCOPED_TRACE(loop.name);
    std::vector<int> ran;  // user-interface thread only
    std::atomic<int> outsideTheLoop{0};
    std::thread worker([&] {
      if (!WaitFor(loop.inLoop)) {
        ADD_FAILURE() << "the loop did not start";
        return;
      }
      for (int i = 0; i < kCalls; ++i)
        ui.Run([&] {
          if (!loop.inLoop()) outsideTheLoop.fetch_add(1);
          ran.push_back(i);
        });
      loop.leave();
    });
    // Nothing but the loop runs on this thread until the worker ends it.
    loop.enter();
    worker.join();
    ASSERT_EQ(ran.size(), static_cast<size_t>(kCalls));
    for (int i = 0; i < kCalls; ++i) EXPECT_EQ(ran[i], i);
    EXPECT_EQ(outsideTheLoop.load(), 0);
  }
  ::DestroyMenu(menu);
}

}  // namespace
}  // namespace purga
