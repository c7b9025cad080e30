#include "host/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace trivexa {
namespace {

// The edges of each shared text rule, where an off-by-one would hide.
TEST(TextTest, EachRuleHoldsAtItsEdges) {
  struct Decoded {
    std::string_view text;
    std::optional<std::pair<char32_t, std::size_t>> expected;  // code, bytes
  };
  const Decoded decoded[] = {
      {"", std::nullopt},
      {"\x7F", std::pair{U'\x7F', 1}},
      {"\xC2\x80!", std::pair{U'\x80', 2}},
      {"\xC1\xBF", std::nullopt},  // overlong
      {"\xE0\x9F\xBF", std::nullopt},
      {"\xE0\xA0\x80", std::pair{U'\x800', 3}},
      {"\xED\x9F\xBF", std::pair{U'\xD7FF', 3}},
      {"\xED\xA0\x80", std::nullopt},  // surrogates
      {"\xED\xBF\xBF", std::nullopt},
      {"\xEE\x80\x80", std::pair{U'\xE000', 3}},
      {"\xF0\x8F\xBF\xBF", std::nullopt},
      {"\xF0\x90\x80\x80", std::pair{U'\x10000', 4}},
      {"\xF4\x8F\xBF\xBF", std::pair{U'\x10FFFF', 4}},
      {"\xF4\x90\x80\x80", std::nullopt},                   // past U+10FFFF
      {"\x80", std::nullopt},                               // a stray continuation byte
      {"\xF8\x90\x80\x80", std::nullopt},                   // no lead byte
      {std::string_view("\xE2\x82\xAC", 2), std::nullopt},  // cut off
      {"\xE2\x28\xA1", std::nullopt},
  };
  for (const auto& [text, expected] : decoded) {
    const auto got = DecodeUtf8(text);
    EXPECT_EQ(got ? std::optional(std::pair{got->code, got->length}) : std::nullopt, expected)
        << testing::PrintToString(text);
  }

  // Natural order, both ways round: a before b, b before a.
  const std::tuple<std::string_view, std::string_view, bool, bool> ordered[] = {
      {"hidraw2", "hidraw10", true, false},
      {"1-2", "1-10", true, false},
      {"n99999999999999999999", "n100000000000000000000", true, false},  // past 64 bits
      {"x007", "x7", false, false},  // leading zeros do not count
      {"x0", "x00", false, false},
      {"x009", "x10", true, false},
      {"a", "ab", true, false},
      {"", "a", true, false},
      {"", "", false, false},
      {"9", "a", true, false},
      {"a10", "a9b", false, true},
  };
  for (const auto& [a, b, aFirst, bFirst] : ordered) {
    EXPECT_EQ(NaturalLess(a, b), aFirst) << a << " < " << b;
    EXPECT_EQ(NaturalLess(b, a), bFirst) << b << " < " << a;
  }

  // Controls escaped, everything else kept; `quoted` characters get a
  // backslash.
  const std::tuple<std::string_view, std::string_view, std::string_view> escaped[] = {
      {"\x1b]2;x\x07\n", "", "\\x1b]2;x\\x07\\x0a"},
      {"\x1f \x7F~", "", "\\x1f \\x7f~"},
      {"\xC2\x9B\xC2\x80", "", "\\u009b\\u0080"},  // C1 controls
      {"\xC2\xA0\xC3\xA9 a\\b", "", "\xC2\xA0\xC3\xA9 a\\b"},
      {std::string_view("\xC2\x9B", 1), "", "\xC2"},  // cut off
      {"say \"hi\"", "\"", "say \\\"hi\\\""},
  };
  for (const auto& [text, quoted, expected] : escaped) {
    EXPECT_EQ(TerminalText(text, quoted), expected) << testing::PrintToString(text);
  }

  for (const auto& [text, digits] :
       {std::pair{"0123456789", true}, std::pair{"", false}, std::pair{"12a", false},
        std::pair{"/", false}, std::pair{":", false}, std::pair{"-1", false}}) {
    EXPECT_EQ(AllDecimalDigits(text), digits) << text;
  }
  // Only A to Z fold: not the characters beside them, nor other letters.
  for (const auto& [a, b, equal] :
       {std::tuple{"HidRaw", "hIDrAW", true}, std::tuple{"", "", true},
        std::tuple{"abc", "abcd", false}, std::tuple{"@", "`", false}, std::tuple{"[", "{", false},
        std::tuple{"\xC3\x89", "\xC3\xA9", false}}) {
    EXPECT_EQ(EqualsIgnoringAsciiCase(a, b), equal) << a << " " << b;
  }
}

}  // namespace
}  // namespace trivexa
