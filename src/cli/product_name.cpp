#include "cli/product_name.h"

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

std::string TerminalText(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x20 || byte == 0x7F) {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    } else if (byte == '"' || byte == '\\') {
      text += '\\';
      text += static_cast<char>(byte);
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      // U+0080 to U+009F, the C1 controls (CSI, OSC, ...), in UTF-8.
      const auto code = static_cast<unsigned char>(utf8[++i]);
      text += "\\u00";
      text += kHex[code >> 4];
      text += kHex[code & 0xF];
    } else {
      text += static_cast<char>(byte);
    }
  }
  return text;
}

}  // namespace trivexa::cli
