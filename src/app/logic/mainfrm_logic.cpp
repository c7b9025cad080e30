#include "app/logic/mainfrm_logic.h"

#include <utility>

#include "hid/discovery.h"
#include "protocol/commands.h"
#include "protocol/exchange.h"
#include "protocol/pauses.h"

namespace trivexa::app {
namespace {

// The pauses are shared with the command-line tool, so the device sees one
// timing whichever front-end talks to it.
using protocol::kAfterCloseMs;
using protocol::kAfterWriteConfigMs;
using protocol::kBeforeCloseMs;
using protocol::kBeforeWriteConfigMs;
using protocol::kMaxDrainReads;
using protocol::kReplyPauseMs;

}  // namespace

MainfrmLogic::MainfrmLogic(MainfrmParts parts) : parts_(std::move(parts)) {}

hid::LinkContext MainfrmLogic::Context() {
  return hid::LinkContext{link_, parts_.platform, parts_.window, parts_.clock};
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
  parts_.program.ShowWindow();
}

void MainfrmLogic::Timer1_Timer() {
  hid::LinkContext context = Context();
  if (link_.deviceConnected) {
    protocol::SendCommand(context, settings_, protocol::CMD_QUERY_STATUS);
    parts_.clock.Sleep(kReplyPauseMs);
    protocol::ReceiveReport(context);
    protocol::SendCommand(context, settings_, protocol::CMD_QUERY_POSITION);
    parts_.clock.Sleep(kReplyPauseMs);
    protocol::ReceiveReport(context);
    return;
  }

  parts_.timer.SetInterval(protocol::kPollIntervalMs);
  if (hid::IsOpen(link_.writeHandle)) {
    hid::CloseIfOpen(parts_.platform, link_.writeHandle);
    hid::CloseIfOpen(parts_.platform, link_.readHandle);
    link_.readHandle = hid::kNoHandle;
  }
  parts_.window.SetConnectionLabel(false);
  parts_.window.SetStatusText(STATUS_PLACEHOLDER);
  parts_.window.SetPositionText("");
  hid::FindTheHid(context);
  if (link_.deviceConnected) RunConnectionSequence();
}

void MainfrmLogic::RunConnectionSequence() {
  hid::LinkContext context = Context();
  parts_.timer.SetEnabled(false);
  parts_.window.AppendLog("  Joystick Communications OK!");
  parts_.window.SelectLastLog();

  protocol::SendCommand(context, settings_, protocol::CMD_QUERY_STATUS);
  for (int reads = 1; protocol::ReceiveReport(context) != 0 && reads < kMaxDrainReads; ++reads) {
  }

  protocol::SendCommand(context, settings_, protocol::CMD_QUERY_STATUS);
  parts_.clock.Sleep(kReplyPauseMs);
  protocol::ReceiveReport(context);
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

  if (!link_.deviceConnected) return;
  hid::LinkContext context = Context();
  parts_.timer.SetEnabled(false);
  parts_.clock.Sleep(kBeforeWriteConfigMs);
  protocol::SendCommand(context, settings_, protocol::CMD_WRITE_CONFIG);
  parts_.clock.Sleep(kAfterWriteConfigMs);
  const settings::SaveResult saved = settings::SaveSettings(settings_, parts_.programFolder);
  if (!saved.saved) parts_.program.ReportSaveFailure(saved);
  parts_.timer.SetEnabled(true);
}

void MainfrmLogic::CloseLink() {
  if (closed_) return;
  closed_ = true;
  hid::LinkContext context = Context();
  parts_.timer.SetEnabled(false);
  parts_.clock.Sleep(kBeforeCloseMs);
  protocol::SendCommand(context, settings_, protocol::CMD_CLOSE);
  parts_.clock.Sleep(kAfterCloseMs);
  hid::CloseIfOpen(parts_.platform, link_.writeHandle);
  hid::CloseIfOpen(parts_.platform, link_.readHandle);
}

void MainfrmLogic::Cmd_Exit_Click() {
  CloseLink();
  parts_.program.EndProgram();
}

void MainfrmLogic::Form_Unload() { CloseLink(); }

void MainfrmLogic::Clear_Click() { parts_.window.ClearLog(); }

}  // namespace trivexa::app
