#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/interfaces.h"
#include "cli/json_text.h"
#include "cli/product_name.h"
#include "hid/discovery.h"
#include "hid/reporting_hid_platform.h"
#include "host/text.h"

namespace trivexa::cli {
namespace {

// Opens an interface the way discovery's probe does (shared, for writing)
// and asks the same questions; the handle is closed again at once.
InterfaceInfo Probe(hid::HidPlatform& platform, const std::string& path) {
  InterfaceInfo info;
  info.path = path;
  info.port = platform.UsbPort(path);
  const hid::Handle handle = platform.Open(path, /*overlapped=*/false);
  if (!hid::IsOpen(handle)) {
    // The reason first: asking for the identifiers could replace it.
    info.openError = hid::OpenFailure(platform, path).text;
    info.attributes = platform.IdentifyUnopened(path);
    return info;
  }
  info.attributes = platform.GetAttributes(handle);
  std::array<std::uint8_t, hid::kProductStringBytes> product{};
  if (platform.GetProductString(handle, product)) info.productName = ProductNameFromUtf16(product);
  info.caps = platform.GetCaps(handle);
  platform.Close(handle);
  return info;
}

// The joysticks among the interfaces get their numbers.
void NumberTheJoysticks(std::vector<InterfaceInfo>& interfaces) {
  std::vector<JoystickPlace> places;
  for (const InterfaceInfo& info : interfaces) {
    if (info.IsJoystick()) places.push_back({info.path, info.port});
  }
  for (const NumberedJoystick& joystick : hid::NumberJoysticks(std::move(places))) {
    for (InterfaceInfo& info : interfaces) {
      if (info.path == joystick.place.path) info.number = joystick.number;
    }
  }
}

std::string JsonLine(const InterfaceInfo& info) {
  JsonObject object;
  object.Add("path", info.path)
      .AddBool("joystick", info.IsJoystick())
      .AddNumberOrNull("number", info.number)
      .AddOrNull("port", info.port)
      .AddBool("opened", !info.openError.has_value())
      .AddOrNull("error", info.openError);
  if (info.attributes) {
    object.Add("vendorId", HexText(info.attributes->vendorId, 4))
        .Add("productId", HexText(info.attributes->productId, 4));
  } else {
    object.AddNull("vendorId").AddNull("productId");
  }
  object.AddOrNull("productName", info.productName);
  if (info.caps) {
    object.AddNumber("inputReportLength", info.caps->inputReportByteLength)
        .AddNumber("outputReportLength", info.caps->outputReportByteLength);
  } else {
    object.AddNull("inputReportLength").AddNull("outputReportLength");
  }
  return object.Text();
}

}  // namespace

std::vector<InterfaceInfo> ProbeInterfaces(hid::HidPlatform& platform) {
  std::vector<InterfaceInfo> interfaces;
  for (const std::string& path : platform.ListInterfaces()) {
    interfaces.push_back(Probe(platform, path));
  }
  NumberTheJoysticks(interfaces);
  return interfaces;
}

std::string TextLine(const InterfaceInfo& info) {
  std::string line = TerminalText(info.path) + "  ";
  line += info.attributes
              ? HexText(info.attributes->vendorId, 4) + ":" + HexText(info.attributes->productId, 4)
              : std::string("????:????");
  if (info.caps) {
    line += "  in " + std::to_string(info.caps->inputReportByteLength) + " out " +
            std::to_string(info.caps->outputReportByteLength);
  }
  if (info.productName) line += "  \"" + QuotedTerminalText(*info.productName) + "\"";
  if (info.openError) line += "  cannot open: " + TerminalText(*info.openError);
  if (info.number) {
    line += "  <- joystick " + std::to_string(*info.number);
    if (info.port) line += ", port " + TerminalText(*info.port);
  }
  return line;
}

int RunList(const Invocation& invocation, Environment& environment) {
  const std::vector<InterfaceInfo> interfaces = ProbeInterfaces(environment.platform);
  if (invocation.json) {
    std::string array = "[";
    for (const InterfaceInfo& info : interfaces) {
      if (array.size() > 1) array += ',';
      array += JsonLine(info);
    }
    environment.out
        << JsonObject().AddNumber("version", kJsonVersion).AddRaw("interfaces", array + "]").Text()
        << "\n";
  } else if (interfaces.empty()) {
    environment.out << "No HID interfaces present.\n";
  } else {
    for (const InterfaceInfo& info : interfaces) environment.out << TextLine(info) << "\n";
  }
  return kExitOk;
}

}  // namespace trivexa::cli
