#include "hid/linux/product_string.h"

#include <cstddef>
#include <optional>

#include "host/text.h"

namespace trivexa::hid {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at `pos` and moves past it; a byte that does not
// start a well-formed sequence is taken alone as U+FFFD.
char32_t DecodeOne(std::string_view utf8, std::size_t& pos) {
  const std::optional<Utf8Char> character = DecodeUtf8(utf8.substr(pos));
  if (!character) {
    ++pos;
    return kReplacement;
  }
  pos += character->length;
  return character->code;
}

void PutUnit(std::span<std::uint8_t> out, std::size_t at, char32_t unit) {
  out[at] = static_cast<std::uint8_t>(unit & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((unit >> 8) & 0xFF);
}

}  // namespace

void EncodeProductString(std::string_view utf8,
                         std::span<std::uint8_t, kProductStringBytes> buffer) {
  std::size_t written = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code = DecodeOne(utf8, pos);
    const std::size_t need = code >= 0x10000 ? 4 : 2;
    if (buffer.size() - written < need) break;
    if (code >= 0x10000) {
      const char32_t offset = code - 0x10000;
      PutUnit(buffer, written, 0xD800 + (offset >> 10));
      PutUnit(buffer, written + 2, 0xDC00 + (offset & 0x3FF));
    } else {
      PutUnit(buffer, written, code);
    }
    written += need;
  }
  if (buffer.size() - written >= 2) PutUnit(buffer, written, 0);
}

}  // namespace trivexa::hid
