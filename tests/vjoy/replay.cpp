#include "replay.h"

#include <cerrno>
#include <charconv>
#include <map>

#include "descriptors.h"

namespace vjoy {
namespace {

constexpr std::string_view kReportStart = "# Trivexa problem report";
constexpr std::uint16_t kWineVendor = 0x845E;

// "key=value" pairs of a "# interface:" line; a value may be quoted, with
// \" \\ and \xNN inside, as the report writes it.
std::map<std::string, std::string> Pairs(std::string_view text) {
  std::map<std::string, std::string> pairs;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && text[at] == ' ') ++at;
    const std::size_t equals = text.find('=', at);
    if (equals == std::string_view::npos) break;
    const std::string key(text.substr(at, equals - at));
    std::string value;
    at = equals + 1;
    if (at < text.size() && text[at] == '"') {
      for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\' && at + 1 < text.size()) {
          ++at;
          if (text[at] == 'x' && at + 2 < text.size()) {
            unsigned byte = 0;
            std::from_chars(text.data() + at + 1, text.data() + at + 3, byte, 16);
            value += static_cast<char>(byte);
            at += 2;
            continue;
          }
        }
        value += text[at];
      }
      ++at;
    } else {
      const std::size_t end = std::min(text.find(' ', at), text.size());
      value = std::string(text.substr(at, end - at));
      at = end;
    }
    pairs[key] = std::move(value);
  }
  return pairs;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

bool Hex(std::string_view text, unsigned& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "<length> <byte> <byte>...", as R: and E: carry them.
bool Bytes(const std::vector<std::string_view>& words, std::size_t from,
           std::vector<std::uint8_t>& out) {
  if (words.size() <= from) return false;
  unsigned length = 0;
  const auto [end, error] =
      std::from_chars(words[from].data(), words[from].data() + words[from].size(), length);
  if (error != std::errc() || words.size() != from + 1 + length) return false;
  out.clear();
  for (std::size_t i = from + 1; i < words.size(); ++i) {
    unsigned byte = 0;
    if (!Hex(words[i], byte) || byte > 0xFF) return false;
    out.push_back(static_cast<std::uint8_t>(byte));
  }
  return true;
}

// "000001.264000" in milliseconds.
bool Seconds(std::string_view text, double& ms) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  ms = seconds * 1000.0;
  return true;
}

// The N of /dev/hidrawN; nothing for a path of another system.
std::optional<unsigned> NodeNumber(std::string_view path) {
  constexpr std::string_view kNode = "/dev/hidraw";
  if (!path.starts_with(kNode)) return std::nullopt;
  unsigned number = 0;
  const std::string_view digits = path.substr(kNode.size());
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || number > 255) {
    return std::nullopt;
  }
  return number;
}

struct Entry {
  std::map<std::string, std::string> facts;  // of its "# interface:" line
  VirtualInterface virtualInterface;
  bool described = false;         // an R: line came
  std::vector<PlugEvent> events;  // its number is set once it is known
};

// The joystick lost during the transcript, as the kernel loses it. After
// a failed wait it goes at the output report before that wait; when a write
// finds it gone (ENODEV), halfway between the last written report and that
// write, and the failed writes while it is gone are its unplugged node's
// own. Where the program opened it again, it comes back halfway through the
// pause before that scan, so the scan before still misses it and that one
// finds it. A replug is timed from every unplug before it, so only the
// first loss and return are played.
class LossTracker {
 public:
  void Written(std::uint8_t command, double ms) {
    last_ = {command, ++reached_[command]};
    writtenAt_ = ms;
  }
  void Paused(double ms, double length) { pauseMiddle_ = ms + length / 2; }
  void WaitFailed(std::vector<PlugEvent>& events) { Lose(0, events); }
  // Whether a write that failed with `error` at `ms` is the unplugged
  // node's, which fails it by itself: then it is no step of the replay.
  bool WriteFailed(int error, double ms, std::vector<PlugEvent>& events) {
    if (!lost_ && error == ENODEV) Lose((ms - writtenAt_) / 2, events);
    return lost_;
  }
  void Opened(std::vector<PlugEvent>& events) {
    if (!lost_) return;
    const double delay = pauseMiddle_ > unplugAt_ ? pauseMiddle_ - unplugAt_ : 0;
    events.push_back({true, 0, {Trigger::Kind::kAfterUnplug, 0, 1, static_cast<unsigned>(delay)}});
    lost_ = false;
    returned_ = true;
  }

 private:
  void Lose(double delay, std::vector<PlugEvent>& events) {
    if (lost_ || returned_ || last_.count == 0) return;
    events.push_back(
        {false,
         0,
         {Trigger::Kind::kAfterCommand, last_.command, last_.count, static_cast<unsigned>(delay)}});
    lost_ = true;
    unplugAt_ = writtenAt_ + delay;
  }

  struct Sent {
    std::uint8_t command = 0;
    unsigned count = 0;  // how many of that command reached the device, this one too
  };
  std::map<std::uint8_t, unsigned> reached_;
  Sent last_;
  double writtenAt_ = 0;
  double pauseMiddle_ = 0;
  double unplugAt_ = 0;
  bool lost_ = false;
  bool returned_ = false;
};

}  // namespace

bool IsProblemReport(std::string_view text) { return text.starts_with(kReportStart); }

std::optional<Scenario> ParseProblemReport(std::string_view text, std::string& error) {
  std::vector<Entry> entries;  // by D: index
  std::map<std::string, std::string> facts;
  Entry* current = nullptr;
  bool transcript = false;
  Entry* joystick = nullptr;
  double writtenAt = 0;
  LossTracker loss;
  unsigned lineNumber = 0;

  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    auto fail = [&](const std::string& why) {
      error = "report line " + std::to_string(lineNumber) + ": " + why;
      return std::nullopt;
    };
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;

    if (line.starts_with("# interface: ")) {
      facts = Pairs(line.substr(13));
    } else if (line.starts_with("# transcript: ")) {
      transcript = true;
    } else if (words[0] == "D:") {
      unsigned index = 0;
      if (words.size() != 2 ||
          std::from_chars(words[1].data(), words[1].data() + words[1].size(), index).ec !=
              std::errc()) {
        return fail("D: needs an index");
      }
      if (transcript) {
        if (index >= entries.size()) return fail("the transcript's D: names no interface");
        joystick = &entries[index];
        joystick->virtualInterface.firmware = true;
        joystick->virtualInterface.replayed = true;
        continue;
      }
      if (index != entries.size()) return fail("D: out of order");
      current = &entries.emplace_back();
      current->facts = std::move(facts);
      facts.clear();
    } else if (words[0] == "N:" && current != nullptr && !transcript) {
      current->virtualInterface.name =
          std::string(line.substr(std::min<std::size_t>(3, line.size())));
    } else if (words[0] == "I:" && current != nullptr && !transcript) {
      unsigned bus = 0;
      unsigned vendor = 0;
      unsigned product = 0;
      if (words.size() != 4 || !Hex(words[1], bus) || !Hex(words[2], vendor) ||
          !Hex(words[3], product) || vendor > 0xFFFF || product > 0xFFFF) {
        return fail("I: needs bus, vendor and product in hex");
      }
      // A report made where the bus is not told says 0: show it as USB.
      current->virtualInterface.bus = static_cast<std::uint16_t>(bus == 0 ? 3 : bus);
      current->virtualInterface.vendor = static_cast<std::uint16_t>(vendor);
      current->virtualInterface.product = static_cast<std::uint16_t>(product);
    } else if (words[0] == "R:" && current != nullptr && !transcript) {
      if (!Bytes(words, 1, current->virtualInterface.descriptor)) {
        return fail("R: length and bytes differ");
      }
      current->described = true;
    } else if (words[0] == "E:" && transcript) {
      std::vector<std::uint8_t> report;
      double ms = 0;
      if (words.size() < 2 || !Seconds(words[1], ms) || !Bytes(words, 2, report)) {
        return fail("E: needs a time, a length and the bytes");
      }
      if (joystick == nullptr || joystick->virtualInterface.replay.empty()) continue;
      // Read at once: it was waiting, so it goes out with the output report
      // it is taken to answer.
      joystick->virtualInterface.replay.back().replies.push_back({0, std::move(report)});
    } else if (transcript && joystick != nullptr && words.size() >= 3 && words[0] == "#") {
      double ms = 0;
      if (!Seconds(words[1], ms)) continue;
      auto& steps = joystick->virtualInterface.replay;
      if (words[2] == "write") {
        const std::size_t arrow = line.rfind(" -> ");
        const std::string_view outcome =
            arrow == std::string_view::npos ? std::string_view() : line.substr(arrow + 4);
        std::vector<std::uint8_t> report;
        if (!Bytes(Words(line.substr(0, arrow)), 3, report) || report.size() < 2) {
          return fail("a write needs its length and bytes");
        }
        ReplayStep step{report[1], {}, 0};
        if (outcome.starts_with("failed: ")) {
          // The system's words end the reason ("write /dev/hidraw1: Broken
          // pipe"); a reason of another system's fails as EIO.
          const std::size_t colon = outcome.rfind(": ");
          const int named = ErrnoNamed(outcome.substr(colon + 2));
          step.writeError = named != 0 ? named : EIO;
        } else if (outcome != "written") {
          return fail("a write's outcome is 'written' or 'failed: ' and the reason");
        }
        if (step.writeError == 0) {
          loss.Written(step.command, ms);
        } else if (loss.WriteFailed(step.writeError, ms, joystick->events)) {
          continue;
        }
        steps.push_back(std::move(step));
        writtenAt = ms;
      } else if (words[2] == "pause" && words.size() >= 4) {
        double length = 0;
        if (std::from_chars(words[3].data(), words[3].data() + words[3].size(), length).ec ==
            std::errc()) {
          loss.Paused(ms, length);
        }
      } else if (words[2] == "wait" && line.ends_with("wait -> failed")) {
        loss.WaitFailed(joystick->events);
      } else if (words[2] == "open" && line.find(" -> handle ") != std::string_view::npos &&
                 line.find(" open " + joystick->facts["path"] + " for ") !=
                     std::string_view::npos) {
        loss.Opened(joystick->events);
      } else if (words[2] == "wait" && line.ends_with("a report came, taken unread") &&
                 !steps.empty()) {
        // Its bytes were never seen: the last reply to the same command
        // stands in for them.
        std::vector<std::uint8_t> report(8, 0);
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
          if (step->command == steps.back().command && !step->replies.empty()) {
            report = step->replies.back().report;
            break;
          }
        }
        steps.back().replies.push_back(
            {static_cast<unsigned>(ms - writtenAt > 0 ? ms - writtenAt : 0), std::move(report)});
      }
    }
  }

  Scenario scenario;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    VirtualInterface& virtualInterface = entry.virtualInterface;
    // Wine's own mouse and keyboard: Wine shows them again by itself.
    if (virtualInterface.vendor == kWineVendor) continue;
    const auto path = entry.facts.find("path");
    const auto node = path != entry.facts.end() ? NodeNumber(path->second) : std::nullopt;
    virtualInterface.number = node.value_or(static_cast<unsigned>(i));
    if (scenario.Find(virtualInterface.number) != nullptr) {
      error = "report: two interfaces at hidraw" + std::to_string(virtualInterface.number);
      return std::nullopt;
    }
    // The product string as `list` showed it, which the fixture gives for
    // both names.
    if (const auto product = entry.facts.find("product"); product != entry.facts.end()) {
      virtualInterface.name = product->second;
    }
    if (virtualInterface.name.empty()) virtualInterface.name = "HID Device";
    // Only a Linux port names a folder of the tree; Windows' location
    // paths stay out.
    if (const auto port = entry.facts.find("port");
        port != entry.facts.end() && !port->second.empty() && port->second[0] != '-' &&
        port->second.find('-') != std::string::npos &&
        port->second.find_first_not_of("0123456789-.") == std::string::npos) {
      virtualInterface.port = port->second;
    }
    virtualInterface.denied = entry.facts.count("opened") != 0 && entry.facts.at("opened") == "no";
    if (!entry.described) {
      virtualInterface.descriptor =
          *PresetDescriptor(virtualInterface.firmware ? "joystick" : "mouse");
    }
    for (PlugEvent& event : entry.events) {
      event.number = virtualInterface.number;
      scenario.events.push_back(event);
    }
    scenario.interfaces.push_back(std::move(virtualInterface));
  }
  return scenario;
}

ReplayFirmware::Answer ReplayFirmware::OnCommand(std::uint8_t command) {
  if (next_ < steps_.size() && steps_[next_].command == command) {
    const ReplayStep& step = steps_[next_++];
    return {step.replies, step.writeError, false, next_};
  }
  // A failed write gave no reply to stand in for one.
  for (std::size_t i = steps_.size(); i > 0; --i) {
    const ReplayStep& step = steps_[i - 1];
    if (step.command == command && step.writeError == 0) return {step.replies, 0, true, i};
  }
  return {{}, 0, true, 0};
}

}  // namespace vjoy
