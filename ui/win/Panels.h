// The controls that show text and hold others: labels, panels (with their
// bevels, group boxes and static texts among them) and the status line.
#pragma once

#include <functional>
#include <string>

#include "settings/ControlModel.h"
#include "ui/win/Form.h"

namespace purga::win {

// A static label; its size follows its text.
class Label : public Control {
 public:
  Label(Form& form, HWND parent, int left, int top, const std::string& caption,
        const std::string& hint = {});

 protected:
  void Move(const Bounds& bounds) override;
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
  static constexpr const wchar_t* kClassName = L"PurgaPanel";

  Panel(Form& form, HWND parent, const Bounds& bounds, const PanelLook& look,
        const std::string& caption = {}, const std::string& hint = {});
  ~Panel() override;

  const PanelLook& Look() const { return look_; }
  // Shows `caption` and follows it from now on: at once, or, for a caption
  // that changes faster than a screen can show it, `later`: when ShowDue is
  // called, and whenever the panel's text is read or painted.
  void BindCaption(CaptionModel& caption, bool later = false);
  // Brings a caption followed later up to date.
  void ShowDue() noexcept;

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
  bool due_ = false;  // the caption changed since it was last set on the window
};

class GroupBox : public Panel {
 public:
  GroupBox(Form& form, HWND parent, const Bounds& bounds, const std::string& caption,
           const std::string& hint = {});
};

// A status line without panels: one line of text.
class StatusBar : public Control {
 public:
  StatusBar(Form& form, HWND parent, const Bounds& bounds);
};

}  // namespace purga::win
