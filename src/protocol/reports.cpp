#include "protocol/reports.h"

namespace trivexa::protocol {
namespace {

// Bytes past the end of a short report read as zero.
std::uint8_t At(InputReport report, std::size_t offset) {
  return offset < report.size() ? report[offset] : std::uint8_t{0};
}

template <std::size_t N>
void AppendFragment(std::string& line, const std::array<std::string_view, N>& table,
                    std::uint8_t index) {
  if (index < N) line += table[index];
}

std::int16_t SignedLittleEndian(InputReport report, std::size_t offset) {
  const auto low = static_cast<std::uint16_t>(At(report, offset));
  const auto high = static_cast<std::uint16_t>(At(report, offset + 1));
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

}  // namespace

OutputReport BuildOutputReport(std::uint8_t code, const settings::JoystickSettings& settings) {
  OutputReport report{};
  report[0] = 0x00;
  report[1] = code;
  if (code == CMD_WRITE_CONFIG) {
    report[2] = settings.deadZoneIndex;
    report[3] = settings.angleOffsetIndex;
    report[4] = settings.moveThresholdIndex;
    report[5] = settings.intervalIndex;
  }
  return report;
}

std::string StatusLineFromReport(InputReport report) {
  using namespace input_offset;
  std::string line = "Current Status:";
  AppendFragment(line, kDeadZoneFragments, At(report, kDeadZone));
  AppendFragment(line, kAngleOffsetFragments, At(report, kAngleOffset));
  AppendFragment(line, kMoveThresholdFragments, At(report, kMoveThreshold));
  AppendFragment(line, kIntervalFragments, At(report, kInterval));
  line += ", X=" + NumberText(At(report, kX));
  line += ",Y=" + NumberText(At(report, kY));
  return line;
}

std::string PositionLineFromReport(InputReport report) {
  using namespace input_offset;
  return " x=" + NumberText(SignedLittleEndian(report, kPositionX)) +
         ",y=" + NumberText(SignedLittleEndian(report, kPositionY));
}

}  // namespace trivexa::protocol
