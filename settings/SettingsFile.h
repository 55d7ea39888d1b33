// The settings file Purga.in: one 492-byte DeleteSettings record in the
// Windows system folder.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "settings/SettingsControls.h"

namespace purga {

inline constexpr const char* kSettingsFileName = "Purga.in";

// A file error of the settings save, carrying the platform's message.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settings file's path, or nothing when the system folder is unknown.
std::optional<std::u16string> SettingsFilePath();

// Reads the first 492 bytes of the file straight into `record`. False on any
// failure; the bytes already read stay in the record.
bool ReadSettingsFile(DeleteSettingsRecord& record);
// Writes the whole record; throws IoError with the platform's message.
void WriteSettingsFile(const DeleteSettingsRecord& record);

// Loads the settings, or takes the default path through the window's
// controls. Never throws.
void LoadSettings(SettingsControls& controls);
// Brings the record up to date from the controls and writes it; throws
// IoError.
void SaveSettings(SettingsControls& controls);

}  // namespace purga
