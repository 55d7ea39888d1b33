// The clean-up of system locations that may run before a deletion run: the
// Windows temporary folder, the browser's URL cache and the shell's list of
// recently used documents. All run on the user-interface thread and report
// nothing; a step that fails is skipped and the task goes on.
#pragma once

#include <optional>
#include <string>

#include "engine/CheckedTree.h"

namespace purga {

// The top folder of the last folder clean-up, exactly as passed.
extern std::string CleanRoot;

// The Windows temporary folder with its trailing backslash, or nothing when
// it cannot be had whole: the platform call fails, the path needs 514
// characters or more, or it is empty. Nothing either when the platform names
// a folder that must never be emptied: a drive or share root, the system
// folder or the folder above it (GetTempPathA falls back to the Windows
// folder when no temporary folder is configured), or the user's profile
// folder or one above it (its fallback when TMP and TEMP are unset).
std::optional<std::string> GetTempFolder();

// Stores `root` in CleanRoot and empties the tree below it: files whose
// attribute word is exactly 32 or 33 are deleted (read-only cleared first),
// plain sub-folders (16 or 17) are emptied the same way and removed. `root`
// itself stays. Every entry is checked to lie below what `root` resolves to
// when the clean-up starts, and changed only through that check.
void CleanFolderTree(const std::string& root);
// One folder of it, opened and checked as `self`.
void EmptyFolderTree(const std::string& folder, const CheckedEntry& self, const CheckedTree& tree);

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
