#include <gtest/gtest.h>

#include "tests/fake/FakePlatform.h"
#include "tests/support/CodePageCases.h"

namespace purga {
namespace {

// The fake answers as code page 932 does under Wine (the same table runs
// there through the Win32 calls).
TEST(FakeCodePageTest, AgreesWithTheRealCodePage) {
  test::FakePlatform os;
  for (const auto& c : test::kLeadByteCases)
    EXPECT_EQ(os.IsLeadByte(c.byte), c.lead) << int(c.byte);
  for (const auto& c : test::kUpperCaseCases) EXPECT_EQ(os.UpperCase(c.text), c.upper) << c.text;
}

}  // namespace
}  // namespace purga
