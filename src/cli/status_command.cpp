#include "cli/device_command.h"

namespace trivexa::cli {

int RunStatus(const Invocation& invocation, Environment& environment, JoystickTarget& target) {
  protocol::Session session(target, environment.clock);
  if (const int failed = ConnectOrReport(session, environment, target)) return failed;

  session.Poll();
  EndSession(session);
  if (!session.LastStatus() || !session.LastPosition()) {
    return NoReply(environment, "no status or position reply from the joystick");
  }
  if (invocation.json) {
    JsonObject object;
    object.AddNumber("version", kJsonVersion);
    AddPlaceMembers(object, session.Link().devicePath, target.Connected());
    AddReplyMembers(object, *session.LastStatus(), *session.LastPosition());
    environment.out << object.Text() << "\n";
  } else {
    environment.out << protocol::ReplyLine(*session.LastStatus()) << "\n"
                    << protocol::ReplyLine(*session.LastPosition()) << "\n";
  }
  return kExitOk;
}

}  // namespace trivexa::cli
