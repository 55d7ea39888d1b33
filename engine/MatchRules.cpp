#include "engine/MatchRules.h"

#include <cmath>
#include <limits>
#include <string>

#include "common/Hensu.h"
#include "common/commFunc.h"

namespace purga {

namespace {

// Plain substring test; an empty string never occurs, and nothing occurs in
// an empty string.
bool Occurs(std::string_view needle, std::string_view haystack) {
  if (needle.empty() || haystack.empty()) return false;
  return haystack.find(needle) != std::string_view::npos;
}

constexpr int kReversedCategory = 13;  // "*.~": the list occurs in the extension

}  // namespace

int32_t SizeKB(uint64_t sizeBytes) {
  const float single = static_cast<float>(sizeBytes);
  const double kb = std::ceil(static_cast<double>(single) / 1000.0);
  if (kb >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(kb);
}

int32_t CheckSizeRule(int32_t thresholdKB, int32_t sizeKB) {
  if (FlagSet(DeleteSettings.DeleteSmaller)) return sizeKB < thresholdKB ? 1 : 0;
  return sizeKB >= thresholdKB ? 1 : 0;
}

int32_t MatchFile(std::string_view extension, int32_t sizeKB) {
  const std::string_view e = extension.empty() ? extension : extension.substr(1);
  // Upper-cased by ASCII letters only, but never inside a double-byte
  // character: a trail byte turned into another letter would make the rule
  // select files of another extension.
  const std::string other = AsciiUpperCase(LoadText(DeleteSettings.OtherExtension));
  for (int i = 0; i < kRuleCount; ++i) {
    const CategoryRule& rule = DeleteSettings.Rules[i];
    if (!FlagSet(rule.Enabled)) continue;
    bool hit;
    if (i == kOtherRule)
      hit = Occurs(e, other);
    else if (i == kReversedCategory)
      hit = Occurs(ExtensionLists[i], e);
    else
      hit = Occurs(e, ExtensionLists[i]);
    if (!hit) continue;
    if (FlagSet(rule.SizeLimited)) return CheckSizeRule(LoadThreshold(rule), sizeKB);
    return 1;
  }
  return 0;
}

}  // namespace purga
