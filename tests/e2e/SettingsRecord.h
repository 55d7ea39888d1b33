// The settings record as Purga.in holds it, for the end-to-end tests that
// start the program with settings of their own.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace e2e {

// The settings record as the file holds it, built byte by byte from its
// documented layout (not from the program's own structure).
class Record {
 public:
  Record() : bytes_(492, '\0') {
    const int32_t thresholds[17] = {30,  30, 30, 30,  3000, 3000, 3000, 3000, 3000,
                                    200, 30, 30, 100, 5000, 100,  50,   300};
    for (int i = 0; i < 17; ++i) Rule(i, 0, 0, thresholds[i]);
  }
  void Rule(int i, uint8_t enabled, uint8_t sizeLimited, int32_t thresholdKB) {
    bytes_[8 * i] = static_cast<char>(enabled);
    bytes_[8 * i + 1] = static_cast<char>(sizeLimited);
    std::memcpy(&bytes_[8 * i + 4], &thresholdKB, 4);  // little-endian
  }
  void Text(size_t offset, const std::string& text) {
    std::memcpy(&bytes_[offset], text.data(), text.size());
  }
  void Flag(size_t offset, uint8_t value) { bytes_[offset] = static_cast<char>(value); }
  const std::string& Bytes() const { return bytes_; }

  static constexpr size_t kOtherExtension = 0x098, kDeleteEmptyFolders = 0x09F,
                          kDeleteSmaller = 0x0A0, kConfirmStart = 0x0A1, kSavedFolder = 0x0A2,
                          kCleanBrowserCache = 0x1E8, kClearRecentDocs = 0x1E9,
                          kCleanWinTemp = 0x1EA, kDeleteReadOnly = 0x1EB;

 private:
  std::string bytes_;
};

// *.TXT from 5 KB, *.BAK and "dat" selected in `folder`, emptied folders
// removed, read-only files kept, a confirmation asked for, and no clean-up of
// the system's own places (not in a test).
inline Record SampleSettings(const std::string& folder) {
  Record record;
  record.Rule(14, 1, 1, 5);    // *.TXT, from 5 KB
  record.Rule(12, 1, 0, 100);  // *.BAK
  record.Rule(16, 1, 0, 300);  // その他: dat
  record.Text(Record::kOtherExtension, "dat");
  record.Flag(Record::kDeleteEmptyFolders, 1);
  record.Flag(Record::kConfirmStart, 1);
  record.Text(Record::kSavedFolder, folder);
  record.Flag(Record::kCleanBrowserCache, 0);
  record.Flag(Record::kClearRecentDocs, 0);
  record.Flag(Record::kCleanWinTemp, 0);
  record.Flag(Record::kDeleteReadOnly, 0);
  return record;
}

}  // namespace e2e
