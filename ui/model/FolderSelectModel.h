// The decisions of the folder selection dialog, without a display: what the
// tree's selection stores, and the checks of the set button.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace purga {

// A folder that cannot be chosen (the editor's status line says the same).
inline constexpr char kFolderNotSelectable[] = "選択できないフォルダーです。";

// The longest folder path the settings record can hold (its field keeps a
// terminating NUL after it).
inline constexpr size_t kMaxFolderPathBytes = 255;

// The folder could not be made the current directory. The message is the
// platform's description of the failure; the program's general error report
// shows it.
class FolderEntryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message boxes the set button may show, provided by the window. Both show
// no icon.
struct FolderSelectPrompts {
  // OK only.
  std::function<void(const std::string& text, const std::string& caption)> inform;
  // OK and Cancel; true for OK (Escape counts as Cancel).
  std::function<bool(const std::string& text, const std::string& caption)> confirm;
};

class FolderSelectModel {
 public:
  // Path of the folder last selected in the tree, as the tree reports it.
  std::string FolderPath;
  // 1 when the set button accepted FolderPath during the current showing.
  int32_t FolderSet = 0;

  // Each showing: nothing accepted yet. Returns the text for the path panel.
  const std::string& StartShowing();

  // The tree's selection changed. `exact` is false when the shell's name of
  // the folder has no exact form in the program's code page: such a path
  // names some other folder, or none, and is never accepted.
  void SelectionChanged(const std::string& path, bool exact);

  // The set button. True when the modal showing ends. Throws FolderEntryError
  // when the folder cannot be entered; the dialog then stays open.
  bool Set(const FolderSelectPrompts& prompts);

  // The cancel button. True: the modal showing ends.
  bool Cancel();

 private:
  bool pathExact_ = true;
};

// The split of a search pattern into its drive ("C:" or empty), its directory
// part ("\" for the root) and its file part.
struct PatternParts {
  std::string drive;
  std::string directory;
  std::string file;
};
PatternParts SplitPattern(const std::string& pattern);

}  // namespace purga
