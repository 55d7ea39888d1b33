// Resource identifiers, shared by Purgator.rc and the code.
#pragma once

// The program's icon: the lowest icon id, so that the shell shows it for the
// exe as well.
#define IDI_PURGATOR 1
// The launcher's button pictures.
#define IDI_DELETE 101
#define IDI_EDIT 102
#define IDI_HELP 103
