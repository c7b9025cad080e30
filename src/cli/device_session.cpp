#include "cli/device_session.h"

#include "hid/discovery.h"
#include "protocol/commands.h"
#include "protocol/exchange.h"
#include "protocol/pauses.h"

namespace trivexa::cli {
namespace {

std::int16_t Signed16(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

}  // namespace

DeviceSession::DeviceSession(hid::HidPlatform& platform, Clock& clock)
    : tap_(platform), clock_(clock) {}

std::int32_t DeviceSession::Receive() {
  hid::LinkContext context = Context();
  const std::int32_t count = protocol::ReceiveReport(context);
  const auto report = tap_.TakeReport();
  if (count < protocol::MIN_REPLY_BYTES || !report) return count;

  namespace at = protocol::input_offset;
  const std::vector<std::uint8_t>& bytes = *report;
  if (bytes[at::kTag] == protocol::CMD_QUERY_STATUS) {
    lastStatus_ = StatusReply{{bytes[at::kDeadZone], bytes[at::kAngleOffset],
                               bytes[at::kMoveThreshold], bytes[at::kInterval]},
                              bytes[at::kX],
                              bytes[at::kY],
                              window_.status};
    ++statusReplies_;
  }
  if (bytes[at::kTag] == protocol::CMD_QUERY_POSITION) {
    lastPosition_ =
        PositionReply{Signed16(bytes[at::kPositionX], bytes[at::kPositionX + 1]),
                      Signed16(bytes[at::kPositionY], bytes[at::kPositionY + 1]), window_.position};
  }
  return count;
}

bool DeviceSession::Connect() {
  hid::LinkContext context = Context();
  if (!hid::FindTheHid(context)) return false;
  window_.AppendLog("  Joystick Communications OK!");

  protocol::SendCommand(context, toWrite_, protocol::CMD_QUERY_STATUS);
  for (int reads = 1; Receive() != 0 && reads < protocol::kMaxDrainReads; ++reads) {
  }
  QueryStatus();
  return true;
}

bool DeviceSession::QueryStatus() {
  hid::LinkContext context = Context();
  protocol::SendCommand(context, toWrite_, protocol::CMD_QUERY_STATUS);
  clock_.Sleep(protocol::kReplyPauseMs);
  const int before = statusReplies_;
  Receive();
  return statusReplies_ != before;
}

void DeviceSession::Poll() {
  QueryStatus();
  hid::LinkContext context = Context();
  protocol::SendCommand(context, toWrite_, protocol::CMD_QUERY_POSITION);
  clock_.Sleep(protocol::kReplyPauseMs);
  Receive();
}

bool DeviceSession::WriteConfig(const settings::JoystickSettings& values) {
  hid::LinkContext context = Context();
  toWrite_ = values;
  clock_.Sleep(protocol::kBeforeWriteConfigMs);
  // SendCommand may reconnect on its own; what counts is whether the report
  // went out, which only a connected link after the call tells.
  protocol::SendCommand(context, toWrite_, protocol::CMD_WRITE_CONFIG);
  const bool written = link_.deviceConnected;
  clock_.Sleep(protocol::kAfterWriteConfigMs);
  return written;
}

void DeviceSession::Close() {
  if (closed_) return;
  closed_ = true;
  if (!link_.deviceEverFound) return;
  hid::LinkContext context = Context();
  clock_.Sleep(protocol::kBeforeCloseMs);
  protocol::SendCommand(context, toWrite_, protocol::CMD_CLOSE);
  clock_.Sleep(protocol::kAfterCloseMs);
  hid::CloseIfOpen(tap_, link_.writeHandle);
  hid::CloseIfOpen(tap_, link_.readHandle);
}

void DeviceSession::ForgetReplies() {
  lastStatus_.reset();
  lastPosition_.reset();
}

}  // namespace trivexa::cli
