#include "settings/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace trivexa::settings {
namespace {

TEST(NumberText, SignPositionThenDigits) {
  EXPECT_EQ(NumberText(0), " 0");
  EXPECT_EQ(NumberText(255), " 255");
  EXPECT_EQ(NumberText(-300), "-300");
  EXPECT_EQ(NumberText(-32768), "-32768");
  EXPECT_EQ(NumberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace trivexa::settings
