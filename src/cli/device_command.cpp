#include "cli/device_command.h"

#include "cli/setting_values.h"

namespace trivexa::cli {

int RefuseWhileWindowRuns(Environment& environment) {
  if (!environment.windowRunning || !environment.windowRunning()) return 0;
  environment.err << "trivexactl: the Trivexa window is running and talks to the joystick; "
                     "close it first.\n";
  return kExitWindowRunning;
}

namespace {

int ReportNotFound(Environment& environment) {
  if (const auto problem = JoystickOpenProblem(environment.platform, environment.accessFix)) {
    environment.err << "trivexactl: " << *problem << "\n";
    return kExitCannotOpen;
  }
  environment.err << "trivexactl: joystick not found (USB 0079:0026).\n";
  return kExitNotFound;
}

}  // namespace

int ConnectOrReport(protocol::Session& session, Environment& environment) {
  const bool found = session.Connect();
  if (environment.StopRequested()) {
    EndSession(session);
    environment.err << "trivexactl: interrupted.\n";
    return kExitInterrupted;
  }
  if (session.Connected()) return 0;
  EndSession(session);
  if (!found) return ReportNotFound(environment);
  return NoReply(environment, "the joystick stopped answering right after it was opened");
}

void EndSession(protocol::Session& session) {
  if (session.Link().deviceEverFound) session.Close();
}

int NoReply(Environment& environment, std::string_view what) {
  environment.err << "trivexactl: " << what << ".\n";
  return kExitNoReply;
}

void AddReplyMembers(JsonObject& object, const protocol::Reply& status,
                     const protocol::Reply& position) {
  JsonObject settings;
  const auto indexes = IndexesOf(status.indexes);
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    JsonObject setting;
    setting.AddNumber("index", indexes[i]);
    if (const auto text = ReportedText(i, indexes[i])) {
      setting.Add("text", *text);
    } else {
      setting.AddNull("text");
    }
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
