#include "platform/win32/UiCall.h"

#include <exception>
#include <mutex>

#include "platform/win32/Win32Api.h"

namespace purga {

namespace {

constexpr UINT kCallMessage = WM_APP + 0x5C1;
constexpr char kWindowClass[] = "PurgaUiCall";
// How often a waiting caller checks that the window still exists.
constexpr DWORD kWindowCheckMs = 200;

struct PendingCall {
  void (*function)(void*);
  void* context;
  HANDLE done;  // null when the call was sent rather than posted
  std::exception_ptr failure;
};

LRESULT CALLBACK UiCallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kCallMessage) return ::DefWindowProcA(window, message, wParam, lParam);
  auto* call = reinterpret_cast<PendingCall*>(lParam);
  // No exception may cross the system's frames: it goes back to the caller.
  try {
    call->function(call->context);
  } catch (...) {
    call->failure = std::current_exception();
  }
  if (call->done != nullptr) ::SetEvent(call->done);
  return 0;
}

void RegisterWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = UiCallProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassA(&windowClass);
  });
}

// The auto-reset event on which this thread waits for its calls.
HANDLE ThreadEvent() {
  struct Event {
    HANDLE handle = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ~Event() {
      if (handle != nullptr) ::CloseHandle(handle);
    }
  };
  thread_local Event event;
  return event.handle;
}

}  // namespace

UiCall::UiCall() : window_(nullptr), thread_(::GetCurrentThreadId()) {
  RegisterWindowClass();
  window_ = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ::GetModuleHandleA(nullptr), nullptr);
}

UiCall::~UiCall() {
  if (window_ != nullptr) ::DestroyWindow(static_cast<HWND>(window_));
}

bool UiCall::OnUiThread() const { return ::GetCurrentThreadId() == thread_; }

void UiCall::Invoke(void (*function)(void*), void* context) {
  if (OnUiThread()) {
    function(context);
    return;
  }
  const HWND window = static_cast<HWND>(window_);
  PendingCall call{function, context, ThreadEvent(), nullptr};
  if (call.done != nullptr &&
      ::PostMessageA(window, kCallMessage, 0, reinterpret_cast<LPARAM>(&call))) {
    while (::WaitForSingleObject(call.done, kWindowCheckMs) == WAIT_TIMEOUT)
      if (!::IsWindow(window)) return;  // gone: the call will never run
  } else {
    // No event, or the queue is full: the slower hand-over that needs
    // neither.
    call.done = nullptr;
    ::SendMessageA(window, kCallMessage, 0, reinterpret_cast<LPARAM>(&call));
  }
  if (call.failure) std::rethrow_exception(call.failure);
}

void UiCall::ServeFor(unsigned milliseconds) {
  const HWND window = static_cast<HWND>(window_);
  MSG message;
  if (!::PeekMessageA(&message, window, kCallMessage, kCallMessage, PM_NOREMOVE))
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_POSTMESSAGE | QS_SENDMESSAGE);
  while (::PeekMessageA(&message, window, kCallMessage, kCallMessage, PM_REMOVE))
    ::DispatchMessageA(&message);
}

}  // namespace purga
