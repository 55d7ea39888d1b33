// Program-wide variables: the settings record, the extension lists and the
// state of a deletion run.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace purga {

// One category's rule, 8 bytes inside the record.
struct CategoryRule {
  uint8_t Enabled;
  uint8_t SizeLimited;
  uint8_t reserved[2];
  int32_t ThresholdKB;
};

inline constexpr int kCategoryCount = 16;  // the fixed categories
inline constexpr int kRuleCount = 17;      // plus the user's own extension
inline constexpr int kOtherRule = 16;

// The settings record, persisted whole as the 492 bytes of Purga.in.
struct DeleteSettingsRecord {
  CategoryRule Rules[kRuleCount];
  uint8_t reserved88[16];
  char OtherExtension[7];
  uint8_t DeleteEmptyFolders;
  uint8_t DeleteSmaller;
  uint8_t ConfirmStart;
  char SavedFolder[256];
  uint8_t reserved1A2[65];
  uint8_t reserved1E3[5];
  uint8_t CleanBrowserCache;
  uint8_t ClearRecentDocs;
  uint8_t CleanWinTemp;
  uint8_t DeleteReadOnly;
};

inline constexpr size_t kSettingsSize = 492;

static_assert(sizeof(CategoryRule) == 8);
static_assert(offsetof(CategoryRule, Enabled) == 0);
static_assert(offsetof(CategoryRule, SizeLimited) == 1);
static_assert(offsetof(CategoryRule, ThresholdKB) == 4);
static_assert(sizeof(DeleteSettingsRecord) == kSettingsSize);
static_assert(offsetof(DeleteSettingsRecord, Rules) == 0x000);
static_assert(offsetof(DeleteSettingsRecord, reserved88) == 0x088);
static_assert(offsetof(DeleteSettingsRecord, OtherExtension) == 0x098);
static_assert(offsetof(DeleteSettingsRecord, DeleteEmptyFolders) == 0x09F);
static_assert(offsetof(DeleteSettingsRecord, DeleteSmaller) == 0x0A0);
static_assert(offsetof(DeleteSettingsRecord, ConfirmStart) == 0x0A1);
static_assert(offsetof(DeleteSettingsRecord, SavedFolder) == 0x0A2);
static_assert(offsetof(DeleteSettingsRecord, reserved1A2) == 0x1A2);
static_assert(offsetof(DeleteSettingsRecord, reserved1E3) == 0x1E3);
static_assert(offsetof(DeleteSettingsRecord, CleanBrowserCache) == 0x1E8);
static_assert(offsetof(DeleteSettingsRecord, ClearRecentDocs) == 0x1E9);
static_assert(offsetof(DeleteSettingsRecord, CleanWinTemp) == 0x1EA);
static_assert(offsetof(DeleteSettingsRecord, DeleteReadOnly) == 0x1EB);
static_assert(alignof(DeleteSettingsRecord) == 4);

// The one settings record. Zero when the program starts.
extern DeleteSettingsRecord DeleteSettings;

// The sixteen fixed extension lists, index as Rules; set once by InitSettings.
extern std::array<std::string, kCategoryCount> ExtensionLists;

// The default rule of each category (Enabled, ThresholdKB), index as Rules.
struct RuleDefault {
  uint8_t enabled;
  int32_t thresholdKB;
};
extern const std::array<RuleDefault, kRuleCount> kRuleDefaults;

// Fills ExtensionLists and sets the start-up values of DeleteSettings.
void InitSettings();

// The worker reads the record while the user-interface thread writes it; every
// field is read and written whole, through these relaxed atomic accessors.
uint8_t LoadFlag(const uint8_t& flag);
void StoreFlag(uint8_t& flag, uint8_t value);
int32_t LoadThreshold(const CategoryRule& rule);
void StoreThreshold(CategoryRule& rule, int32_t value);
// A flag counts as set for the engine only when its byte is exactly 1.
inline bool FlagSet(const uint8_t& flag) { return LoadFlag(flag) == 1; }

// A fixed text field: read up to its first NUL, never past the array; write
// the text and its NUL, leaving the bytes after the NUL as they are. A text
// that does not fit with its NUL is not written (StoreText returns false).
template <size_t N>
std::string LoadText(const char (&field)[N]);
template <size_t N>
bool StoreText(char (&field)[N], std::string_view text);

// Run state, shared between the deletion window and the worker.
extern std::string TargetFolder;
extern std::atomic<int32_t> StopRequested;
extern std::atomic<int32_t> RunGuard;
// Free space in units of 1024 bytes. 64-bit so that drives with more than
// 2,147,483,647 KB free show their true figure.
extern std::atomic<int64_t> FreeSpaceBefore;
extern std::atomic<int64_t> FreeSpaceAfter;

// The executable's folder with a trailing backslash (UTF-16: the folder's
// name may hold characters that code page 932 lacks).
extern std::u16string ExeFolder;

// --- implementation of the text templates ---
std::string LoadTextBytes(const char* field, size_t size);
bool StoreTextBytes(char* field, size_t size, std::string_view text);

template <size_t N>
std::string LoadText(const char (&field)[N]) {
  return LoadTextBytes(field, N);
}
template <size_t N>
bool StoreText(char (&field)[N], std::string_view text) {
  return StoreTextBytes(field, N, text);
}

}  // namespace purga
