#include "firmware.h"

namespace vjoy {
namespace {

std::uint8_t Low(std::int16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint8_t High(std::int16_t value) {
  return static_cast<std::uint8_t>((static_cast<std::uint16_t>(value) >> 8) & 0xFF);
}

}  // namespace

JoystickFirmware::JoystickFirmware(const VirtualInterface& virtualInterface)
    : reportId_(virtualInterface.reportId),
      silent_(virtualInterface.silent),
      eeprom_(virtualInterface.eeprom),
      statusX_(virtualInterface.statusX),
      statusY_(virtualInterface.statusY),
      positionX_(virtualInterface.positionX),
      positionY_(virtualInterface.positionY) {}

std::vector<std::uint8_t> JoystickFirmware::Input(std::array<std::uint8_t, 8> data) const {
  std::vector<std::uint8_t> report;
  report.reserve(data.size() + 1);
  if (reportId_ != 0) report.push_back(reportId_);
  for (std::uint8_t byte : data) report.push_back(byte);
  return report;
}

std::vector<std::uint8_t> JoystickFirmware::PositionReport() const {
  return Input({0, 0, 0, kQueryPosition, Low(positionX_), High(positionX_), Low(positionY_),
                High(positionY_)});
}

std::optional<std::vector<std::uint8_t>> JoystickFirmware::OnOutput(
    std::span<const std::uint8_t> wire) {
  // A numbered device gets its report ID first; a report meant for another
  // ID is not this firmware's.
  if (reportId_ != 0) {
    if (wire.empty() || wire[0] != reportId_) return std::nullopt;
    wire = wire.subspan(1);
  }
  if (wire.empty()) return std::nullopt;
  auto payload = [&](std::size_t i) -> std::uint8_t {
    return i + 1 < wire.size() ? wire[i + 1] : 0;
  };
  switch (wire[0]) {
    case kWriteConfig:
      for (std::size_t i = 0; i < eeprom_.size(); ++i) eeprom_[i] = payload(i);
      return std::nullopt;
    case kClose:
      ++closeCount_;
      return std::nullopt;
    case kQueryStatus:
      if (silent_) return std::nullopt;
      return Input(
          {statusX_, statusY_, 0, kQueryStatus, eeprom_[0], eeprom_[1], eeprom_[2], eeprom_[3]});
    case kQueryPosition:
      if (silent_) return std::nullopt;
      return PositionReport();
    default:
      return std::nullopt;
  }
}

}  // namespace vjoy
