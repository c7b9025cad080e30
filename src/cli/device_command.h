#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_text.h"
#include "protocol/session.h"

namespace trivexa::cli {

// What the commands that talk to the joystick share.

// Refuses (exit 5, with a message) while the window runs; 0 otherwise.
int RefuseWhileWindowRuns(Environment& environment);

// Claims the joystick for `command`, refuses while the window runs and
// finds the joystick --device names: 0 with the choice in `chosen`, or the
// exit status after saying why on the error stream.
int PrepareDeviceCommand(const Invocation& invocation, Environment& environment,
                         std::string_view command, std::optional<NumberedJoystick>& chosen);

// Connects; 0 when the joystick answers and no stop was asked for, with
// the joystick connected to numbered in `target`. When --device chose none
// and several joysticks are present, says on the error stream which one
// this is. Otherwise the session is closed and the exit status is given: 1
// when the joystick is absent, 3 (with the reason and the fix) when it is
// present but cannot be opened, 4 when it was lost at once, 130 on a stop.
int ConnectOrReport(protocol::Session& session, Environment& environment, JoystickTarget& target);

// Ends the session: the close command with its pauses, but no pauses for a
// joystick that was never found, so a failing command returns at once.
void EndSession(protocol::Session& session);

// Prints why the joystick gave no usable answer; exit 4.
int NoReply(Environment& environment, std::string_view what);

// Adds where the connected joystick is: its path, and its number and port
// (null when unknown).
void AddPlaceMembers(JsonObject& object, const std::string& path,
                     const std::optional<NumberedJoystick>& joystick);

// Adds the status and position replies to `object`: the two lines, each
// setting's index and text, the status reply's axis bytes (rawX, rawY) and
// the position (x, y).
void AddReplyMembers(JsonObject& object, const protocol::Reply& status,
                     const protocol::Reply& position);

}  // namespace trivexa::cli
