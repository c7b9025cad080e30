#include "protocol/reports.h"

#include <optional>

namespace trivexa::protocol {
namespace {

// A byte the report does not reach was never sent: it selects nothing.
std::optional<std::uint8_t> At(InputReport report, std::size_t offset) {
  if (offset >= report.size()) return std::nullopt;
  return report[offset];
}

template <std::size_t N>
void AppendFragment(std::string& line, const std::array<std::string_view, N>& table,
                    std::optional<std::uint8_t> index) {
  if (index && *index < N) line += table[*index];
}

// A value and its label, or nothing when the report does not reach it.
template <typename Number>
void AppendValue(std::string& line, std::string_view label, std::optional<Number> value) {
  if (!value) return;
  line += label;
  line += NumberText(*value);
}

std::optional<std::int16_t> SignedLittleEndian(InputReport report, std::size_t offset) {
  const auto low = At(report, offset);
  const auto high = At(report, offset + 1);
  if (!low || !high) return std::nullopt;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(*low | (*high << 8)));
}

}  // namespace

std::optional<Reply> DecodeReply(InputReport report) {
  using namespace input_offset;
  if (report.size() < static_cast<std::size_t>(MIN_REPLY_BYTES)) return std::nullopt;
  Reply reply;
  reply.tag = report[kTag];
  if (!reply.IsStatus() && !reply.IsPosition()) return std::nullopt;
  reply.bytes.assign(report.begin(), report.end());
  const auto byte = [&](std::size_t offset) { return At(report, offset).value_or(0); };
  if (reply.IsStatus()) {
    reply.indexes = {byte(kDeadZone), byte(kAngleOffset), byte(kMoveThreshold), byte(kInterval)};
    reply.rawX = byte(kX);
    reply.rawY = byte(kY);
  } else {
    reply.x = SignedLittleEndian(report, kPositionX).value_or(0);
    reply.y = SignedLittleEndian(report, kPositionY).value_or(0);
  }
  return reply;
}

std::string ReplyLine(const Reply& reply) {
  return reply.IsStatus() ? StatusLineFromReport(reply.bytes) : PositionLineFromReport(reply.bytes);
}

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
  AppendValue(line, ", X=", At(report, kX));
  AppendValue(line, ",Y=", At(report, kY));
  return line;
}

std::string PositionLineFromReport(InputReport report) {
  using namespace input_offset;
  std::string line;
  AppendValue(line, " x=", SignedLittleEndian(report, kPositionX));
  AppendValue(line, ",y=", SignedLittleEndian(report, kPositionY));
  return line;
}

}  // namespace trivexa::protocol
