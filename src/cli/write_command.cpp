#include <string>

#include "cli/device_command.h"
#include "cli/setting_values.h"
#include "host/text.h"

namespace trivexa::cli {
namespace {

// Tries the status query a few times: a reply can be lost to a report the
// device had queued before it.
constexpr int kReadBackAttempts = 3;

std::string Describe(const settings::JoystickSettings& values) {
  std::string text;
  const auto indexes = IndexesOf(values);
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    if (!text.empty()) text += ", ";
    text += kSettingNames[i].option;
    text += ' ';
    if (const auto reported = ReportedText(i, indexes[i])) {
      text += *reported;
    } else {
      text += '#';
      text += std::to_string(indexes[i]);
    }
  }
  return text;
}

// A kept value must name something, and a value to be saved must be one the
// window's lists offer, or the window would read another one back.
int CheckKeptValues(const Invocation& invocation, const settings::JoystickSettings& values,
                    Environment& environment) {
  const auto indexes = IndexesOf(values);
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    if (invocation.values[i]) continue;
    std::string option = "--";
    option += kSettingNames[i].option;
    if (!ReportedText(i, indexes[i])) {
      environment.err << "trivexactl: the joystick reports " << option << " as i" << int{indexes[i]}
                      << ", which names no value; give " << option << ".\n";
      return kExitUsage;
    }
    if (invocation.save && indexes[i] >= settings::kSettingFields[i].choices.size()) {
      environment.err << "trivexactl: --save: the joystick's " << option << " "
                      << *ReportedText(i, indexes[i]) << " is not among the window's choices; give "
                      << option << ".\n";
      return kExitUsage;
    }
  }
  return 0;
}

}  // namespace

int RunWrite(const Invocation& invocation, Environment& environment, JoystickTarget& target) {
  protocol::Session session(target, environment.clock);
  if (const int failed = ConnectOrReport(session, environment, target)) return failed;

  // Values not given keep the device's: they are read first.
  if (!session.LastStatus() && !session.QueryStatus()) {
    EndSession(session);
    return NoReply(environment, "no status reply from the joystick; nothing was written");
  }
  settings::JoystickSettings values = session.LastStatus()->indexes;
  for (std::size_t i = 0; i < invocation.values.size(); ++i) {
    if (invocation.values[i]) values.*settings::kSettingFields[i].member = *invocation.values[i];
  }
  if (const int refused = CheckKeptValues(invocation, values, environment)) {
    EndSession(session);
    return refused;
  }
  if (environment.StopRequested()) {
    EndSession(session);
    environment.err << "trivexactl: interrupted; nothing was written.\n";
    return kExitInterrupted;
  }

  if (!session.WriteConfig(values)) {
    EndSession(session);
    return NoReply(environment, "the write to the joystick failed");
  }
  bool answered = false;
  for (int attempt = 0; attempt < kReadBackAttempts && !answered; ++attempt) {
    answered = session.QueryStatus();
  }
  EndSession(session);
  if (!answered) return NoReply(environment, "no reply to the read-back after the write");
  if (!(session.LastStatus()->indexes == values)) {
    return NoReply(environment, "the joystick reports " + Describe(session.LastStatus()->indexes) +
                                    " after the write of " + Describe(values));
  }
  environment.out << protocol::ReplyLine(*session.LastStatus()) << "\n";

  if (!invocation.save) return kExitOk;
  const settings::SaveResult saved = settings::SaveSettings(values, environment.settingsFolder);
  if (!saved.saved) {
    environment.err << "trivexactl: the joystick took the values, but the settings file could "
                       "not be written: "
                    << TerminalText(saved.Describe()) << "\n";
    return kExitSaveFailed;
  }
  return kExitOk;
}

}  // namespace trivexa::cli
