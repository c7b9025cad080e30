#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "hid/device_link.h"
#include "hid/hid_platform.h"
#include "hid/link_context.h"
#include "host/clock.h"
#include "host/window_ops.h"
#include "protocol/exchange.h"
#include "protocol/reports.h"
#include "settings/joystick_settings.h"

namespace trivexa::protocol {

// The one link to the joystick and every sequence run on it, with their
// pauses, for every front-end: the device cannot tell which program talks
// to it. What a read brings goes to the read hook and is kept as the last
// status and position reply.
class Session {
 public:
  // Called after every read, so a window can show each reply as it comes.
  using ReadHook = std::function<void(const Received&)>;

  // Discovery's log lines and the connection look go to `window`.
  Session(hid::HidPlatform& platform, WindowOps& window, Clock& clock, ReadHook onRead = {});
  // Without a window: what discovery logs goes nowhere.
  Session(hid::HidPlatform& platform, Clock& clock);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Discovery alone: true when the joystick was found and opened.
  bool Find();
  // Closes the handles of a link that was lost, before a new search.
  void ReleaseLostLink();
  // After Find: the log line, a status query, the queue read empty, one
  // more status query with its read.
  void RunConnectionSequence();
  // Find, then the connection sequence when it succeeded; returns Find's
  // answer.
  bool Connect();

  // A connected poll: one status query and one position query, each with
  // its pause and read.
  void Poll();
  // One status query with its read; true when a status reply came back.
  bool QueryStatus();
  void QueryPosition();
  // The write command with the pauses around it; true when the report went
  // out.
  bool WriteConfig(const settings::JoystickSettings& values);
  // The close command with its pauses, then both handles closed. Runs once.
  void Close();

  bool Connected() const { return link_.deviceConnected; }
  const hid::DeviceLink& Link() const { return link_; }
  const std::optional<Reply>& LastStatus() const { return lastStatus_; }
  const std::optional<Reply>& LastPosition() const { return lastPosition_; }
  // Forgets the replies seen, as the window blanks its labels when the
  // device goes.
  void ForgetReplies();

 private:
  hid::LinkContext Context() { return {link_, platform_, window_, clock_}; }
  // One read: the reply is kept and handed to the hook.
  Received Receive();
  // Sends `code`, pauses for the reply and reads it.
  Received Query(std::uint8_t code);

  std::unique_ptr<WindowOps> ownWindow_;  // when no window was given
  hid::HidPlatform& platform_;
  WindowOps& window_;
  Clock& clock_;
  ReadHook onRead_;
  hid::DeviceLink link_;
  settings::JoystickSettings written_;  // the payload of CMD_WRITE_CONFIG
  std::optional<Reply> lastStatus_;
  std::optional<Reply> lastPosition_;
  bool closed_ = false;
};

}  // namespace trivexa::protocol
