#include "cli/product_name.h"

#include <gtest/gtest.h>

#include <vector>

namespace trivexa::cli {
namespace {

std::vector<std::uint8_t> Utf16(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

TEST(ProductNameTest, DecodesWholeNamesUpToTheFirstZero) {
  // Longer than the eleven characters the window's log keeps.
  EXPECT_EQ(ProductNameFromUtf16(Utf16(u"Generic USB Joystick")), "Generic USB Joystick");
  EXPECT_EQ(ProductNameFromUtf16(Utf16(std::u16string_view(u"Pad\0junk", 8))), "Pad");
  EXPECT_EQ(ProductNameFromUtf16({}), "");
}

TEST(ProductNameTest, DecodesBeyondLatin1) {
  EXPECT_EQ(ProductNameFromUtf16(Utf16(u"Jöy 宋体")), "Jöy 宋体");
  EXPECT_EQ(ProductNameFromUtf16(Utf16(u"\U0001F579")), "\xF0\x9F\x95\xB9");
}

TEST(ProductNameTest, BrokenTextBecomesReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(ProductNameFromUtf16(Utf16(u"a\xD800z")), "a" + replacement + "z");
  EXPECT_EQ(ProductNameFromUtf16(Utf16(u"\xDC00")), replacement);
  std::vector<std::uint8_t> odd = Utf16(u"ab");
  odd.push_back('c');  // half a code unit at the end is dropped
  EXPECT_EQ(ProductNameFromUtf16(odd), "ab");
}

}  // namespace
}  // namespace trivexa::cli
