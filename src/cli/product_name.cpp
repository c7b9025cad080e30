#include "cli/product_name.h"

#include "host/text.h"

namespace trivexa::cli {
namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string ProductNameFromUtf16(std::span<const std::uint8_t> bytes) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  std::string name;
  const std::size_t units = bytes.size() / 2;
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    return static_cast<std::uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t code = unit(i);
    if (code == 0) break;
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      AppendUtf8(name, 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      AppendUtf8(name, kReplacement);
    } else {
      AppendUtf8(name, code);
    }
  }
  return name;
}

std::string QuotedTerminalText(std::string_view utf8) { return TerminalText(utf8, "\"\\"); }

}  // namespace trivexa::cli
