#include "hid/linux/product_string.h"

#include <cstddef>

namespace trivexa::hid {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at `pos` and moves past it; a byte that does not
// start a well-formed sequence is taken alone as U+FFFD.
char32_t DecodeOne(std::string_view utf8, std::size_t& pos) {
  const auto lead = static_cast<std::uint8_t>(utf8[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t trail = 0;
  char32_t code = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    trail = 1, code = lead & 0x1Fu, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    trail = 2, code = lead & 0x0Fu, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    trail = 3, code = lead & 0x07u, smallest = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (utf8.size() - pos - 1 < trail) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i <= trail; ++i) {
    const auto byte = static_cast<std::uint8_t>(utf8[pos + i]);
    if ((byte & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    code = (code << 6) | (byte & 0x3Fu);
  }
  // Overlong forms, UTF-16 surrogates and values past Unicode are not text.
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += trail + 1;
  return code;
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
