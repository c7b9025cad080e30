#include "host/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace trivexa {
namespace {

// The edges of each shared text rule, where an off-by-one would hide.
TEST(TextTest, EachRuleHoldsAtItsEdges) {
  const std::tuple<std::string_view, char32_t, std::size_t> decoded[] = {
      {"\x7F", U'\x7F', 1},
      {"\xC2\x80!", U'\x80', 2},
      {"\xE0\xA0\x80", U'\x800', 3},
      {"\xED\x9F\xBF", U'\xD7FF', 3},
      {"\xEE\x80\x80", U'\xE000', 3},
      {"\xF0\x90\x80\x80", U'\x10000', 4},
      {"\xF4\x8F\xBF\xBF", U'\x10FFFF', 4},
  };
  for (const auto& [text, code, length] : decoded) {
    const auto got = DecodeUtf8(text);
    ASSERT_TRUE(got) << testing::PrintToString(text);
    EXPECT_EQ(got->code, code);
    EXPECT_EQ(got->length, length);
  }
  // Overlong forms, surrogates, past U+10FFFF, a stray continuation byte, no
  // lead byte, a broken sequence; and one cut off.
  for (const std::string_view text :
       {"", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
        "\xF4\x90\x80\x80", "\x80", "\xF8\x90\x80\x80", "\xE2\x28\xA1"}) {
    EXPECT_FALSE(DecodeUtf8(text)) << testing::PrintToString(text);
  }
  EXPECT_FALSE(DecodeUtf8(std::string_view("\xE2\x82\xAC", 2)));

  // Natural order, both ways round: a before b, b before a.
  const std::tuple<std::string_view, std::string_view, bool, bool> ordered[] = {
      {"hidraw2", "hidraw10", true, false},
      {"1-2", "1-10", true, false},
      {"n99999999999999999999", "n100000000000000000000", true, false},  // past 64 bits
      {"x007", "x7", false, false},  // leading zeros do not count
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
  // Line by line: the breaks stay, every other control is escaped.
  EXPECT_EQ(TerminalLines("a\x1b\nb\r\n\n"), "a\\x1b\nb\\x0d\n\n");

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
