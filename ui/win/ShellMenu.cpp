// The shell's context menu, with the menu messages its submenus need.
#include "ui/win/ShellMenu.h"

#include <iterator>

namespace purga::win {

namespace {

constexpr UINT_PTR kSubclassId = 0x534D;  // "SM"
constexpr UINT kFirstCommand = 1;
constexpr UINT kLastCommand = 0x7FFF;

unsigned forwarded = 0;  // user-interface thread only

// The menu's handlers of menu messages, while it is up.
struct MenuHandlers {
  ComPtr<IContextMenu2> menu2;
  ComPtr<IContextMenu3> menu3;
};

bool IsMenuMessage(UINT msg, LPARAM lParam) {
  switch (msg) {
    case WM_INITMENUPOPUP:
    case WM_MENUCHAR:
      return true;
    case WM_DRAWITEM:
      return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->CtlType == ODT_MENU;
    case WM_MEASUREITEM:
      return reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlType == ODT_MENU;
    default:
      return false;
  }
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                           DWORD_PTR data) {
  const auto* handlers = reinterpret_cast<const MenuHandlers*>(data);
  if (IsMenuMessage(msg, lParam)) {
    ++forwarded;
    LRESULT result = 0;
    if (handlers->menu3 && SUCCEEDED(handlers->menu3->HandleMenuMsg2(msg, wParam, lParam, &result)))
      return result;
    // IContextMenu2 gives no result: the usual one for each message.
    if (handlers->menu2 && SUCCEEDED(handlers->menu2->HandleMenuMsg(msg, wParam, lParam)))
      return msg == WM_INITMENUPOPUP ? 0 : TRUE;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

std::string VerbOf(IContextMenu* menu, UINT offset) {
  wchar_t verb[256] = {};
  if (FAILED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb),
                                    std::size(verb))))
    return {};
  verb[std::size(verb) - 1] = L'\0';
  return ToAnsiShown(verb);
}

}  // namespace

bool ShowShellMenu(HWND owner, IContextMenu* menu, POINT screen,
                   const std::function<bool(const std::string& verb)>& ownVerb) {
  if (menu == nullptr) return false;
  HMENU popup = CreatePopupMenu();
  if (popup == nullptr) return false;
  bool chosen = false;
  if (SUCCEEDED(menu->QueryContextMenu(popup, 0, kFirstCommand, kLastCommand, CMF_NORMAL))) {
    MenuHandlers handlers;
    menu->QueryInterface(IID_IContextMenu3, handlers.menu3.OutVoid());
    menu->QueryInterface(IID_IContextMenu2, handlers.menu2.OutVoid());
    const bool hooked =
        SetWindowSubclass(owner, &OwnerProc, kSubclassId, reinterpret_cast<DWORD_PTR>(&handlers));
    const int command = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                       0, owner, nullptr);
    if (hooked) RemoveWindowSubclass(owner, &OwnerProc, kSubclassId);
    chosen = command >= static_cast<int>(kFirstCommand);
    if (chosen) {
      const UINT offset = static_cast<UINT>(command) - kFirstCommand;
      if (!ownVerb || !ownVerb(VerbOf(menu, offset))) {
        // The shell tells the user itself when the command fails.
        CMINVOKECOMMANDINFO invoke{};
        invoke.cbSize = sizeof invoke;
        invoke.hwnd = owner;
        invoke.lpVerb = MAKEINTRESOURCEA(offset);
        invoke.nShow = SW_SHOWNORMAL;
        menu->InvokeCommand(&invoke);
      }
    }
  }
  DestroyMenu(popup);
  return chosen;
}

unsigned ForwardedMenuMessages() { return forwarded; }

}  // namespace purga::win
