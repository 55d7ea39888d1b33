#include "settings/SettingsFile.h"

#include "common/commFunc.h"
#include "platform/Platform.h"

namespace purga {

std::optional<std::u16string> SettingsFilePath() {
  const std::optional<std::u16string> folder = GetSystemFolder();
  if (!folder) return std::nullopt;
  return *folder + u"\\" + Os().ToWide(kSettingsFileName);
}

bool ReadSettingsFile(DeleteSettingsRecord& record) {
  const std::optional<std::u16string> path = SettingsFilePath();
  if (!path) return false;
  Platform& os = Os();
  FileHandle file = os.OpenFile(*path, OpenMode::ReadWriteExisting);
  if (file == nullptr) return false;
  // Read straight into the record, as many passes as the platform needs:
  // fewer than 492 bytes in all is a failure, and what arrived stays.
  auto* bytes = reinterpret_cast<char*>(&record);
  size_t total = 0;
  bool ok = true;
  while (total < kSettingsSize) {
    const int64_t got =
        os.ReadFile(file, bytes + total, static_cast<uint32_t>(kSettingsSize - total));
    if (got <= 0) {
      ok = false;
      break;
    }
    total += static_cast<size_t>(got);
  }
  if (!os.CloseFile(file)) ok = false;
  return ok;
}

namespace {

// The file's path as the error report shows it.
std::string Shown(const std::u16string& path) {
  bool exact = false;
  return " (" + Os().ToAnsi(path, exact) + ")";
}

[[noreturn]] void ThrowIoError(const std::u16string& path) {
  Platform& os = Os();
  const uint32_t code = os.LastError();
  std::string message = os.ErrorMessage(code);
  if (message.empty()) message = "I/O error " + std::to_string(code);
  throw IoError(message + Shown(path));
}

}  // namespace

void WriteSettingsFile(const DeleteSettingsRecord& record) {
  const std::optional<std::u16string> path = SettingsFilePath();
  // Never write to a path built on an unknown system folder.
  if (!path) throw IoError("システムフォルダーが取得できないため設定を保存できません");
  Platform& os = Os();
  FileHandle file = os.OpenFile(*path, OpenMode::CreateTruncate);
  if (file == nullptr) ThrowIoError(*path);
  const int64_t written = os.WriteFile(file, &record, static_cast<uint32_t>(kSettingsSize));
  const bool writeFailed = written != static_cast<int64_t>(kSettingsSize);
  // A failed write leaves its error code. A short one succeeds and sets
  // none: the last error may still be the create's "already exists". It is
  // a full disk in practice.
  constexpr uint32_t kErrorDiskFull = 112;
  const uint32_t writeError = written < 0 ? os.LastError() : kErrorDiskFull;
  const bool closed = os.CloseFile(file);
  if (writeFailed) {
    std::string message = os.ErrorMessage(writeError);
    if (message.empty()) message = "ディスクに書き込めません";
    throw IoError(message + Shown(*path));
  }
  if (!closed) ThrowIoError(*path);
}

void LoadSettings(SettingsControls& controls) {
  if (ReadSettingsFile(DeleteSettings)) return;
  controls.ResetControls();
  controls.ControlsToSettings();
}

void SaveSettings(SettingsControls& controls) {
  controls.ControlsToSettings();
  WriteSettingsFile(DeleteSettings);
}

}  // namespace purga
