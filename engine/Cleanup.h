// The clean-up of system locations that may run before a deletion run: the
// Windows temporary folder, the browser's URL cache and the shell's list of
// recently used documents. All run on the user-interface thread and report
// nothing; a step that fails is skipped and the task goes on.
#pragma once

#include <optional>
#include <string>

#include "engine/TreeWalk.h"

namespace purga {

// The top folder of the last folder clean-up, exactly as passed.
extern std::u16string CleanRoot;

// The Windows temporary folder with its trailing backslash, or nothing when
// it cannot be had whole: the platform call fails, the path needs 514
// characters or more, or it is empty, not absolute or the root of a drive or
// a share.
std::optional<std::u16string> GetTempFolder();

// Stores `root` in CleanRoot and empties the tree below it: files whose
// attribute word is exactly 32 or 33 are deleted (read-only cleared first),
// plain sub-folders (16 or 17) are emptied the same way and removed. `root`
// itself stays. It is opened once, links followed, and cleaned only when the
// folder opened is none that must never be emptied: the root of a volume or a
// share, the Windows or the system folder, or the user's profile folder or
// one above it (where GetTempPath falls back when no temporary folder is
// set). Each is compared with it by identity (volume and file ID), so that
// no link, short name or mapped drive makes another name for one of them.
void CleanFolderTree(const std::u16string& root);
// The clean-up's walk of an opened tree.
void EmptyFolderTree(TreeWalk& walk);

// Deletes every downloaded-content entry of the URL cache. Cookies and
// history entries, which Wine's enumeration returns as well, are left alone.
// Lets the window handle its messages once per entry. Running out of memory
// ends the clean-up quietly.
void ClearUrlCache();

// Empties the shell's recent-documents list.
void EraseRecentDocuments();

// The clean-up tasks whose flags are exactly 1, in this order: temporary
// folder, URL cache, recent documents. A task that fails unexpectedly ends
// early; the others still run, and the caller goes on to start the run.
void RunPreRunTasks();

}  // namespace purga
