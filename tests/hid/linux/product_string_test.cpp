#include "hid/linux/product_string.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trivexa::hid {
namespace {

constexpr std::uint8_t kUntouched = 0xEE;
constexpr std::size_t kGuard = 4;

// The 100-byte buffer with guard bytes after it, all preset.
struct GuardedBuffer {
  std::array<std::uint8_t, kProductStringBytes + kGuard> bytes;
  GuardedBuffer() { bytes.fill(kUntouched); }
  std::span<std::uint8_t, kProductStringBytes> Span() {
    return std::span<std::uint8_t, kProductStringBytes>(bytes.data(), kProductStringBytes);
  }
  bool GuardIntact() const {
    for (std::size_t i = kProductStringBytes; i < bytes.size(); ++i) {
      if (bytes[i] != kUntouched) return false;
    }
    return true;
  }
  std::vector<std::uint16_t> Units(std::size_t count) const {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < count; ++i) {
      units.push_back(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    }
    return units;
  }
};

std::vector<std::uint16_t> Encoded(const std::string& utf8, std::size_t units) {
  GuardedBuffer buffer;
  EncodeProductString(utf8, buffer.Span());
  EXPECT_TRUE(buffer.GuardIntact());
  return buffer.Units(units);
}

TEST(ProductStringTest, TextBecomesLittleEndianUtf16WithTerminator) {
  GuardedBuffer buffer;
  EncodeProductString("USB Joy", buffer.Span());
  const std::vector<std::uint8_t> head(buffer.bytes.begin(), buffer.bytes.begin() + 17);
  EXPECT_EQ(head, (std::vector<std::uint8_t>{'U', 0, 'S', 0, 'B', 0, ' ', 0, 'J', 0, 'o', 0, 'y', 0,
                                             0, 0, kUntouched}));

  EXPECT_EQ(Encoded(std::string("Gr\xC3\xB6\xC3\x9F") + "e", 6),
            (std::vector<std::uint16_t>{'G', 'r', 0x00F6, 0x00DF, 'e', 0}));
  EXPECT_EQ(Encoded("\xE2\x82\xAC", 2), (std::vector<std::uint16_t>{0x20AC, 0}));
  // Past the basic plane: a surrogate pair, high half first.
  EXPECT_EQ(Encoded("\xF0\x9F\x98\x80!", 4), (std::vector<std::uint16_t>{0xD83D, 0xDE00, '!', 0}));
}

TEST(ProductStringTest, MalformedUtf8BecomesOneReplacementPerBadByte) {
  constexpr std::uint16_t kBad = 0xFFFD;
  EXPECT_EQ(Encoded(std::string("\xFF") + "A", 3), (std::vector<std::uint16_t>{kBad, 'A', 0}));
  EXPECT_EQ(Encoded("A\xC3", 3), (std::vector<std::uint16_t>{'A', kBad, 0}));
  EXPECT_EQ(Encoded(std::string("\xE2\x82") + "A", 4),
            (std::vector<std::uint16_t>{kBad, kBad, 'A', 0}));
  EXPECT_EQ(Encoded("\xC0\xAF", 3), (std::vector<std::uint16_t>{kBad, kBad, 0}));  // overlong
  EXPECT_EQ(Encoded("\xED\xA0\x80", 4),
            (std::vector<std::uint16_t>{kBad, kBad, kBad, 0}));  // a lone surrogate
  EXPECT_EQ(Encoded("\xF4\x90\x80\x80", 5),
            (std::vector<std::uint16_t>{kBad, kBad, kBad, kBad, 0}));  // past U+10FFFF
}

TEST(ProductStringTest, LongNamesFillTheBufferAndStopAtIt) {
  {
    // 49 characters leave room for the terminator.
    GuardedBuffer buffer;
    EncodeProductString(std::string(49, 'a'), buffer.Span());
    EXPECT_EQ(buffer.Units(50).back(), 0);
    EXPECT_EQ(buffer.Units(49), std::vector<std::uint16_t>(49, 'a'));
    EXPECT_TRUE(buffer.GuardIntact());
  }
  {
    // 50 or more fill it completely, without terminator.
    for (std::size_t length : {50u, 51u, 300u}) {
      GuardedBuffer buffer;
      EncodeProductString(std::string(length, 'b'), buffer.Span());
      EXPECT_EQ(buffer.Units(50), std::vector<std::uint16_t>(50, 'b'));
      EXPECT_TRUE(buffer.GuardIntact());
    }
  }
  {
    // A pair that fits exactly in the last four bytes is kept...
    GuardedBuffer buffer;
    EncodeProductString(std::string(48, 'c') + "\xF0\x9F\x98\x80", buffer.Span());
    EXPECT_EQ(buffer.Units(50)[48], 0xD83D);
    EXPECT_EQ(buffer.Units(50)[49], 0xDE00);
    EXPECT_TRUE(buffer.GuardIntact());
  }
  {
    // ...one that would be split is left out, and the terminator fits.
    GuardedBuffer buffer;
    EncodeProductString(std::string(49, 'c') + "\xF0\x9F\x98\x80", buffer.Span());
    EXPECT_EQ(buffer.Units(50)[48], 'c');
    EXPECT_EQ(buffer.Units(50)[49], 0);
    EXPECT_TRUE(buffer.GuardIntact());
  }
}

}  // namespace
}  // namespace trivexa::hid
