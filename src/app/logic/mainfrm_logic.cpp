#include "app/logic/mainfrm_logic.h"

#include <utility>

#include "app/logic/command_line.h"
#include "app/logic/mainfrm_definition.h"
#include "protocol/pauses.h"

namespace trivexa::app {

MainfrmLogic::MainfrmLogic(MainfrmParts parts)
    : parts_(std::move(parts)),
      joysticks_(parts_.platform, parts_.chosen),
      session_(joysticks_, parts_.window, parts_.clock,
               [this](const protocol::Received& received) { ShowRead(received); }),
      shown_(parts_.chosen),
      title_(kMainfrmWindow.caption) {}

void MainfrmLogic::ShowTitle() {
  const std::string title = WindowTitle(shown_ ? &*shown_ : nullptr);
  if (title == title_) return;
  title_ = title;
  parts_.window.SetTitle(title_);
}

std::optional<hid::NumberedJoystick> MainfrmLogic::Following() const {
  if (parts_.chosen) return parts_.chosen;
  return session_.Connected() ? joysticks_.Connected() : std::nullopt;
}

void MainfrmLogic::NameConnectedJoystick() {
  if (parts_.chosen) return;
  const std::size_t present = joysticks_.Identify(session_.Link().devicePath);
  shown_ = present > 1 ? joysticks_.Connected() : std::nullopt;
  ShowTitle();
}

void MainfrmLogic::ShowRead(const protocol::Received& received) {
  if (received.reply) {
    const std::string line = protocol::ReplyLine(*received.reply);
    if (received.reply->IsStatus()) parts_.window.SetStatusText(line);
    if (received.reply->IsPosition()) parts_.window.SetPositionText(line);
  }
  if (parts_.window.LogLineCount() > kLogLineCap) parts_.window.ClearLog();
}

void MainfrmLogic::Form_Load() {
  if (parts_.instance.AnotherInstanceRunning()) {
    closed_ = true;  // nothing was opened, so nothing is to be closed
    parts_.program.EndProgram();
    return;
  }
  settings::LoadSettings(settings_, parts_.programFolder);
  settings::FillChoiceLists(settings_, parts_.combos);
  parts_.window.SetStatusText(STATUS_PLACEHOLDER);
  ShowTitle();
  parts_.program.ShowWindow();
}

void MainfrmLogic::Timer1_Timer() {
  if (session_.Connected()) {
    session_.Poll();
    return;
  }

  parts_.timer.SetInterval(protocol::kPollIntervalMs);
  session_.ReleaseLostLink();
  parts_.window.SetConnectionLabel(false);
  parts_.window.SetStatusText(STATUS_PLACEHOLDER);
  parts_.window.SetPositionText("");
  if (!session_.Find()) {
    // Another joystick may be there, but it is never taken in its place.
    if (parts_.chosen) {
      parts_.window.AppendLog("  Waiting for " + hid::JoystickName(*parts_.chosen));
      parts_.window.SelectLastLog();
    }
    return;
  }

  parts_.timer.SetEnabled(false);
  session_.RunConnectionSequence();
  if (session_.Connected()) NameConnectedJoystick();
  parts_.timer.SetEnabled(true);
}

void MainfrmLogic::Cmd_WriteEEPROM_Click() {
  for (std::size_t i = 0; i < settings::kSettingFields.size(); ++i) {
    const settings::SettingField& field = settings::kSettingFields[i];
    ChoiceList& list = *parts_.combos[i];
    const std::int16_t selected = list.SelectedIndex();
    if (selected >= 0 && static_cast<std::size_t>(selected) < field.choices.size()) {
      settings_.*field.member = static_cast<std::uint8_t>(selected);
    } else {
      // Typed text names no entry: the value stays and the list shows it
      // again, so nothing outside the table is ever sent or saved.
      list.Select(settings_.*field.member);
    }
  }

  if (!session_.Connected()) return;
  parts_.timer.SetEnabled(false);
  session_.WriteConfig(settings_);
  const settings::SaveResult saved = settings::SaveSettings(settings_, parts_.programFolder);
  if (!saved.saved) parts_.program.ReportSaveFailure(saved);
  parts_.timer.SetEnabled(true);
}

void MainfrmLogic::CloseLink() {
  if (closed_) return;
  closed_ = true;
  parts_.timer.SetEnabled(false);
  session_.Close();
}

void MainfrmLogic::Cmd_Exit_Click() {
  CloseLink();
  parts_.program.EndProgram();
}

void MainfrmLogic::Form_Unload() { CloseLink(); }

void MainfrmLogic::Clear_Click() { parts_.window.ClearLog(); }

}  // namespace trivexa::app
