#include "settings/number_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace trivexa::settings {
namespace {

TEST(ReadLeadingNumber, ReadsTheNumberAtTheStartAsStoredValuesHoldIt) {
  struct Case {
    std::string text;
    std::int64_t expected;
  };
  // clang-format off
  const Case cases[] = {
      {"3", 3},          {" 3", 3},         {"3 and more words", 3},
      {"1 2", 12},       {"\t1\n2", 12},    {"abc", 0},
      {"", 0},           {"   ", 0},         {"2.5", 2},
      {"3.5", 4},        {"0.5", 0},         {"1.5", 2},
      {"2.51", 3},       {"2.4999", 2},      {"2.05", 2},
      {"+7", 7},         {"-3", -3},         {"- 3", -3},
      {"-0.4", 0},       {".5", 0},          {".6", 1},
      {"12abc", 12},     {"10\r", 10},       {std::string("4\0" "9", 3), 4},
      {"1e400", 1},      {"&HFF", 0},        {"5,5", 5},
      {"255", 255},      {"256", 256},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(ReadLeadingNumber(c.text), c.expected) << "text: \"" << c.text << "\"";
  }
}

TEST(ReadLeadingNumber, CapsHugeMagnitudesInsteadOfOverflowing) {
  EXPECT_EQ(ReadLeadingNumber(std::string(5000, '9')), kNumberCap);
  EXPECT_EQ(ReadLeadingNumber("-" + std::string(40, '9') + ".9"), -kNumberCap);
  EXPECT_EQ(ReadLeadingNumber("999"), 999);
  // Only the first digit of a fraction decides the rounding, however long.
  EXPECT_EQ(ReadLeadingNumber("1." + std::string(1'000'000, '4') + "9"), 1);
}

}  // namespace
}  // namespace trivexa::settings
