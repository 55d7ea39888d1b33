// Single-line edits, spin edits and date and time pickers.
#include "ui/win/Edits.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/CodePage.h"
#include "ui/model/FileUpdateDateTime.h"

namespace purga::win {

SYSTEMTIME ToSystemTime(const CivilDateTime& when) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.year);
  time.wMonth = static_cast<WORD>(when.month);
  time.wDay = static_cast<WORD>(when.day);
  time.wHour = static_cast<WORD>(when.hour);
  time.wMinute = static_cast<WORD>(when.minute);
  time.wSecond = static_cast<WORD>(when.second);
  return time;
}

CivilDateTime FromSystemTime(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

// --- Edit ---

Edit::Edit(Form& form, HWND parent, const Bounds& bounds, EditModel& model, const std::string& hint)
    : Control(form), model_(model) {
  CreateChild(parent, L"EDIT", model.Text(), ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE, bounds, hint);
  if (model.MaxLength() != 0) SendMessageW(Handle(), EM_LIMITTEXT, model.MaxLength(), 0);
  model_.onViewChanged = [this] { ShowModel(); };
  ShowModel();
}

Edit::~Edit() { model_.onViewChanged = nullptr; }

void Edit::ShowModel() {
  const std::wstring shown = ToWide(model_.Text());
  if (WideText() != shown) {
    const bool focused = GetFocus() == Handle();
    SetWindowTextW(Handle(), shown.c_str());
    if (focused) {
      const auto end = static_cast<WPARAM>(shown.size());
      SendMessageW(Handle(), EM_SETSEL, end, static_cast<LPARAM>(end));
    }
  }
  SetEnabled(model_.Enabled());
}

void Edit::OnCommand(HWND /*from*/, int code) {
  if (code != EN_CHANGE) return;
  const std::wstring typed = WideText();
  // What the model shows comes back unchanged: its bytes stay as they are
  // (code page 932 has twin codes of one character, and a loaded text
  // would come back as the other twin).
  if (typed == ToWide(model_.Text())) return;
  const AnsiName text = ToAnsiExact(typed);
  // A character that code page 932 lacks is refused: the edit shows the
  // model's text again. The model may keep less than was typed (a byte
  // limit); it shows what it kept.
  if (text.exact) model_.Typed(text.text);
  ShowModel();
}

// --- SpinEdit ---

SpinEdit::SpinEdit(Form& form, HWND parent, const Bounds& bounds, SpinEditModel& model,
                   const std::string& hint)
    : Edit(form, parent, bounds, model, hint) {
  // The arrows are placed by Move, not by the up-down control: its own
  // alignment overlaps the edit's border and changes the outer size.
  arrows_ = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS, 0, 0, 0,
                            0, GetParent(Handle()), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(arrows_, UDM_SETRANGE32, SpinEditModel::kMinValue, SpinEditModel::kMaxValue);
  SendMessageW(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
  AddWindow(arrows_);
  if (!hint.empty()) AddTooltip(arrows_, hint);
  Move(OwnerForm().Scaled(DesignBounds()));
  SetEnabled(model.Enabled());
}

Bounds SpinEdit::GetBounds() const {
  const Bounds edit = Control::GetBounds();
  RECT r;
  GetWindowRect(arrows_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(arrows_), reinterpret_cast<POINT*>(&r), 2);
  const int right = std::max<int>(edit.left + edit.width, r.right);
  const int bottom = std::max<int>(edit.top + edit.height, r.bottom);
  return {edit.left, edit.top, right - edit.left, bottom - edit.top};
}

void SpinEdit::Move(const Bounds& bounds) {
  // As wide as a scroll bar at the form's DPI.
  const int arrowsWidth = std::min(MetricAt(SM_CXVSCROLL, OwnerForm().Dpi()), bounds.width / 2);
  Control::Move({bounds.left, bounds.top, bounds.width - arrowsWidth, bounds.height});
  MoveWindow(arrows_, bounds.left + bounds.width - arrowsWidth, bounds.top, arrowsWidth,
             bounds.height, TRUE);
}

void SpinEdit::SetEnabled(bool enabled) {
  Control::SetEnabled(enabled);
  if (arrows_ != nullptr) EnableWindow(arrows_, enabled ? TRUE : FALSE);
}

void SpinEdit::OnCommand(HWND from, int code) {
  if (code == EN_KILLFOCUS) {
    Spin().FocusLost();
    return;
  }
  Edit::OnCommand(from, code);
}

bool SpinEdit::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != arrows_ || header.code != UDN_DELTAPOS) return false;
  const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
  if (change.iDelta > 0)
    Spin().StepUp();
  else if (change.iDelta < 0)
    Spin().StepDown();
  result = 1;  // the model holds the value, not the arrows
  return true;
}

// --- DateTimePicker ---

DateTimePicker::DateTimePicker(Form& form, HWND parent, const Bounds& bounds, DWORD style,
                               int fontHeight)
    : Control(form) {
  CreateChild(parent, DATETIMEPICK_CLASSW, "", style | WS_TABSTOP, 0, bounds, {});
  SetFontHeight(fontHeight);
}

double DateTimePicker::Value() const {
  SYSTEMTIME time{};
  if (SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
    return 0;
  return EncodeDateTime(FromSystemTime(time));
}

void DateTimePicker::SetValue(double value) {
  SYSTEMTIME time = ToSystemTime(DecodeDateTime(value));
  settingValue_ = true;
  SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
  settingValue_ = false;
}

bool DateTimePicker::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != Handle() || header.code != DTN_DATETIMECHANGE) return false;
  if (!settingValue_ && onUserChange) onUserChange();
  result = 0;
  return true;
}

}  // namespace purga::win
