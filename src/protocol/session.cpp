#include "protocol/session.h"

#include <utility>

#include "hid/discovery.h"
#include "protocol/commands.h"
#include "protocol/pauses.h"

namespace trivexa::protocol {
namespace {

// Where discovery's log goes for a front-end without a window.
class NoWindow final : public WindowOps {
 public:
  void AppendLog(std::string_view) override {}
  void SelectLastLog() override {}
  void ClearLog() override {}
  std::int16_t LogLineCount() const override { return 0; }
  void SetConnectionLabel(bool) override {}
  void SetStatusText(std::string_view) override {}
  void SetPositionText(std::string_view) override {}
  void SetTitle(std::string_view) override {}
};

}  // namespace

Session::Session(hid::HidPlatform& platform, WindowOps& window, Clock& clock, ReadHook onRead)
    : platform_(platform), window_(window), clock_(clock), onRead_(std::move(onRead)) {}

Session::Session(hid::HidPlatform& platform, Clock& clock)
    : ownWindow_(std::make_unique<NoWindow>()),
      platform_(platform),
      window_(*ownWindow_),
      clock_(clock) {}

Session::~Session() = default;

bool Session::Find() {
  hid::LinkContext context = Context();
  return hid::FindTheHid(context);
}

void Session::ReleaseLostLink() {
  if (!hid::IsOpen(link_.writeHandle)) return;
  hid::CloseIfOpen(platform_, link_.writeHandle);
  hid::CloseIfOpen(platform_, link_.readHandle);
  link_.readHandle = hid::kNoHandle;
}

void Session::RunConnectionSequence() {
  window_.AppendLog("  Joystick Communications OK!");
  window_.SelectLastLog();

  hid::LinkContext context = Context();
  SendCommand(context, written_, CMD_QUERY_STATUS);
  for (int reads = 1; Receive().count != 0 && reads < kMaxDrainReads; ++reads) {
  }
  QueryStatus();
}

bool Session::Connect() {
  if (!Find()) return false;
  RunConnectionSequence();
  return true;
}

Received Session::Receive() {
  hid::LinkContext context = Context();
  Received received = ReceiveReport(context);
  if (received.reply) {
    (received.reply->IsStatus() ? lastStatus_ : lastPosition_) = received.reply;
  }
  if (onRead_) onRead_(received);
  return received;
}

Received Session::Query(std::uint8_t code) {
  hid::LinkContext context = Context();
  SendCommand(context, written_, code);
  clock_.Sleep(kReplyPauseMs);
  return Receive();
}

bool Session::QueryStatus() {
  const Received received = Query(CMD_QUERY_STATUS);
  return received.reply && received.reply->IsStatus();
}

void Session::QueryPosition() { Query(CMD_QUERY_POSITION); }

void Session::Poll() {
  QueryStatus();
  QueryPosition();
}

bool Session::WriteConfig(const settings::JoystickSettings& values) {
  written_ = values;
  clock_.Sleep(kBeforeWriteConfigMs);
  // SendCommand may reconnect on its own; what counts is whether the report
  // went out, which only a connected link after the call tells.
  hid::LinkContext context = Context();
  SendCommand(context, written_, CMD_WRITE_CONFIG);
  const bool written = link_.deviceConnected;
  clock_.Sleep(kAfterWriteConfigMs);
  return written;
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  hid::LinkContext context = Context();
  clock_.Sleep(kBeforeCloseMs);
  SendCommand(context, written_, CMD_CLOSE);
  clock_.Sleep(kAfterCloseMs);
  hid::CloseIfOpen(platform_, link_.writeHandle);
  hid::CloseIfOpen(platform_, link_.readHandle);
}

void Session::ForgetReplies() {
  lastStatus_.reset();
  lastPosition_.reset();
}

}  // namespace trivexa::protocol
