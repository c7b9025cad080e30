#include "cli/json_text.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "host/text.h"

namespace trivexa::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.front());
    const std::optional<Utf8Char> character = DecodeUtf8(text);
    if (!character) {
      out += kReplacement;
      text.remove_prefix(1);
      continue;
    }
    const std::size_t length = character->length;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u" + HexText(c, 4);
        } else {
          out.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length);
  }
  out += '"';
  return out;
}

void JsonObject::Key(std::string_view key) {
  // Readers that fold case (PowerShell's ConvertFrom-Json among them) see
  // one member where two differ only in case, and refuse the object.
  const auto sameBarCase = [key](const std::string& other) {
    return EqualsIgnoringAsciiCase(key, other);
  };
  if (std::any_of(keys_.begin(), keys_.end(), sameBarCase)) {
    throw std::logic_error("JSON member \"" + std::string(key) + "\" given twice");
  }
  keys_.emplace_back(key);
  if (body_.size() > 1) body_ += ',';
  body_ += JsonString(key);
  body_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text) {
  Key(key);
  body_ += JsonString(text);
  return *this;
}

JsonObject& JsonObject::AddNumber(std::string_view key, std::int64_t number) {
  Key(key);
  body_ += std::to_string(number);
  return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool flag) {
  Key(key);
  body_ += flag ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
  Key(key);
  body_ += "null";
  return *this;
}

JsonObject& JsonObject::AddOrNull(std::string_view key,
                                  const std::optional<std::string_view>& text) {
  return text ? Add(key, *text) : AddNull(key);
}

JsonObject& JsonObject::AddNumberOrNull(std::string_view key,
                                        const std::optional<std::int64_t>& number) {
  return number ? AddNumber(key, *number) : AddNull(key);
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
  Key(key);
  body_ += json;
  return *this;
}

}  // namespace trivexa::cli
