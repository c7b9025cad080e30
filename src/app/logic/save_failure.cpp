#include "app/logic/save_failure.h"

namespace trivexa::app {
namespace {

std::string FileText(const settings::SaveResult& result) {
  if (result.path.empty()) return "JOYSTICK.INI";
  const std::u8string text = result.path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

std::string SaveFailureText(const settings::SaveResult& result) {
  return "The joystick has the new settings, but they could not be saved to\n\n" +
         FileText(result) + "\n\n" + result.failedCall + ": " + result.reason +
         "\n\nUntil they are, the next start shows the old values.";
}

std::string SaveFailureLine(const settings::SaveResult& result) {
  return "trivexa: settings not saved: " + result.Describe();
}

}  // namespace trivexa::app
