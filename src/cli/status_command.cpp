#include "cli/device_command.h"

namespace trivexa::cli {

int RunStatus(const Invocation& invocation, Environment& environment) {
  if (const int refused = RefuseWhileWindowRuns(environment)) return refused;
  DeviceSession session(environment.platform, environment.clock);
  if (const int failed = ConnectOrReport(session, environment)) return failed;

  session.Poll();
  session.Close();
  if (!session.LastStatus() || !session.LastPosition()) {
    return NoReply(environment, "no status or position reply from the joystick");
  }
  if (invocation.json) {
    JsonObject object;
    object.Add("path", session.DevicePath());
    AddReplyMembers(object, *session.LastStatus(), *session.LastPosition());
    environment.out << object.Text() << "\n";
  } else {
    environment.out << session.LastStatus()->line << "\n" << session.LastPosition()->line << "\n";
  }
  return kExitOk;
}

}  // namespace trivexa::cli
