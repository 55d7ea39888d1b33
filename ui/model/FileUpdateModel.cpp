#include "ui/model/FileUpdateModel.h"

#include "common/commFunc.h"
#include "platform/Platform.h"
#include "ui/model/FileUpdateDateTime.h"

namespace purga {

std::string SelectedFile;
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

bool HasReadOnlyBit(const std::string& path) {
  Platform& os = Os();
  FindEntry entry;
  const FindHandle find = os.FindFirst(path, entry);
  if (find == nullptr) return false;
  os.FindClose(find);
  return (entry.attributes & kAttrReadOnly) != 0;
}

}  // namespace

void FileUpdateModel::Create() { SelectedFile.clear(); }

void FileUpdateModel::TreeChanged(const std::string& path, bool exact) {
  view_.SetStatus("  ");
  if (MentionsFavorites(path)) return;
  // A name with no exact form cannot be listed: the list keeps its folder.
  if (!exact) return;
  if (RejectedDrive(GetPathDriveType(path.substr(0, 2)))) {
    view_.SetStatus(kRejectedDrive);
    return;
  }
  view_.SetListRoot(path);
  view_.SetAddress(path);
}

void FileUpdateModel::ListMouseDown() {
  std::string path;
  bool exact = false, isFolder = false;
  if (!view_.SelectedItem(path, exact, isFolder) || isFolder || !exact || path.empty()) return;

  // Read the directory entry first: a file that vanished since the list
  // showed it leaves the pick, the panel and the controls as they were.
  Platform& os = Os();
  FindEntry entry;
  const FindHandle find = os.FindFirst(path, entry);
  if (find == nullptr) return;
  SelectedFile = path;
  view_.SetPickedFile(SelectedFile);
  SelectedReadOnly = static_cast<int32_t>(entry.attributes & kAttrReadOnly);
  // A time outside the packed range (before 1980, after 2107) cannot be
  // shown by the pickers: they keep their values.
  if (const auto packed = LocalPacked(entry.lastWriteTime)) {
    if (const auto value = UnpackDosDateTime(*packed)) {
      view_.SetDateValue(DatePart(*value));
      view_.SetTimeValue(TimePart(*value));
    }
  }
  view_.SetReadOnlyChecked(SelectedReadOnly == 1);
  os.FindClose(find);
}

void FileUpdateModel::Apply() {
  if (SelectedFile.empty()) return;
  const uint32_t packed = PackDosDateTime(CombineDateTime(view_.DateValue(), view_.TimeValue()));
  Platform& os = Os();
  // A read-only file, one in use without write sharing or on a read-only
  // medium does not open: its time stays, the attribute step still runs.
  // The read-only bit is looked at first as well, because some platforms
  // (Wine running as root) open such a file for writing all the same.
  const FileHandle file = HasReadOnlyBit(SelectedFile)
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
