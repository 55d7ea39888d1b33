#include "ui/model/FolderSelectModel.h"

#include "common/commFunc.h"
#include "platform/Platform.h"

namespace purga {

namespace {

constexpr char kWrongFolder[] = "フォルダーの指示が間違い";
constexpr char kConfirmCaption[] = "確認";
constexpr char kRootQuestion[] = "この選択で良いですか？";
constexpr char kRootCaption[] = "ルートディレクトリーを選択しました。";

// Removable, fixed and RAM-disk drives.
bool SelectableDrive(uint32_t type) { return type == 2 || type == 3 || type == 6; }

std::string EntryFailureText(uint32_t code) {
  std::string text = Os().ErrorMessage(code);
  if (text.empty()) {
    text = "フォルダーに移動できません。(エラー ";
    text += std::to_string(code);
    text += ")";
  }
  return text;
}

// Enters the pattern's folder as the current directory and puts the previous
// current directory back, whether or not that worked. Returns the directory
// part; throws FolderEntryError when the folder cannot be entered.
std::string EnterFolder(const std::string& pattern) {
  Platform& os = Os();
  std::u16string saved;
  const bool haveSaved = os.GetCurrentDirectory(saved);
  const PatternParts parts = SplitPattern(pattern);
  // Making the drive current fails exactly when it does not exist.
  if (!parts.drive.empty()) os.SetCurrentDirectory(os.ToWide(parts.drive));
  const bool entered = os.SetCurrentDirectory(os.ToWide(parts.directory));
  const uint32_t error = entered ? 0 : os.LastError();
  if (haveSaved) os.SetCurrentDirectory(saved);  // ignored when it no longer exists
  if (!entered) throw FolderEntryError(EntryFailureText(error));
  return parts.directory;
}

}  // namespace

PatternParts SplitPattern(const std::string& pattern) {
  PatternParts parts;
  if (pattern.size() >= 2 && pattern[1] == ':') parts.drive = pattern.substr(0, 2);
  const size_t slash = FindLastSeparator(pattern, "\\");
  if (slash == std::string::npos || slash < parts.drive.size()) {
    parts.file = pattern.substr(parts.drive.size());
    return parts;
  }
  parts.file = pattern.substr(slash + 1);
  parts.directory = pattern.substr(parts.drive.size(), slash - parts.drive.size());
  if (parts.directory.empty()) parts.directory.push_back('\\');  // the root
  return parts;
}

const std::string& FolderSelectModel::StartShowing() {
  FolderSet = 0;
  return FolderPath;
}

void FolderSelectModel::SelectionChanged(const std::string& path, bool exact) {
  FolderPath = path;
  pathExact_ = exact;
}

bool FolderSelectModel::Set(const FolderSelectPrompts& prompts) {
  if (FolderPath.empty()) {
    FolderSet = 0;
    prompts.inform(kWrongFolder, kConfirmCaption);
    return true;
  }
  // A path that is not the folder's exact name, or that the settings record
  // could only hold cut short, names another folder: never accept it.
  if (!pathExact_ || FolderPath.size() > kMaxFolderPathBytes ||
      !SelectableDrive(GetPathDriveType(FolderPath))) {
    prompts.inform(kFolderNotSelectable, kConfirmCaption);
    return false;
  }
  const std::string directory = EnterFolder(FolderPath + "\\*.*");
  if (directory == "\\" && !prompts.confirm(kRootQuestion, kRootCaption)) return false;
  FolderSet = 1;
  return true;
}

bool FolderSelectModel::Cancel() {
  FolderSet = 0;
  return true;
}

}  // namespace purga
