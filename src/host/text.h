#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trivexa {

// Text helpers every layer shares, so each rule is written once.

// Equal but for the case of the letters A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// One or more of the digits 0 to 9, and nothing else.
bool AllDecimalDigits(std::string_view text);

// Natural order: runs of digits compare as numbers ("hidraw2" before
// "hidraw10", "1-2" before "1-10"), everything else as text, and a text
// that is the start of another comes first.
bool NaturalLess(std::string_view a, std::string_view b);

// One character decoded from the start of UTF-8 text.
struct Utf8Char {
  char32_t code = 0;
  std::size_t length = 0;  // bytes it took
};
// The character `text` starts with, or nothing when its first bytes are not
// a well-formed sequence: a stray continuation byte, an overlong form, a
// UTF-16 surrogate, a value past U+10FFFF or a sequence cut off.
std::optional<Utf8Char> DecodeUtf8(std::string_view text);

// Text made safe for a terminal: control characters (C0, DEL and the C1
// controls U+0080 to U+009F, which could move the cursor, retitle the
// window or ring the bell) become \xNN or \u00NN. Everything else stays,
// other scripts and backslashes too, so a path printed this way can be
// pasted back. Each character of `quoted` gets a backslash in front, for
// text printed between quotes.
std::string TerminalText(std::string_view utf8, std::string_view quoted = {});

// TerminalText of a message of several lines ("unknown option '…'\nTry
// …"): each line made safe, the line breaks between them kept.
std::string TerminalLines(std::string_view utf8);

// `value` in hexadecimal, with leading zeros to at least `digits` digits:
// (0x79, 4) is "0079", (0x79, 1, kUpper) "79". The one formatter of ids,
// bytes and escapes, so each output keeps the form it was given.
enum class HexCase { kLower, kUpper };
std::string HexText(std::uint32_t value, std::size_t digits, HexCase letters = HexCase::kLower);

// The system's words for an errno value: "Permission denied".
std::string ErrnoText(int error);

#ifdef _WIN32
// The program's UTF-8 as Windows' UTF-16, and back. Bytes that are no UTF-8,
// and unpaired surrogates, become U+FFFD rather than being dropped.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
#endif

}  // namespace trivexa
