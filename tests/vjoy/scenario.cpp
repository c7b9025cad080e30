#include "scenario.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

#include "descriptors.h"
#include "replay.h"

namespace vjoy {
namespace {

// Splits a line into words; a double-quoted stretch belongs to its word and
// loses its quotes (name="USB Joystick").
std::optional<std::vector<std::string>> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ' || line[at] == '\t') {
      ++at;
      continue;
    }
    std::string word;
    bool quoted = false;
    for (; at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t')); ++at) {
      if (line[at] == '"') {
        quoted = !quoted;
      } else {
        word += line[at];
      }
    }
    if (quoted) return std::nullopt;
    words.push_back(std::move(word));
  }
  return words;
}

template <typename T>
bool Number(std::string_view text, T& out, T max = std::numeric_limits<T>::max()) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (value < static_cast<long long>(std::numeric_limits<T>::min()) ||
      (value > 0 &&
       static_cast<unsigned long long>(value) > static_cast<unsigned long long>(max))) {
    return false;
  }
  out = static_cast<T>(value);
  return true;
}

template <typename T, std::size_t N>
bool NumberList(std::string_view text, std::array<T, N>& out) {
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t comma = text.find(',');
    const bool last = i + 1 == N;
    if (last != (comma == std::string_view::npos)) return false;
    if (!Number(text.substr(0, comma), out[i])) return false;
    if (!last) text.remove_prefix(comma + 1);
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    std::uint8_t byte = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (error != std::errc() || end != text.data() + i + 2) return std::nullopt;
    bytes.push_back(byte);
  }
  return bytes;
}

// A USB device's folder name: the bus, a dash, then the port on each hub
// from the root down, joined by dots ("1-2.3").
bool IsPortName(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos) return false;
  if (text.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos) return false;
  // Each port a number: no dot at either end, none twice.
  const std::string_view ports = text.substr(dash + 1);
  return !ports.empty() && ports.front() != '.' && ports.back() != '.' &&
         ports.find("..") == std::string_view::npos &&
         ports.find_first_not_of("0123456789.") == std::string_view::npos;
}

// "at=MS", "after=CMD*N+MS" (CMD a byte, N a count) or "after=unplug+MS".
bool ParseTrigger(std::string_view word, Trigger& trigger) {
  if (word.starts_with("at=")) {
    trigger.kind = Trigger::Kind::kAt;
    return Number(word.substr(3), trigger.delayMs);
  }
  if (!word.starts_with("after=")) return false;
  word.remove_prefix(6);
  const std::size_t plus = word.rfind('+');
  if (plus == std::string_view::npos || !Number(word.substr(plus + 1), trigger.delayMs)) {
    return false;
  }
  const std::string_view what = word.substr(0, plus);
  if (what == "unplug") {
    trigger.kind = Trigger::Kind::kAfterUnplug;
    return true;
  }
  const std::size_t star = what.find('*');
  if (star == std::string_view::npos) return false;
  trigger.kind = Trigger::Kind::kAfterCommand;
  return Number(what.substr(0, star), trigger.command) &&
         Number(what.substr(star + 1), trigger.count) && trigger.count > 0;
}

// "CMD*N" or "CMD*N:ERRNO" (EIO where none is named).
bool ParseFailedWrite(std::string_view text, FailedWrite& failed) {
  const std::size_t colon = text.find(':');
  failed.error = EIO;
  if (colon != std::string_view::npos) {
    failed.error = ErrnoNamed(text.substr(colon + 1));
    text = text.substr(0, colon);
  }
  const std::size_t star = text.find('*');
  return failed.error != 0 && star != std::string_view::npos &&
         Number(text.substr(0, star), failed.command) &&
         Number(text.substr(star + 1), failed.count) && failed.count > 0;
}

bool ParseInterface(const std::vector<std::string>& words, VirtualInterface& virtualInterface,
                    std::string& error) {
  if (words.size() < 2 || !Number(std::string_view(words[1]), virtualInterface.number, 255u)) {
    error = "hidraw needs a node number";
    return false;
  }
  std::optional<std::string> descriptor;
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string_view word = words[i];
    const std::size_t equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    bool ok = true;
    if (key == "vendor") {
      ok = Number(value, virtualInterface.vendor);
    } else if (key == "product") {
      ok = Number(value, virtualInterface.product);
    } else if (key == "bus") {
      ok = Number(value, virtualInterface.bus);
    } else if (key == "name") {
      virtualInterface.name = std::string(value);
    } else if (key == "port") {
      ok = IsPortName(value);
      virtualInterface.port = std::string(value);
    } else if (key == "descriptor") {
      descriptor = std::string(value);
    } else if (key == "denied") {
      virtualInterface.denied = true;
    } else if (key == "queue") {
      ok = Number(value, virtualInterface.queueLimit) && virtualInterface.queueLimit > 0;
    } else if (key == "firmware") {
      virtualInterface.firmware = true;
    } else if (key == "reportid") {
      ok = Number(value, virtualInterface.reportId) && virtualInterface.reportId != 0;
    } else if (key == "delay") {
      ok = Number(value, virtualInterface.replyDelayMs);
    } else if (key == "silent") {
      virtualInterface.silent = true;
    } else if (key == "stream") {
      ok = Number(value, virtualInterface.streamMs) && virtualInterface.streamMs > 0;
    } else if (key == "eeprom") {
      ok = NumberList(value, virtualInterface.eeprom);
    } else if (key == "status-xy") {
      std::array<std::uint8_t, 2> xy{};
      ok = NumberList(value, xy);
      virtualInterface.statusX = xy[0];
      virtualInterface.statusY = xy[1];
    } else if (key == "fail-write") {
      ok = ParseFailedWrite(value, virtualInterface.failedWrites.emplace_back());
    } else if (key == "position") {
      std::array<std::int16_t, 2> xy{};
      ok = NumberList(value, xy);
      virtualInterface.positionX = xy[0];
      virtualInterface.positionY = xy[1];
    } else {
      error = "unknown word '" + std::string(word) + "'";
      return false;
    }
    if (!ok) {
      error = "bad value in '" + std::string(word) + "'";
      return false;
    }
  }
  if (descriptor) {
    auto bytes = PresetDescriptor(*descriptor);
    if (!bytes) bytes = HexBytes(*descriptor);
    if (!bytes) {
      error = "descriptor is neither a preset nor hex bytes";
      return false;
    }
    virtualInterface.descriptor = std::move(*bytes);
  } else if (virtualInterface.reportId != 0) {
    virtualInterface.descriptor = NumberedJoystickDescriptor(virtualInterface.reportId);
  } else {
    virtualInterface.descriptor =
        *PresetDescriptor(virtualInterface.firmware ? "joystick" : "mouse");
  }
  if (virtualInterface.name.empty()) virtualInterface.name = "HID Device";
  return true;
}

}  // namespace

int ErrnoNamed(std::string_view text) {
  if (text.empty()) return 0;
  // Linux numbers its errors from 1 to EHWPOISON.
  for (int error = 1; error <= EHWPOISON; ++error) {
    const char* name = ::strerrorname_np(error);
    if ((name != nullptr && text == name) || text == std::generic_category().message(error)) {
      return error;
    }
  }
  return 0;
}

const VirtualInterface* Scenario::Find(unsigned number) const {
  for (const VirtualInterface& virtualInterface : interfaces) {
    if (virtualInterface.number == number) return &virtualInterface;
  }
  return nullptr;
}

std::optional<Scenario> ParseScenario(std::string_view text, std::string& error) {
  if (IsProblemReport(text)) return ParseProblemReport(text, error);
  Scenario scenario;
  unsigned lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
      line = line.substr(0, hash);
    }
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return std::nullopt;
    };
    const auto words = Words(line);
    if (!words) return fail("unclosed quote");
    if (words->empty()) continue;
    const std::string& verb = words->front();
    if (verb == "hidraw") {
      VirtualInterface virtualInterface;
      std::string why;
      if (!ParseInterface(*words, virtualInterface, why)) return fail(why);
      if (scenario.Find(virtualInterface.number) != nullptr)
        return fail("hidraw node listed twice");
      scenario.interfaces.push_back(std::move(virtualInterface));
    } else if (verb == "unplug" || verb == "replug") {
      PlugEvent event;
      event.replug = verb == "replug";
      if (words->size() != 3 || !Number(std::string_view((*words)[1]), event.number, 255u) ||
          !ParseTrigger((*words)[2], event.trigger)) {
        return fail(verb + " needs a node number and at=MS or after=WHAT+MS");
      }
      if (scenario.Find(event.number) == nullptr) return fail("no such hidraw node");
      scenario.events.push_back(event);
    } else {
      return fail("unknown word '" + verb + "'");
    }
  }
  return scenario;
}

}  // namespace vjoy
