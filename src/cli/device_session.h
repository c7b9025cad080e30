#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/quiet_window.h"
#include "cli/reply_tap.h"
#include "hid/device_link.h"
#include "hid/hid_platform.h"
#include "hid/link_context.h"
#include "host/clock.h"
#include "settings/joystick_settings.h"

namespace trivexa::cli {

struct StatusReply {
  settings::JoystickSettings values;
  std::uint8_t x = 0;
  std::uint8_t y = 0;
  std::string line;  // as the window's status label shows it
};

struct PositionReply {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::string line;  // as the window's position label shows it
};

// One link to the joystick, driven with the window's own discovery and
// exchange and with its pauses, so the device cannot tell the two apart.
// The close command goes out when the session ends, if the joystick was
// ever found.
class DeviceSession {
 public:
  DeviceSession(hid::HidPlatform& platform, Clock& clock);
  ~DeviceSession() { Close(); }
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Discovery, then the window's connection sequence: a status query, the
  // queue read empty, one more status query with its read. Returns whether
  // discovery found the joystick; Connected() tells whether it still
  // answers.
  bool Connect();
  // A connected poll tick: one status query and one position query.
  void Poll();
  // One status query with its read; true when a status reply came back.
  bool QueryStatus();
  // The write command with its pauses around it; false when the write
  // failed.
  bool WriteConfig(const settings::JoystickSettings& values);
  // The close command with its pauses, then both handles closed. Runs once;
  // does nothing when the joystick was never found.
  void Close();

  bool Connected() const { return link_.deviceConnected; }
  const std::string& DevicePath() const { return link_.devicePath; }
  const std::optional<StatusReply>& LastStatus() const { return lastStatus_; }
  const std::optional<PositionReply>& LastPosition() const { return lastPosition_; }
  // Forgets the replies seen, as the window blanks its labels when the
  // device goes.
  void ForgetReplies();

 private:
  hid::LinkContext Context() { return {link_, tap_, window_, clock_}; }
  // One read, keeping the reply it brought; returns its byte count.
  std::int32_t Receive();

  ReplyTap tap_;
  QuietWindow window_;
  Clock& clock_;
  hid::DeviceLink link_;
  settings::JoystickSettings toWrite_;  // the payload of CMD_WRITE_CONFIG
  std::optional<StatusReply> lastStatus_;
  std::optional<PositionReply> lastPosition_;
  int statusReplies_ = 0;
  bool closed_ = false;
};

}  // namespace trivexa::cli
