#include "app/logic/save_failure.h"

#include "host/text.h"

namespace trivexa::app {

std::string SaveFailureText(const settings::SaveResult& result) {
  return "The joystick has the new settings, but they could not be saved to\n\n" +
         result.FileText() + "\n\n" + result.failedCall + ": " + result.reason +
         "\n\nUntil they are, the next start shows the old values.";
}

std::string SaveFailureLine(const settings::SaveResult& result) {
  // The path comes from HOME or the program's folder: it may hold anything.
  return "trivexa: settings not saved: " + TerminalText(result.Describe());
}

}  // namespace trivexa::app
