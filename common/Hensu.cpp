#include "common/Hensu.h"

#include <cstring>

namespace purga {

DeleteSettingsRecord DeleteSettings{};
std::array<std::string, kCategoryCount> ExtensionLists;

const std::array<RuleDefault, kRuleCount> kRuleDefaults = {{
    {0, 30},    // *.HTM
    {0, 30},    // *.JPG
    {0, 30},    // *.GIF
    {0, 30},    // *.PNG
    {0, 3000},  // *.BMP
    {0, 3000},  // *.RA
    {0, 3000},  // *.WMV
    {0, 3000},  // *.MPG
    {0, 3000},  // *.AVI
    {0, 200},   // *.MP3
    {0, 30},    // *.GID
    {0, 30},    // *.OLD
    {0, 100},   // *.BAK
    {0, 5000},  // *.~
    {0, 100},   // *.TXT
    {1, 50},    // Css/Cgi/$Mv
    {0, 300},   // the user's own extension
}};

std::string TargetFolder;
std::atomic<int32_t> StopRequested{0};
std::atomic<int32_t> RunGuard{0};
std::atomic<int64_t> FreeSpaceBefore{0};
std::atomic<int64_t> FreeSpaceAfter{0};
std::u16string ExeFolder;

void InitSettings() {
  ExtensionLists = {"HTML,HTM", "JPG, JPEG",
                    "GIF",      "PNG",
                    "BMP",      "RAM,RMM,RA,RM",
                    "WM,WMV",   "MPG,MPEG,MPE",
                    "AVI",      "MP3",
                    "GID",      "OLD",
                    "BAK",      "~",
                    "TXT",      "CSS,CSV,CGI,$MV"};
  StoreFlag(DeleteSettings.DeleteEmptyFolders, 1);
  StoreFlag(DeleteSettings.DeleteSmaller, 1);
  std::memset(DeleteSettings.SavedFolder, 0, sizeof DeleteSettings.SavedFolder);
  std::memset(DeleteSettings.reserved1A2, 0, sizeof DeleteSettings.reserved1A2);
  StoreFlag(DeleteSettings.CleanBrowserCache, 1);
  StoreFlag(DeleteSettings.ClearRecentDocs, 1);
  StoreFlag(DeleteSettings.CleanWinTemp, 1);
  StoreFlag(DeleteSettings.DeleteReadOnly, 1);
}

uint8_t LoadFlag(const uint8_t& flag) {
  return std::atomic_ref<const uint8_t>(flag).load(std::memory_order_relaxed);
}

void StoreFlag(uint8_t& flag, uint8_t value) {
  std::atomic_ref<uint8_t>(flag).store(value, std::memory_order_relaxed);
}

int32_t LoadThreshold(const CategoryRule& rule) {
  return std::atomic_ref<const int32_t>(rule.ThresholdKB).load(std::memory_order_relaxed);
}

void StoreThreshold(CategoryRule& rule, int32_t value) {
  std::atomic_ref<int32_t>(rule.ThresholdKB).store(value, std::memory_order_relaxed);
}

std::string LoadTextBytes(const char* field, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    const auto byte = std::atomic_ref<const char>(field[i]).load(std::memory_order_relaxed);
    if (byte == '\0') break;
    text.push_back(byte);
  }
  return text;
}

bool StoreTextBytes(char* field, size_t size, std::string_view text) {
  if (text.size() >= size) return false;
  for (size_t i = 0; i < text.size(); ++i)
    std::atomic_ref<char>(field[i]).store(text[i], std::memory_order_relaxed);
  std::atomic_ref<char>(field[text.size()]).store('\0', std::memory_order_relaxed);
  return true;
}

}  // namespace purga
