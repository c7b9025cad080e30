#include <algorithm>
#include <optional>
#include <string>

#include "cli/device_command.h"
#include "protocol/pauses.h"

namespace trivexa::cli {
namespace {

// The stop flag is looked at this often while waiting for the next poll.
constexpr std::uint32_t kStopCheckMs = 100;

struct Shown {
  std::optional<bool> connected;
  std::string status;
  std::string position;
};

// Prints what changed since the last poll: one line per change, or one JSON
// object per poll that changed anything.
void ShowChanges(const Invocation& invocation, protocol::Session& session, JoystickTarget& target,
                 Shown& shown, Environment& environment) {
  const bool connected = session.Connected();
  const auto line = [](const std::optional<protocol::Reply>& reply) {
    return reply ? protocol::ReplyLine(*reply) : std::string();
  };
  const std::string status = line(session.LastStatus());
  const std::string position = line(session.LastPosition());
  const bool connectionChanged = shown.connected != connected;
  const bool statusChanged = status != shown.status;
  const bool positionChanged = position != shown.position;
  if (!connectionChanged && !statusChanged && !positionChanged) return;

  if (invocation.json) {
    JsonObject object;
    object.AddNumber("version", kJsonVersion).AddBool("connected", connected);
    if (connected) {
      // Numbered again at each new connection: it may be another socket's.
      if (connectionChanged) target.Identify(session.Link().devicePath);
      AddPlaceMembers(object, session.Link().devicePath, target.Connected());
    }
    if (connected && session.LastStatus() && session.LastPosition()) {
      AddReplyMembers(object, *session.LastStatus(), *session.LastPosition());
    }
    environment.out << object.Text() << "\n";
  } else {
    if (connectionChanged) {
      environment.out << (connected ? "Joystick connected" : "Joystick unconnected") << "\n";
    }
    if (statusChanged && !status.empty()) environment.out << status << "\n";
    if (positionChanged && !position.empty()) environment.out << position << "\n";
  }
  environment.out.flush();
  shown = {connected, status, position};
}

}  // namespace

int RunWatch(const Invocation& invocation, Environment& environment, JoystickTarget& target) {
  protocol::Session session(target, environment.clock);
  Shown shown;
  bool problemReported = false;

  while (!environment.StopRequested()) {
    // Ticks come once a second from the start of the last one, as the
    // window's timer fires; after a connection sequence the window restarts
    // its timer, so the next tick is a second after the sequence ends.
    std::int64_t nextTick = environment.clock.NowMs() + protocol::kPollIntervalMs;
    if (session.Connected()) {
      session.Poll();
    } else {
      // As the window's not-connected tick: blank, then search again.
      session.ForgetReplies();
      if (!session.Connect() && !problemReported) {
        if (const auto problem = JoystickOpenProblem(target, environment.accessFix)) {
          environment.err << "trivexactl: " << *problem << "\n";
          problemReported = true;
        }
      }
      if (session.Connected()) nextTick = environment.clock.NowMs() + protocol::kPollIntervalMs;
    }
    ShowChanges(invocation, session, target, shown, environment);
    if (!environment.out) break;  // nobody reads any more (a closed pipe)

    for (std::int64_t now = environment.clock.NowMs();
         now < nextTick && !environment.StopRequested(); now = environment.clock.NowMs()) {
      environment.clock.Sleep(
          static_cast<std::uint32_t>(std::min<std::int64_t>(kStopCheckMs, nextTick - now)));
    }
  }
  EndSession(session);
  return kExitOk;
}

}  // namespace trivexa::cli
