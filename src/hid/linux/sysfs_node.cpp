#include "hid/linux/sysfs_node.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "host/text.h"

namespace trivexa::hid {
namespace {

// "1-2" or "1-2.3.4": a bus number, then one or more port numbers.
bool IsUsbPortName(std::string_view name) {
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || !AllDecimalDigits(name.substr(0, dash))) return false;
  std::string_view ports = name.substr(dash + 1);
  for (;;) {
    const std::size_t dot = ports.find('.');
    if (!AllDecimalDigits(ports.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    ports.remove_prefix(dot + 1);
  }
}

// The first line of a small sysfs attribute file, without its line end.
std::optional<std::string> ReadAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

// One hexadecimal field of HID_ID ("0003:00000079:00000026"); at most 32 bits.
std::optional<std::uint32_t> HexField(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// The node's HID device folder, for a node named hidrawN.
std::optional<std::filesystem::path> HidDevice(const std::string& classDir,
                                               const std::string& nodePath) {
  const std::string name = std::filesystem::path(nodePath).filename().string();
  if (!IsHidrawName(name)) return std::nullopt;
  return std::filesystem::path(classDir) / name / "device";
}

// The folder of the USB device the node belongs to.
std::optional<std::filesystem::path> UsbDevice(const std::string& classDir,
                                               const std::string& nodePath) {
  const auto device = HidDevice(classDir, nodePath);
  if (!device) return std::nullopt;
  std::error_code error;
  std::filesystem::path folder = std::filesystem::canonical(*device, error);
  if (error) return std::nullopt;
  // HID device, then USB interface, then the USB device, the first folder
  // that has an idVendor. Not found within a few steps: not USB.
  constexpr int kMaxSteps = 4;
  for (int step = 0; step < kMaxSteps && folder.has_relative_path(); ++step) {
    folder = folder.parent_path();
    if (std::filesystem::exists(folder / "idVendor", error)) return folder;
  }
  return std::nullopt;
}

}  // namespace

bool IsHidrawName(std::string_view name) {
  constexpr std::string_view kPrefix = "hidraw";
  if (!name.starts_with(kPrefix)) return false;
  const std::string_view number = name.substr(kPrefix.size());
  return AllDecimalDigits(number) && (number.size() == 1 || number[0] != '0');
}

std::optional<DeviceAttributes> SysfsHidIds(const std::string& classDir,
                                            const std::string& nodePath) {
  const auto device = HidDevice(classDir, nodePath);
  if (!device) return std::nullopt;
  std::ifstream uevent(*device / "uevent");
  constexpr std::string_view kKey = "HID_ID=";
  for (std::string line; std::getline(uevent, line);) {
    if (!line.starts_with(kKey)) continue;
    // bus:vendor:product, each in hexadecimal.
    const std::string_view value = std::string_view(line).substr(kKey.size());
    const std::size_t first = value.find(':');
    const std::size_t second = value.find(':', first == value.npos ? first : first + 1);
    if (first == value.npos || second == value.npos) return std::nullopt;
    const auto vendor = HexField(value.substr(first + 1, second - first - 1));
    const auto product = HexField(value.substr(second + 1));
    if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    DeviceAttributes attributes;
    attributes.vendorId = static_cast<std::uint16_t>(*vendor);
    attributes.productId = static_cast<std::uint16_t>(*product);
    return attributes;
  }
  return std::nullopt;
}

InterfaceRecord SysfsHidRecord(const std::string& classDir, const std::string& nodePath) {
  InterfaceRecord record;
  const auto device = HidDevice(classDir, nodePath);
  if (!device) return record;
  std::ifstream uevent(*device / "uevent");
  for (std::string line; std::getline(uevent, line);) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string_view key = std::string_view(line).substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "HID_NAME") record.name = value;
    if (key == "HID_PHYS") record.phys = value;
    if (key == "HID_ID") {
      if (const auto bus = HexField(std::string_view(value).substr(0, value.find(':')));
          bus && *bus <= 0xFFFF) {
        record.bus = static_cast<std::uint16_t>(*bus);
      }
    }
  }
  std::ifstream descriptor(*device / "report_descriptor", std::ios::binary);
  if (descriptor) {
    record.descriptor.emplace(std::istreambuf_iterator<char>(descriptor),
                              std::istreambuf_iterator<char>());
  }
  return record;
}

std::optional<std::string> SysfsUsbProduct(const std::string& classDir,
                                           const std::string& nodePath) {
  const auto usb = UsbDevice(classDir, nodePath);
  if (!usb) return std::nullopt;
  auto product = ReadAttribute(*usb / "product");
  if (!product || product->empty()) return std::nullopt;
  return product;
}

std::optional<std::string> SysfsUsbPort(const std::string& classDir, const std::string& nodePath) {
  const auto usb = UsbDevice(classDir, nodePath);
  if (!usb) return std::nullopt;
  std::string name = usb->filename().string();
  if (!IsUsbPortName(name)) return std::nullopt;
  return name;
}

}  // namespace trivexa::hid
