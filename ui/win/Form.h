// The windows' two base classes. A Form is a top-level window, created once,
// hidden, and shown modally as often as asked; closing hides it and it keeps
// its state. A Control is a child window that a form owns: it sits on the
// form or on a container control (a panel), and its notifications reach the
// form, which hands them to the control, always through the general error
// report. The kinds of control stand above this file (Panels, Buttons,
// Edits, Splitter, the shell widgets).
//
// Geometry is given in pixels of a 96-dpi screen (the design figures). A form
// knows the DPI of the monitor it is on and scales every figure to it, at
// creation and again when Windows moves it to a monitor of another DPI
// (WM_DPICHANGED); each control keeps its design bounds for that.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "ui/model/DisplayScale.h"
#include "ui/model/WindowPlacement.h"
#include "ui/win/Dpi.h"

namespace purga::win {

class Form;

// A window's rectangle in screen coordinates, frame included; false when the
// window has none.
bool ScreenRectOf(HWND hwnd, ScreenRect& rect);

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

// A child window of a form. `parent` is the window it sits on: the form's
// own window (nullptr means the form) or a container (Panel::Handle()).
class Control {
 public:
  explicit Control(Form& form) : form_(form) {}
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND Handle() const { return hwnd_; }
  Form& OwnerForm() const { return form_; }
  int Id() const { return id_; }

  // The name the form gives the control ("CheckBox3"); for finding it.
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Bounds in the parent's client coordinates, in pixels at the form's
  // DPI; a spin edit's cover its arrows too. SetBounds also keeps the
  // bounds at 96 dpi, for the next change of DPI.
  virtual Bounds GetBounds() const;
  void SetBounds(const Bounds& bounds);
  // Where the control is, in pixels at 96 dpi.
  const Bounds& DesignBounds() const { return design_; }
  // The font it shows its text in (its height in pixels at 96 dpi, scaled).
  HFONT Font() const;
  bool Enabled() const;
  virtual void SetEnabled(bool enabled);
  // The window's text as Windows holds it, in UTF-16.
  std::wstring WideText() const;
  // The same in code page 932: a character that it lacks comes out as "?".
  std::string Text() const;
  // Shows the program's text (code page 932).
  void SetText(const std::string& text);
  const std::string& Hint() const { return hint_; }

 protected:
  // Creates the control's main window on `parent` at `bounds` (96-dpi
  // figures, scaled to the form's DPI) with the forms' font, and registers
  // it with the form; the hint becomes its tooltip.
  HWND CreateChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style,
                   DWORD exStyle, const Bounds& bounds, const std::string& hint);
  // A font of another height than the forms' (pixels at 96 dpi).
  void SetFontHeight(int height);
  // Moves the control's windows to `bounds` (pixels at the form's DPI).
  virtual void Move(const Bounds& bounds);
  // The form's DPI has changed: the control takes its font at the new DPI
  // and goes to its design bounds scaled. Controls with figures of their
  // own (icons, indents, columns) add theirs.
  virtual void DpiChanged();
  // A further window whose notifications belong to this control.
  void AddWindow(HWND hwnd);
  void AddTooltip(HWND hwnd, const std::string& hint);
  // Hands `code` to the form as if the control's parent had passed it on.
  void NotifyForm(int code);

  // Notifications, already inside the general error report.
  virtual void OnCommand(HWND /*from*/, int /*code*/) {}
  virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

  // For controls of a window class of their own: registers the class once
  // (the procedure paints its own background), and finds the control that
  // a window of it stores in GWLP_USERDATA.
  static void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HCURSOR cursor, UINT style);
  template <class T>
  static T* FromWindow(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }

 private:
  friend class Form;
  Form& form_;
  HWND hwnd_ = nullptr;
  int id_ = 0;
  Bounds design_;
  int fontHeight_ = kFontHeight;
  std::string name_;
  std::string hint_;
  std::vector<HWND> windows_;
};

class Form {
 public:
  // Creates the window hidden with `caption`, its position (screen
  // coordinates) and size from `bounds` (96-dpi figures, scaled to the DPI
  // of the monitor the window is on), a title bar with the system menu only
  // (no minimise or maximise box) and the button-face background.
  Form(const std::string& caption, const Bounds& bounds, FormBorder border = FormBorder::Sizeable,
       FormSize size = FormSize::Outer);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Handle() const { return hwnd_; }

  // The DPI the form is laid out for, and a 96-dpi figure at it.
  int Dpi() const { return dpi_; }
  int Scaled(int value) const { return Scale(value, dpi_); }
  Bounds Scaled(const Bounds& bounds) const { return Scale(bounds, dpi_); }
  // The forms' font at the form's DPI, or a font of another height.
  HFONT Font(int height = kFontHeight) const { return FontAt(height, dpi_); }

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
  // After a change of DPI, once every control has followed it and before the
  // form takes its new size: for figures of the form's own (icons).
  virtual void DpiChanged() {}
  // The form's own messages; the default handles close, resize, a change of
  // DPI and routing, and calls DefWindowProcW for the rest.
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
  // WM_DPICHANGED: fonts and controls at `dpi`, then the window at the
  // rectangle Windows suggests, and the form's layout for its new size.
  void ChangeDpi(int dpi, const RECT& suggested);

  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  int dpi_ = kDesignDpi;
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
