// The shell's context menu of an item, as Explorer shows it: while the menu
// is up, the menu messages that owner-drawn and delay-filled submenus ("送る",
// "新規作成") need are handed to the menu's own handler.
#pragma once

#include <functional>
#include <string>

#include "ui/win/ShellNames.h"

namespace purga::win {

// Shows `menu` at `screen` (screen coordinates), owned by `owner`, and
// carries out the command chosen. `ownVerb` may carry out a command itself,
// by its verb ("rename", "delete"...): it returns true when it did. True when
// a command was chosen (whether or not it worked).
bool ShowShellMenu(HWND owner, IContextMenu* menu, POINT screen,
                   const std::function<bool(const std::string& verb)>& ownVerb = {});

// How many menu messages the shell menus have handed to their handlers so
// far in this process.
unsigned ForwardedMenuMessages();

}  // namespace purga::win
