// The forms' base: a top-level window created once, hidden, and shown
// modally as often as asked; closing hides it and it keeps its state.
//
// Geometry is in pixels of a 96-dpi screen. Child controls are owned by the
// form (Add) and sit either on the form or on a container control (Panel);
// their notifications reach the form, which hands them to the control, always
// through the general error report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "ui/model/WindowPlacement.h"

namespace purga::win {

class Control;

// A rectangle in the parent's client coordinates.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// A window's rectangle in screen coordinates, frame included; false when the
// window has none.
bool ScreenRectOf(HWND hwnd, ScreenRect& rect);

// The forms' font: "ＭＳ Ｐゴシック", 12 pixels, Shift-JIS; created once.
HFONT FormFont();

enum class FormBorder {
  Sizeable,  // a resizable frame
  Single,    // a fixed frame
};

// What a form's bounds give besides its position.
enum class FormSize {
  Outer,   // the window's outer size
  Client,  // the size of its client area: the frame is added as the
           // system's metrics draw it (a Windows 10 title bar and border are
           // larger than the classic ones)
};

class Form {
 public:
  // Creates the window hidden with `caption`, its position (screen
  // coordinates) and size from `bounds`, a title bar with the system menu
  // only (no minimise or maximise box) and the button-face background.
  Form(const std::string& caption, const Bounds& bounds, FormBorder border = FormBorder::Sizeable,
       FormSize size = FormSize::Outer);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Handle() const { return hwnd_; }

  // Disables `owner`, shows the form and runs a message loop until the form
  // is asked to close (EndModal, or a close that CloseQuery allows); then
  // hides the form, re-enables the owner and returns the modal result.
  int ShowModal(HWND owner);
  bool IsShownModal() const { return modal_; }
  // Marks the form for closing with `result`. The handler that calls it
  // finishes first; the form is hidden when control returns to the loop.
  void EndModal(int result);
  // What the close box does: CloseQuery (through the error report), then
  // EndModal(IDCANCEL) when shown modally, or a plain hide otherwise.
  void Close();

  // Shown without a modal loop (the main window).
  void Show();
  void Hide();

  // Creates a control owned by the form. The arguments go to the control's
  // constructor after the form itself.
  template <class T, class... Args>
  T& Add(Args&&... args) {
    auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& ref = *control;
    controls_.push_back(std::move(control));
    return ref;
  }

  // The form's one tooltip control (made on first use).
  HWND Tooltip();
  // Every control of the form, in creation order.
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  // The control that owns the window `hwnd`, or nullptr.
  Control* FindControl(HWND hwnd) const;
  // The control the form named `name` (Control::SetName), or nullptr.
  Control* FindControl(const std::string& name) const;

  // Children's notifications of a container land here (panels forward them).
  LRESULT RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);

 protected:
  // Asked before a close; false, or an exception shown by the error report,
  // keeps the form open.
  virtual bool CloseQuery() { return true; }
  // Runs at the start of each ShowModal, before the form appears.
  virtual void FormShow() {}
  // True once the form has been shown: later showings keep the position
  // that the window last had.
  bool ShownBefore() const { return shownBefore_; }
  // Client area resized (also once when the window is created is not
  // guaranteed: call your layout from the constructor).
  virtual void Resized(int /*clientWidth*/, int /*clientHeight*/) {}
  // The form's own messages; the default handles close, resize, routing and
  // the background, and calls DefWindowProcA for the rest.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

  // Destroys the window and the controls. A form whose controls show models
  // that it owns calls this first thing in its destructor, so that no
  // notification reaches a model that is gone.
  void DestroyControls();

 private:
  friend class Control;
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void RegisterChild(HWND hwnd, Control* control);
  void UnregisterChild(HWND hwnd);
  int NextControlId() { return nextId_++; }
  // Before the first showing: a form that would lie partly off the work area
  // of its monitor is moved the least distance that brings it onto it.
  void PlaceForFirstShowing();

  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  struct Child {
    HWND hwnd;
    Control* control;
  };
  std::vector<Child> children_;
  int nextId_ = 100;  // clear of IDOK and IDCANCEL
  bool modal_ = false;
  bool shownBefore_ = false;
  bool closing_ = false;
  bool destroying_ = false;
  int modalResult_ = 0;
};

}  // namespace purga::win
