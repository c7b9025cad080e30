#include "cli/joysticks.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "hid/discovery.h"
#include "host/text.h"

namespace trivexa::cli {
namespace {

bool PlaceLess(const JoystickPlace& a, const JoystickPlace& b) {
  if (a.port.has_value() != b.port.has_value()) return a.port.has_value();
  if (a.port && *a.port != *b.port) return NaturalLess(*a.port, *b.port);
  return NaturalLess(a.path, b.path);
}

std::optional<hid::DeviceAttributes> Identify(hid::HidPlatform& platform, const std::string& path) {
  if (auto ids = platform.IdentifyUnopened(path)) return ids;
  const hid::Handle handle = platform.Open(path, /*overlapped=*/false);
  if (!hid::IsOpen(handle)) return std::nullopt;
  auto ids = platform.GetAttributes(handle);
  platform.Close(handle);
  return ids;
}

}  // namespace

std::vector<NumberedJoystick> NumberJoysticks(std::vector<JoystickPlace> places) {
  std::sort(places.begin(), places.end(), PlaceLess);
  std::vector<NumberedJoystick> numbered;
  for (JoystickPlace& place : places) {
    numbered.push_back({static_cast<unsigned>(numbered.size() + 1), std::move(place)});
  }
  return numbered;
}

std::vector<NumberedJoystick> PresentJoysticks(hid::HidPlatform& platform) {
  std::vector<JoystickPlace> places;
  for (const std::string& path : platform.ListInterfaces()) {
    const auto ids = Identify(platform, path);
    if (ids && hid::IsJoystick(*ids)) places.push_back({path, platform.UsbPort(path)});
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

JoystickTarget::JoystickTarget(hid::HidPlatform& all, std::optional<NumberedJoystick> chosen)
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

}  // namespace trivexa::cli
