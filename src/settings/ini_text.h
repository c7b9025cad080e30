#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trivexa::settings {

// Text editing in the INI profile format, on text held in memory: reading
// a key, storing one, and what can be stored. No I/O here (see ini_file.h).

// Line ending of a file this tool creates: CRLF on Windows, LF elsewhere.
#ifdef _WIN32
inline constexpr std::string_view kNewFileLineEnding = "\r\n";
#else
inline constexpr std::string_view kNewFileLineEnding = "\n";
#endif

// The value of `key` in `section`, both matched without regard to ASCII case;
// blanks around the value are dropped. nullopt when the section or key is
// missing. The first of duplicate sections or keys wins.
std::optional<std::string> IniLookup(std::string_view content, std::string_view section,
                                     std::string_view key);

// False for texts that would break the line structure of the file if
// stored: a line break anywhere, a ']' in the section name, an '=' in the
// key, or a key the reader would take for a comment or a section.
bool CanStore(std::string_view section, std::string_view key, std::string_view value);

// `content` with `key` in `section` set to `value` (texts CanStore accepts):
// an existing key's value is replaced in place, a missing key is appended at
// the end of its section, a missing section is appended at the end of the
// text. Every other byte stays as it was; new lines take the text's own line
// ending, or `newLineEnding` when it has none.
std::string IniStore(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view value, std::string_view newLineEnding = kNewFileLineEnding);

}  // namespace trivexa::settings
