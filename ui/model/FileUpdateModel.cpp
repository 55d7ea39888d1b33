#include "ui/model/FileUpdateModel.h"

#include "common/commFunc.h"
#include "platform/Platform.h"
#include "ui/model/FileUpdateDateTime.h"
#include "ui/model/FolderSelectModel.h"

namespace purga {

std::u16string SelectedFile;
int32_t SelectedReadOnly = 0;

namespace {

// "Favorites" anywhere in the path, starting at a character (never inside a
// double-byte character), letters matched exactly.
bool MentionsFavorites(const std::string& path) {
  constexpr std::string_view word = "Favorites";
  for (size_t at = path.find(word); at != std::string::npos; at = path.find(word, at + 1))
    if (StartsCharacter(path, at)) return true;
  return false;
}

// What the status line shows when it has nothing to say.
constexpr char kNoMessage[] = "  ";

// A drive that cannot be told (0), does not exist (1) or is a network drive (4).
bool RejectedDrive(uint32_t type) { return type == 0 || type == 1 || type == 4; }

// The local packed date-time of a last-write time (UTC); nothing when it has
// no packed form.
std::optional<uint32_t> LocalPacked(uint64_t utc) {
  Platform& os = Os();
  uint64_t local = 0;
  uint16_t date = 0, time = 0;
  if (!os.FileTimeToLocal(utc, local) || !os.FileTimeToDosDateTime(local, date, time))
    return std::nullopt;
  return static_cast<uint32_t>(date) << 16 | time;
}

bool HasReadOnlyBit(const std::u16string& path) {
  Platform& os = Os();
  FindEntry entry;
  const FindHandle find = os.FindFirst(path, entry);
  if (find == nullptr) return false;
  os.FindClose(find);
  return (entry.attributes & kAttrReadOnly) != 0;
}

}  // namespace

void FileUpdateModel::Create() {
  SelectedFile.clear();
  pickersLoaded_ = false;
  notLoadedMessage_.clear();
}

void FileUpdateModel::TreeChanged(const std::string& path, bool exact) {
  view_.SetStatus(kNoMessage);
  if (MentionsFavorites(path)) return;
  // A name with no exact form cannot be listed: the list keeps its folder.
  if (!exact) {
    view_.SetStatus(kFolderNotSelectable);
    return;
  }
  if (RejectedDrive(GetPathDriveType(path.substr(0, 2)))) {
    view_.SetStatus(kRejectedDrive);
    return;
  }
  view_.SetListRoot(path);
  view_.SetAddress(path);
}

void FileUpdateModel::ListMouseDown() {
  std::u16string path;
  bool isFolder = false;
  if (!view_.SelectedItem(path, isFolder) || isFolder || path.empty()) return;
  Platform& os = Os();
  SelectedFile = path;
  bool exact = false;
  view_.SetPickedFile(os.ToAnsi(SelectedFile, exact));
  const bool hadMessage = !notLoadedMessage_.empty();
  pickersLoaded_ = false;
  notLoadedMessage_.clear();

  FindEntry entry;
  const FindHandle find = os.FindFirst(path, entry);
  if (find == nullptr) {
    // Gone since the list showed it: the controls were never loaded from it.
    notLoadedMessage_ = kFileNotFound;
    view_.SetStatus(notLoadedMessage_);
    return;
  }
  SelectedReadOnly = static_cast<int32_t>(entry.attributes & kAttrReadOnly);
  // A time outside the packed range (before 1980, after 2107) cannot be
  // shown by the pickers: they keep their values, which are not this file's.
  if (const auto packed = LocalPacked(entry.lastWriteTime)) {
    if (const auto value = UnpackDosDateTime(*packed)) {
      view_.SetDateValue(DatePart(*value));
      view_.SetTimeValue(TimePart(*value));
      pickersLoaded_ = true;
    }
  }
  if (!pickersLoaded_) {
    notLoadedMessage_ = kDateNotShown;
    view_.SetStatus(notLoadedMessage_);
  } else if (hadMessage) {
    view_.SetStatus(kNoMessage);  // the earlier pick's message no longer holds
  }
  view_.SetReadOnlyChecked(SelectedReadOnly == 1);
  os.FindClose(find);
}

void FileUpdateModel::PickerChanged() {
  pickersLoaded_ = true;
  if (!notLoadedMessage_.empty()) {
    notLoadedMessage_.clear();
    view_.SetStatus(kNoMessage);
  }
}

void FileUpdateModel::Apply() {
  if (SelectedFile.empty()) return;
  const uint32_t packed = PackDosDateTime(CombineDateTime(view_.DateValue(), view_.TimeValue()));
  Platform& os = Os();
  // Pickers that do not show this file's time write nothing: the time stays,
  // the attribute step still runs.
  // A read-only file, one in use without write sharing or on a read-only
  // medium does not open: its time stays as well. The read-only bit is
  // looked at first, because some platforms (Wine running as root) open such
  // a file for writing all the same.
  if (!pickersLoaded_) view_.SetStatus(notLoadedMessage_);
  const FileHandle file = !pickersLoaded_ || HasReadOnlyBit(SelectedFile)
                              ? nullptr
                              : os.OpenFile(SelectedFile, OpenMode::WriteExistingShared);
  if (file != nullptr) {
    uint64_t local = 0, utc = 0;
    // 0 stands for a year the packed form cannot hold: the time stays.
    if (packed != 0 &&
        os.DosDateTimeToFileTime(static_cast<uint16_t>(packed >> 16),
                                 static_cast<uint16_t>(packed & 0xFFFF), local) &&
        os.LocalToFileTime(local, utc))
      os.SetLastWriteTime(file, utc);
    os.CloseFile(file);
  }
  // Exactly read-only or nothing: hidden, system and archive bits go too.
  os.SetFileAttributes(SelectedFile, view_.ReadOnlyChecked() ? kAttrReadOnly : 0);
  view_.RefreshList();
}

}  // namespace purga
