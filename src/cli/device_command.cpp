#include "cli/device_command.h"

#include "cli/setting_values.h"
#include "host/text.h"

namespace trivexa::cli {

int RefuseWhileWindowRuns(Environment& environment) {
  if (!environment.windowRunning || !environment.windowRunning()) return 0;
  environment.err << "trivexactl: the Trivexa window is running and talks to the joystick; "
                     "close it first.\n";
  return kExitWindowRunning;
}

namespace {

int ReportNotFound(Environment& environment, JoystickTarget& target) {
  if (const auto problem = JoystickOpenProblem(target, environment.accessFix)) {
    environment.err << "trivexactl: " << *problem << "\n";
    return kExitCannotOpen;
  }
  environment.err << "trivexactl: joystick not found (USB 0079:0026).\n";
  return kExitNotFound;
}

// Several joysticks and no --device: the one taken need not be number 1.
void NoteWhichJoystick(Environment& environment, JoystickTarget& target, const std::string& path) {
  const std::size_t present = target.Identify(path);
  if (target.Chosen() || present < 2 || !target.Connected()) return;
  const NumberedJoystick& taken = *target.Connected();
  environment.err << "trivexactl: " << present << " joysticks are present; this is number "
                  << taken.number;
  if (taken.place.port) environment.err << " (port " << TerminalText(*taken.place.port) << ")";
  environment.err << "; choose one with --device.\n";
}

}  // namespace

int ConnectOrReport(protocol::Session& session, Environment& environment, JoystickTarget& target) {
  const bool found = session.Connect();
  if (environment.StopRequested()) {
    EndSession(session);
    environment.err << "trivexactl: interrupted.\n";
    return kExitInterrupted;
  }
  if (session.Connected()) {
    NoteWhichJoystick(environment, target, session.Link().devicePath);
    return 0;
  }
  EndSession(session);
  if (!found) return ReportNotFound(environment, target);
  return NoReply(environment, "the joystick stopped answering right after it was opened");
}

void EndSession(protocol::Session& session) {
  if (session.Link().deviceEverFound) session.Close();
}

int NoReply(Environment& environment, std::string_view what) {
  environment.err << "trivexactl: " << what << ".\n";
  return kExitNoReply;
}

void AddPlaceMembers(JsonObject& object, const std::string& path,
                     const std::optional<NumberedJoystick>& joystick) {
  object.Add("path", path)
      .AddNumberOrNull("number",
                       joystick ? std::optional<std::int64_t>(joystick->number) : std::nullopt)
      .AddOrNull("port", joystick ? joystick->place.port : std::nullopt);
}

void AddReplyMembers(JsonObject& object, const protocol::Reply& status,
                     const protocol::Reply& position) {
  JsonObject settings;
  const auto indexes = IndexesOf(status.indexes);
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    JsonObject setting;
    setting.AddNumber("index", indexes[i]).AddOrNull("text", ReportedText(i, indexes[i]));
    settings.AddRaw(kSettingNames[i].json, setting.Text());
  }
  object.Add("status", protocol::ReplyLine(status))
      .Add("position", protocol::ReplyLine(position))
      .AddRaw("settings", settings.Text())
      .AddNumber("rawX", status.rawX)
      .AddNumber("rawY", status.rawY)
      .AddNumber("x", position.x)
      .AddNumber("y", position.y);
}

}  // namespace trivexa::cli
