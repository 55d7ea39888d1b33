#include "platform/win32/UiCall.h"

#include <mutex>

#include "platform/win32/UiHandshake.h"
#include "platform/win32/Win32Api.h"

namespace purga {

namespace {

constexpr UINT kWakeMessage = WM_APP + 0x5C1;
constexpr UINT_PTR kResumeTimer = 1;
constexpr wchar_t kWindowClass[] = L"PurgaUiCall";
// A blocked caller looks at the slot again this often, to learn that the
// UiCall has gone.
constexpr DWORD kBlockMs = 100;
// What the message loop must see to, paint aside (serving paints itself):
// serving steps back for it at the next frame. A wake-up of our own still
// queued counts too; that is rare, a caller that saw the serving thread not
// listening just before it began to.
constexpr UINT kLoopWork = QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_TIMER | QS_HOTKEY;

BOOL CALLBACK PaintIfShown(HWND window, LPARAM) {
  if (::IsWindowVisible(window))
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return TRUE;
}

}  // namespace

struct UiCall::Shared final : UiHandshake::Host {
  UiHandshake handshake{*this, UiHandshake::kTiming};
  HWND window = nullptr;
  // The callers' wait object. The callers hold this state until their call
  // returns, and the serving thread until the UiCall goes: it outlives every
  // SetEvent.
  const HANDLE callerEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~Shared() {
    if (callerEvent != nullptr) ::CloseHandle(callerEvent);
  }
  std::function<void()> frameWork;  // user-interface thread only
  const uint64_t ticksPerSecond = [] {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(frequency.QuadPart);
  }();

  uint64_t Now() override {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<uint64_t>(counter.QuadPart);
    return ticks / ticksPerSecond * 1000000 + ticks % ticksPerSecond * 1000000 / ticksPerSecond;
  }

  void WakeServer() override {
    // The queue full or the window gone: the hand-over that needs neither a
    // free place in the queue nor a loop (a gone window ends it at once).
    if (!::PostMessageW(window, kWakeMessage, 0, 0)) ::SendMessageW(window, kWakeMessage, 0, 0);
  }
  void Block() override {
    if (callerEvent != nullptr)
      ::WaitForSingleObject(callerEvent, kBlockMs);
    else
      ::Sleep(1);  // no event could be made: the caller polls
  }
  void WakeCaller() override {
    if (callerEvent != nullptr) ::SetEvent(callerEvent);
  }

  bool Frame() noexcept override {
    if (frameWork) frameWork();
    // The high word: what is in the queue now, new or not. The low word has
    // only what came since the last look, and the GetMessage that took the
    // wake-up cleared that for work that was already waiting.
    const DWORD queued = HIWORD(::GetQueueStatus(QS_ALLINPUT));
    if (queued & QS_PAINT) ::EnumThreadWindows(::GetCurrentThreadId(), PaintIfShown, 0);
    return (queued & kLoopWork) != 0;
  }
  bool Defer() override {
    // Timer messages come after every other kind, the quit request
    // included (a posted message would come before that one): the loop sees
    // to its work first.
    return ::SetTimer(window, kResumeTimer, USER_TIMER_MINIMUM, nullptr) != 0;
  }
  void Paused() noexcept override {
    if (frameWork) frameWork();
  }

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* shared = reinterpret_cast<Shared*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (shared != nullptr && message == kWakeMessage) {
      shared->handshake.Serve(true);
      return 0;
    }
    if (shared != nullptr && message == WM_TIMER && wParam == kResumeTimer) {
      ::KillTimer(window, kResumeTimer);
      shared->handshake.Resume();
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  static void RegisterWindowClass() {
    static std::once_flag once;
    std::call_once(once, [] {
      WNDCLASSW windowClass = {};
      windowClass.lpfnWndProc = Proc;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kWindowClass;
      ::RegisterClassW(&windowClass);
    });
  }
};

UiCall::UiCall() : shared_(std::make_shared<Shared>()), thread_(::GetCurrentThreadId()) {
  Shared::RegisterWindowClass();
  shared_->window = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(shared_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shared_.get()));
}

UiCall::~UiCall() {
  shared_->handshake.Close();
  if (shared_->window != nullptr) {
    ::SetWindowLongPtrW(shared_->window, GWLP_USERDATA, 0);
    ::DestroyWindow(shared_->window);
  }
}

bool UiCall::OnUiThread() const { return ::GetCurrentThreadId() == thread_; }

void UiCall::SetFrameWork(std::function<void()> work) { shared_->frameWork = std::move(work); }

bool UiCall::Serving() const { return shared_->handshake.Serving(); }

void UiCall::Invoke(void (*function)(void*), void* context) {
  if (OnUiThread()) {
    function(context);
    return;
  }
  // Held for the whole call: the UiCall may go while the call waits.
  const std::shared_ptr<Shared> shared = shared_;
  shared->handshake.Call(function, context);
}

void UiCall::ServeFor(unsigned milliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    // The wake-ups carry nothing (the call is in the slot): dropped here.
    MSG message;
    while (::PeekMessageW(&message, shared_->window, kWakeMessage, kWakeMessage, PM_REMOVE)) {
    }
    shared_->handshake.Serve(false);
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                QS_POSTMESSAGE | QS_SENDMESSAGE);
  }
}

}  // namespace purga
