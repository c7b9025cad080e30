#include "settings/ini_text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/text.h"

// How the text is read, in the manner of the Windows profile functions:
//
// - A line ends at "\r\n", "\n" or a lone "\r"; the ending is kept apart from
//   the line's text, so every ending survives a store byte for byte.
// - Blanks are spaces and tabs.
// - A line whose first non-blank is '[' opens a section when it holds a ']':
//   the name lies between '[' and the first ']', without surrounding blanks;
//   anything after the ']' is ignored. A '[' line without ']' opens nothing
//   and is otherwise ignored, so the lines after it stay in the section before.
// - A line whose first non-blank is ';' is a comment.
// - Any other line holding '=' is a key line: the key is the text before the
//   first '=', the value the text after it, both without surrounding blanks.
//   A value wrapped in a matching pair of double or single quotes is read
//   without them, as Windows does; a store replaces the quotes with the value.
// - A UTF-8 byte order mark at the start, as some editors write, is not
//   part of the first line; it stays in front of the text on a store.
// - Lines before the first section belong to none and are never looked up.
// - Only the first section of a name counts, and in it only the first key of
//   a name, so a later duplicate is neither read nor written.
//
// Every scan is a single forward pass over the text without per-line
// allocation, so size alone (one huge line, millions of empty ones) costs
// linear time and constant extra memory.

namespace trivexa::settings {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One line of the text as offsets: [begin, textEnd) is its text, [textEnd,
// next) its line ending, empty for a last line that lacks one.
struct LineSpan {
  std::size_t begin = 0;
  std::size_t textEnd = 0;
  std::size_t next = 0;

  bool HasEnding() const { return next != textEnd; }
};

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Where the lines begin: after a byte order mark, if there is one.
std::size_t TextStart(std::string_view content) {
  return content.starts_with(kUtf8ByteOrderMark) ? kUtf8ByteOrderMark.size() : 0;
}

class LineReader {
 public:
  explicit LineReader(std::string_view content) : content_(content), pos_(TextStart(content)) {}

  bool Next(LineSpan& line) {
    const std::size_t size = content_.size();
    if (pos_ >= size) return false;
    const char* const data = content_.data();
    std::size_t end = pos_;
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
    line.begin = pos_;
    line.textEnd = end;
    if (end < size) {
      const bool crlf = data[end] == '\r' && end + 1 < size && data[end + 1] == '\n';
      end += crlf ? 2 : 1;
    }
    line.next = end;
    pos_ = end;
    return true;
  }

 private:
  std::string_view content_;
  std::size_t pos_;
};

enum class LineKind { kBlank, kSection, kKey, kOther };

// What a line means. For kSection `name` is the section's name; for kKey
// `name` is the key and [valueBegin, valueEnd) the trimmed value, as offsets
// into the whole text; [afterEquals, lineEnd) is what a store replaces.
struct LineMeaning {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
  std::size_t afterEquals = 0;
  std::size_t lineEnd = 0;
};

LineMeaning Interpret(std::string_view content, const LineSpan& line) {
  LineMeaning meaning;
  if (line.begin == line.textEnd) {
    meaning.kind = LineKind::kBlank;
    return meaning;
  }
  const std::string_view text = content.substr(line.begin, line.textEnd - line.begin);
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  if (first == text.size()) {
    meaning.kind = LineKind::kBlank;
    return meaning;
  }
  if (text[first] == '[') {
    const std::size_t close = text.find(']', first + 1);
    if (close != std::string_view::npos) {
      meaning.kind = LineKind::kSection;
      meaning.name = TrimBlanks(text.substr(first + 1, close - first - 1));
    }
    return meaning;
  }
  if (text[first] == ';') return meaning;
  const std::size_t equals = text.find('=', first);
  if (equals == std::string_view::npos) return meaning;
  meaning.kind = LineKind::kKey;
  meaning.name = TrimBlanks(text.substr(first, equals - first));
  const std::string_view value = TrimBlanks(text.substr(equals + 1));
  meaning.valueBegin = line.begin + static_cast<std::size_t>(value.data() - text.data());
  meaning.valueEnd = meaning.valueBegin + value.size();
  meaning.afterEquals = line.begin + equals + 1;
  meaning.lineEnd = line.textEnd;
  return meaning;
}

std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The ending of the first line that has one, or `fallback` for a text
// without any.
std::string_view LineEndingOf(std::string_view content, std::string_view fallback) {
  const std::size_t at = content.find_first_of("\r\n");
  if (at == std::string_view::npos) return fallback;
  if (content[at] == '\n') return "\n";
  if (at + 1 < content.size() && content[at + 1] == '\n') return "\r\n";
  return "\r";
}

}  // namespace

bool CanStore(std::string_view section, std::string_view key, std::string_view value) {
  constexpr std::string_view kLineBreaks = "\r\n";
  if (section.find_first_of(kLineBreaks) != std::string_view::npos ||
      key.find_first_of(kLineBreaks) != std::string_view::npos ||
      value.find_first_of(kLineBreaks) != std::string_view::npos) {
    return false;
  }
  if (section.find(']') != std::string_view::npos) return false;
  if (key.find('=') != std::string_view::npos) return false;
  const std::string_view trimmedKey = TrimBlanks(key);
  return trimmedKey.empty() || (trimmedKey.front() != ';' && trimmedKey.front() != '[');
}

std::optional<std::string> IniLookup(std::string_view content, std::string_view section,
                                     std::string_view key) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  LineReader reader(content);
  LineSpan line;
  bool inSection = false;
  while (reader.Next(line)) {
    const LineMeaning meaning = Interpret(content, line);
    if (meaning.kind == LineKind::kSection) {
      // The first section of the name has ended without the key.
      if (inSection) return std::nullopt;
      inSection = EqualsIgnoringAsciiCase(meaning.name, section);
    } else if (inSection && meaning.kind == LineKind::kKey &&
               EqualsIgnoringAsciiCase(meaning.name, key)) {
      const std::string_view value =
          content.substr(meaning.valueBegin, meaning.valueEnd - meaning.valueBegin);
      return std::string(WithoutQuotes(value));
    }
  }
  return std::nullopt;
}

std::string IniStore(std::string_view content, std::string_view section, std::string_view key,
                     std::string_view value, std::string_view newLineEnding) {
  const std::string_view lookupSection = TrimBlanks(section);
  const std::string_view lookupKey = TrimBlanks(key);
  const std::string_view ending = LineEndingOf(content, newLineEnding);

  LineReader reader(content);
  LineSpan line;
  bool inSection = false;
  // The last non-blank line of the section, its header included: a missing
  // key goes right after it, so blank lines that part the section from the
  // next one stay behind the new key.
  LineSpan lastFilled;
  while (reader.Next(line)) {
    const LineMeaning meaning = Interpret(content, line);
    if (meaning.kind == LineKind::kSection) {
      if (inSection) break;
      inSection = EqualsIgnoringAsciiCase(meaning.name, lookupSection);
    } else if (inSection && meaning.kind == LineKind::kKey &&
               EqualsIgnoringAsciiCase(meaning.name, lookupKey)) {
      std::string result;
      // Everything after the equals sign is the value, written as given,
      // so a stored " 5" reads back as " 5" and blanks never pile up.
      result.reserve(content.size() - (meaning.lineEnd - meaning.afterEquals) + value.size());
      result.append(content.substr(0, meaning.afterEquals));
      result.append(value);
      result.append(content.substr(meaning.lineEnd));
      return result;
    }
    if (inSection && meaning.kind != LineKind::kBlank) lastFilled = line;
  }

  std::string newLines;
  std::size_t insertAt = content.size();
  bool needsEnding = content.size() > TextStart(content) && !line.HasEnding();
  if (inSection) {
    insertAt = lastFilled.next;
    needsEnding = !lastFilled.HasEnding();
  }
  if (needsEnding) newLines.append(ending);
  if (!inSection) {
    newLines.append("[").append(section).append("]").append(ending);
  }
  newLines.append(key).append("=").append(value).append(ending);

  std::string result;
  result.reserve(content.size() + newLines.size());
  result.append(content.substr(0, insertAt));
  result.append(newLines);
  result.append(content.substr(insertAt));
  return result;
}

}  // namespace trivexa::settings
