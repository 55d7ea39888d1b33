// The settings record as bytes, for tests that compare it with a file or
// with the values a load must produce.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/Hensu.h"

namespace purga::test {

inline std::string RecordBytes(const DeleteSettingsRecord& record = DeleteSettings) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

inline void SetRecordBytes(const std::string& bytes,
                           DeleteSettingsRecord& record = DeleteSettings) {
  std::memset(&record, 0, sizeof record);
  std::memcpy(&record, bytes.data(), bytes.size() < sizeof record ? bytes.size() : sizeof record);
}

inline void PutInt32(std::string& bytes, size_t offset, int32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

// The record after a load that found no file, written out from the table of
// the settings format rather than from the program's own defaults: the
// categories' defaults, every size box off, empty texts, the seven option
// flags on and zero in every reserved byte.
inline std::string ExpectedDefaultRecord() {
  struct {
    uint8_t enabled;
    int32_t thresholdKB;
  } const rules[17] = {{0, 30},   {0, 30},   {0, 30},   {0, 30},  {0, 3000}, {0, 3000},
                       {0, 3000}, {0, 3000}, {0, 3000}, {0, 200}, {0, 30},   {0, 30},
                       {0, 100},  {0, 5000}, {0, 100},  {1, 50},  {0, 300}};
  std::string bytes(492, '\0');
  for (int i = 0; i < 17; ++i) {
    bytes[8 * i] = static_cast<char>(rules[i].enabled);
    PutInt32(bytes, 8 * i + 4, rules[i].thresholdKB);
  }
  for (size_t flag : {0x09F, 0x0A0, 0x0A1, 0x1E8, 0x1E9, 0x1EA, 0x1EB}) bytes[flag] = 1;
  return bytes;
}

// The record after a load that read `file` (shorter than the record) and
// took the default path: the file's bytes stay except where that path
// stores the rules, the empty texts' NULs and the three boxes it ticks;
// beyond the file the record keeps its start-up values.
inline std::string ExpectedAfterFailedRead(const std::string& file) {
  const std::string defaults = ExpectedDefaultRecord();
  std::string expected = defaults;
  expected.replace(0, file.size(), file);
  for (size_t rule = 0; rule < 17 * 8; rule += 8) {
    expected.replace(rule, 2, defaults, rule, 2);          // Enabled, SizeLimited
    expected.replace(rule + 4, 4, defaults, rule + 4, 4);  // ThresholdKB
  }
  expected[0x098] = '\0';
  expected[0x0A2] = '\0';
  for (size_t flag : {0x09F, 0x0A0, 0x0A1}) expected[flag] = 1;
  return expected;
}

// A valid record whose every reserved byte and text tail is non-zero: what a
// file written by an earlier version with other values could hold.
inline std::string RecordWithReservedBytes() {
  std::string bytes = ExpectedDefaultRecord();
  for (int i = 0; i < 17; ++i) {
    bytes[8 * i + 1] = static_cast<char>(i % 2);  // some size boxes on
    bytes[8 * i + 2] = static_cast<char>(0xA0 + i);
    bytes[8 * i + 3] = static_cast<char>(0x50 + i);
    PutInt32(bytes, 8 * i + 4, 1 + 977 * i);
  }
  for (size_t i = 0x088; i < 0x098; ++i) bytes[i] = static_cast<char>(i);
  std::memcpy(&bytes[0x098], "gz\0oldX", 7);  // "gz", then the tail of a longer value
  bytes[0x0A0] = 0;
  std::string folder = "C:\\Data\\\x83\x5c\x95\x5c";  // ソ表: trail bytes 0x5C
  folder += '\0';
  folder += "tail of an older, longer folder";
  std::memcpy(&bytes[0x0A2], folder.data(), folder.size());
  for (size_t i = 0x1A2; i < 0x1E8; ++i) bytes[i] = static_cast<char>(0xFF - (i & 0x3F));
  bytes[0x1E9] = 0;
  return bytes;
}

}  // namespace purga::test
