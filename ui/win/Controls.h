// The child controls the forms are built from. Each is a thin view: it
// creates its window at the given pixel bounds with the forms' font, shows
// the state of its model and hands user input to the model or its handler.
// The models (settings/ControlModel.h) hold the state and run the handlers.
#pragma once

#include <functional>
#include <string>

#include "settings/ControlModel.h"
#include "ui/win/Form.h"

namespace purga::win {

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

  // Bounds in the parent's client coordinates; a spin edit's cover its
  // arrows too.
  virtual Bounds GetBounds() const;
  virtual void SetBounds(const Bounds& bounds);
  bool Enabled() const;
  virtual void SetEnabled(bool enabled);
  std::string Text() const;
  void SetText(const std::string& text);
  const std::string& Hint() const { return hint_; }

 protected:
  // Creates the control's main window on `parent` with the forms' font and
  // registers it with the form; the hint becomes its tooltip.
  HWND CreateChild(HWND parent, const char* className, const std::string& text, DWORD style,
                   DWORD exStyle, const Bounds& bounds, const std::string& hint);
  // A further window whose notifications belong to this control.
  void AddWindow(HWND hwnd);
  void AddTooltip(HWND hwnd, const std::string& hint);

  // Notifications, already inside the general error report.
  virtual void OnCommand(HWND /*from*/, int /*code*/) {}
  virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

 private:
  friend class Form;
  Form& form_;
  HWND hwnd_ = nullptr;
  int id_ = 0;
  std::string name_;
  std::string hint_;
  std::vector<HWND> windows_;
};

// A static label; its size follows its text.
class Label : public Control {
 public:
  Label(Form& form, HWND parent, int left, int top, const std::string& caption,
        const std::string& hint = {});
};

// How a panel draws its border.
enum class Edge {
  None,
  Raised,      // outer bevel raised
  Lowered,     // outer bevel lowered
  Etched,      // raised inner and lowered outer bevel
  Sunken,      // a static text's thin sunken border
  SoftBevel,   // a soft raised-inner, lowered-outer bevel
  GroupFrame,  // a group box: etched frame with the caption on its top line
  RightLine,   // a bevel drawn as a line on its right side
};

enum class Align { Left, Center, Right };

struct PanelLook {
  Edge edge = Edge::Raised;
  Align align = Align::Center;
  COLORREF colour = CLR_INVALID;  // CLR_INVALID: the button face
  bool wrap = false;              // the caption breaks into lines
};

// A container that draws a bevel and a one-line caption: panels, group
// boxes, static texts and bevels are all panels.
class Panel : public Control {
 public:
  static constexpr const char* kClassName = "PurgaPanel";

  Panel(Form& form, HWND parent, const Bounds& bounds, const PanelLook& look,
        const std::string& caption = {}, const std::string& hint = {});
  ~Panel() override;

  const PanelLook& Look() const { return look_; }
  // Shows `caption` and follows it from now on.
  void BindCaption(CaptionModel& caption);

  // A click on the panel itself.
  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc);

  PanelLook look_;
  HBRUSH brush_ = nullptr;
  CaptionModel* caption_ = nullptr;
};

class GroupBox : public Panel {
 public:
  GroupBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
           const std::string& hint = {});
};

// A check box over a CheckBoxModel: a click sets the model, which runs the
// click handler; the model's state and enabled flag are shown.
class CheckBox : public Control {
 public:
  CheckBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
           CheckBoxModel& model, const std::string& hint = {});
  ~CheckBox() override;
  CheckBoxModel& Model() const { return model_; }

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  void ShowModel();
  CheckBoxModel& model_;
};

// A single-line edit over an EditModel; typing is limited to the model's
// length.
class Edit : public Control {
 public:
  Edit(Form& form, HWND parent, const Bounds& bounds, EditModel& model,
       const std::string& hint = {});
  ~Edit() override;
  EditModel& Model() const { return model_; }

 protected:
  void OnCommand(HWND from, int code) override;
  void ShowModel();
  EditModel& model_;
};

// A whole-number spin edit: an edit with up and down arrows over a
// SpinEditModel. Typing sets the model's text; the arrows step by one within
// the model's range; losing the focus clamps the shown value.
class SpinEdit : public Edit {
 public:
  SpinEdit(Form& form, HWND parent, const Bounds& bounds, SpinEditModel& model,
           const std::string& hint = {});
  SpinEditModel& Spin() const { return static_cast<SpinEditModel&>(model_); }
  HWND Arrows() const { return arrows_; }

  Bounds GetBounds() const override;
  void SetBounds(const Bounds& bounds) override;
  void SetEnabled(bool enabled) override;

 protected:
  void OnCommand(HWND from, int code) override;
  bool OnNotify(NMHDR& header, LRESULT& result) override;

 private:
  HWND arrows_ = nullptr;
};

// A flat button that takes no keyboard focus, with a coloured caption.
// BM_CLICK clicks it as the mouse does.
class SpeedButton : public Control {
 public:
  static constexpr const char* kClassName = "PurgaSpeedButton";

  SpeedButton(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
              COLORREF textColour = CLR_INVALID, const std::string& hint = {});
  COLORREF TextColour() const { return textColour_; }

  std::function<void()> onClick;

 protected:
  void OnCommand(HWND from, int code) override;

 private:
  static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  COLORREF textColour_;
  bool pressed_ = false;
  bool hot_ = false;
};

// A vertical splitter between two controls side by side on one parent:
// dragging it moves the border between them (each keeps at least minSize).
class Splitter : public Control {
 public:
  static constexpr const char* kClassName = "PurgaSplitter";

  Splitter(Form& form, HWND parent, const Bounds& bounds, Control& before, Control& after,
           int minSize = 30);
  // Puts the splitter's left edge at `left` (in the parent), moving the two
  // neighbours; clamped so that each keeps minSize.
  void MoveTo(int left);

  // After a move.
  std::function<void()> onMoved;

 private:
  static LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  Control& before_;
  Control& after_;
  int minSize_;
  int dragOffset_ = -1;
};

}  // namespace purga::win
