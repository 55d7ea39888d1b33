// The rules that decide whether the current settings select a file.
#pragma once

#include <cstdint>
#include <string_view>

namespace purga {

// A file's size in kilobytes of 1000 bytes, rounded up, after the size has
// passed through single precision. Sizes beyond what 32 bits hold give the
// true figure, capped at INT32_MAX.
int32_t SizeKB(uint64_t sizeBytes);

// 1 when a file of `sizeKB` passes a category's size threshold, else 0.
int32_t CheckSizeRule(int32_t thresholdKB, int32_t sizeKB);

// 1 when the settings select a file with this extension (as the walk gives
// it: last "." to the end, upper-cased) and size, else 0.
int32_t MatchFile(std::string_view extension, int32_t sizeKB);

}  // namespace purga
