#include "hid/joysticks.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "hid/discovery.h"
#include "host/text.h"

namespace trivexa::hid {
namespace {

bool PlaceLess(const JoystickPlace& a, const JoystickPlace& b) {
  if (a.port.has_value() != b.port.has_value()) return a.port.has_value();
  if (a.port && *a.port != *b.port) return NaturalLess(*a.port, *b.port);
  return NaturalLess(a.path, b.path);
}

std::optional<DeviceAttributes> Identify(HidPlatform& platform, const std::string& path) {
  if (auto ids = platform.IdentifyUnopened(path)) return ids;
  const Handle handle = platform.Open(path, /*overlapped=*/false);
  if (!IsOpen(handle)) return std::nullopt;
  auto ids = platform.GetAttributes(handle);
  platform.Close(handle);
  return ids;
}

}  // namespace

std::optional<DeviceChoice> ParseDeviceChoice(std::string_view text, std::string& error) {
  if (text.empty() || text.starts_with('-')) {
    error = "--device needs a joystick's number or path, as 'trivexactl list' shows them";
    return std::nullopt;
  }
  if (!AllDecimalDigits(text)) {
    return DeviceChoice(std::string(text));
  }
  unsigned number = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (failure != std::errc()) {
    error = "--device " + std::string(text) + ": too large for a joystick's number";
    return std::nullopt;
  }
  if (number == 0) {
    error = "--device " + std::string(text) + ": joysticks are numbered from 1";
    return std::nullopt;
  }
  return DeviceChoice(number);
}

std::string JoystickName(const NumberedJoystick& joystick) {
  std::string name = "joystick " + std::to_string(joystick.number);
  if (joystick.place.port) name += ", port " + TerminalText(*joystick.place.port);
  return name;
}

std::vector<NumberedJoystick> NumberJoysticks(std::vector<JoystickPlace> places) {
  std::sort(places.begin(), places.end(), PlaceLess);
  std::vector<NumberedJoystick> numbered;
  for (JoystickPlace& place : places) {
    numbered.push_back({static_cast<unsigned>(numbered.size() + 1), std::move(place)});
  }
  return numbered;
}

std::vector<NumberedJoystick> PresentJoysticks(HidPlatform& platform) {
  std::vector<JoystickPlace> places;
  for (const std::string& path : platform.ListInterfaces()) {
    const auto ids = Identify(platform, path);
    if (ids && IsJoystick(*ids)) places.push_back({path, platform.UsbPort(path)});
  }
  return NumberJoysticks(std::move(places));
}

const NumberedJoystick* FindChoice(const std::vector<NumberedJoystick>& joysticks,
                                   const DeviceChoice& choice) {
  const auto chosen = std::find_if(joysticks.begin(), joysticks.end(), [&](const auto& joystick) {
    if (const unsigned* number = std::get_if<unsigned>(&choice)) {
      return joystick.number == *number;
    }
    const std::string& path = std::get<std::string>(choice);
#ifdef _WIN32
    // Windows takes device paths (ASCII) in any case, and so does --device.
    return EqualsIgnoringAsciiCase(joystick.place.path, path);
#else
    return joystick.place.path == path;
#endif
  });
  return chosen == joysticks.end() ? nullptr : &*chosen;
}

std::string DescribeJoysticks(const std::vector<NumberedJoystick>& joysticks) {
  std::string text;
  for (const NumberedJoystick& joystick : joysticks) {
    if (!text.empty()) text += ", ";
    text += std::to_string(joystick.number) + " (";
    if (joystick.place.port) text += "port " + TerminalText(*joystick.place.port) + ", ";
    text += TerminalText(joystick.place.path) + ")";
  }
  return text;
}

std::string NoSuchJoystick(const DeviceChoice& choice,
                           const std::vector<NumberedJoystick>& present) {
  const unsigned* number = std::get_if<unsigned>(&choice);
  std::string text =
      "no joystick " + (number != nullptr ? std::to_string(*number)
                                          : "at " + TerminalText(std::get<std::string>(choice)));
  if (present.empty()) return text + "; none is present (USB 0079:0026).";
  return text + "; present: " + DescribeJoysticks(present) + ".";
}

JoystickTarget::JoystickTarget(HidPlatform& all, std::optional<NumberedJoystick> chosen)
    : ForwardingHidPlatform(all), chosen_(std::move(chosen)) {}

std::vector<std::string> JoystickTarget::ListInterfaces() {
  std::vector<std::string> paths = Inner().ListInterfaces();
  if (!chosen_) return paths;
  const JoystickPlace& place = chosen_->place;
  std::erase_if(paths, [&](const std::string& path) {
    return place.port ? Inner().UsbPort(path) != place.port : path != place.path;
  });
  return paths;
}

std::size_t JoystickTarget::Identify(const std::string& path) {
  const std::vector<NumberedJoystick> present = PresentJoysticks(Inner());
  const NumberedJoystick* found = FindChoice(present, path);
  connected_ = found != nullptr ? std::optional(*found) : std::nullopt;
  return present.size();
}

}  // namespace trivexa::hid
