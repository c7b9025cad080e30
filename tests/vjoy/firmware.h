#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "scenario.h"

namespace vjoy {

// The command codes, the first byte of an output report after its ID.
inline constexpr std::uint8_t kWriteConfig = 0x3A;
inline constexpr std::uint8_t kQueryStatus = 0x5A;
inline constexpr std::uint8_t kQueryPosition = 0x6A;
inline constexpr std::uint8_t kClose = 0xAA;

// The joystick's firmware as the report formats describe it: 0x5A is
// answered with a status report, 0x6A with a position report, 0x3A stores
// its four bytes, 0xAA is only counted. Anything else is ignored.
class JoystickFirmware {
 public:
  explicit JoystickFirmware(const VirtualInterface& virtualInterface);

  // Takes one output report as it reaches the device, that is after the
  // kernel dropped a zero report-ID byte. Gives the input report to send
  // back, as hidraw hands it out (with the ID byte only for numbered
  // reports), or nothing.
  std::optional<std::vector<std::uint8_t>> OnOutput(std::span<const std::uint8_t> wire);
  // The report a streaming device sends unasked.
  std::vector<std::uint8_t> PositionReport() const;

  const std::array<std::uint8_t, 4>& Eeprom() const { return eeprom_; }
  unsigned CloseCount() const { return closeCount_; }

 private:
  std::vector<std::uint8_t> Input(std::array<std::uint8_t, 8> data) const;

  std::uint8_t reportId_;
  bool silent_;
  std::array<std::uint8_t, 4> eeprom_;
  std::uint8_t statusX_;
  std::uint8_t statusY_;
  std::int16_t positionX_;
  std::int16_t positionY_;
  unsigned closeCount_ = 0;
};

}  // namespace vjoy
