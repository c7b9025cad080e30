#include "host/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace trivexa {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits or of other characters that `text` starts with.
std::string_view TakeRun(std::string_view& text) {
  const bool digits = IsDigit(text.front());
  std::size_t length = 1;
  while (length < text.size() && IsDigit(text[length]) == digits) ++length;
  const std::string_view run = text.substr(0, length);
  text.remove_prefix(length);
  return run;
}

}  // namespace

bool AllDecimalDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

bool NaturalLess(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    std::string_view x = TakeRun(a);
    std::string_view y = TakeRun(b);
    if (IsDigit(x.front()) && IsDigit(y.front())) {
      x.remove_prefix(std::min(x.find_first_not_of('0'), x.size() - 1));
      y.remove_prefix(std::min(y.find_first_not_of('0'), y.size() - 1));
      if (x.size() != y.size()) return x.size() < y.size();
    }
    if (x != y) return x < y;
  }
  return a.empty() && !b.empty();
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<Utf8Char> DecodeUtf8(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return Utf8Char{lead, 1};
  std::size_t length = 0;
  char32_t code = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1Fu, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0Fu, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07u, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return std::nullopt;
  }
  return Utf8Char{code, length};
}

std::string HexText(std::uint32_t value, std::size_t digits, HexCase letters) {
  const char* const set = letters == HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), set[value & 0xF]);
    value >>= 4;
  } while (value != 0 || text.size() < digits);
  return text;
}

std::string TerminalText(std::string_view utf8, std::string_view quoted) {
  std::string text;
  text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x20 || byte == 0x7F) {
      text += "\\x" + HexText(byte, 2);
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      // U+0080 to U+009F, the C1 controls (CSI, OSC, ...), in UTF-8.
      const auto code = static_cast<unsigned char>(utf8[++i]);
      text += "\\u00" + HexText(code, 2);
    } else {
      if (quoted.find(static_cast<char>(byte)) != std::string_view::npos) text += '\\';
      text += static_cast<char>(byte);
    }
  }
  return text;
}

std::string TerminalLines(std::string_view utf8) {
  std::string text;
  for (std::size_t start = 0;;) {
    const std::size_t end = utf8.find('\n', start);
    text += TerminalText(utf8.substr(start, end - start));
    if (end == std::string_view::npos) return text;
    text += '\n';
    start = end + 1;
  }
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

#ifdef _WIN32
std::wstring Widen(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return {};
  }
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, wide.data(), units);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty() || utf16.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return {};
  }
  const int units = static_cast<int>(utf16.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}
#endif

}  // namespace trivexa
