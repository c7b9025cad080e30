#include <filesystem>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/device_command.h"
#include "cli/interfaces.h"
#include "cli/product_name.h"
#include "cli/report_text.h"
#include "cli/system_facts.h"
#include "hid/system_hid_platform.h"
#include "host/text.h"
#include "host/version.h"
#include "protocol/pauses.h"
#include "settings/file_io.h"
#include "settings/folder_owner_rights.h"

namespace trivexa::cli {
namespace {

// Enough poll cycles to show a reply that comes a tick late, few enough
// that the report is done in a few seconds.
constexpr int kReportPolls = 3;

// What the command says on the error stream goes into the report as well.
class TeeBuffer final : public std::streambuf {
 public:
  TeeBuffer(std::streambuf* first, std::streambuf* second) : first_(first), second_(second) {}

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    first_->sputc(static_cast<char>(c));
    second_->sputc(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    first_->sputn(text, count);
    second_->sputn(text, count);
    return count;
  }
  int sync() override {
    first_->pubsync();
    second_->pubsync();
    return 0;
  }

 private:
  std::streambuf* first_;
  std::streambuf* second_;
};

// A value of a "# key=value" line: quoted, with \" and \\ and the
// terminal escapes inside.
std::string Quoted(const std::string& text) {
  std::string quoted(1, '"');
  quoted += QuotedTerminalText(text);
  quoted += '"';
  return quoted;
}

void AddInterface(std::vector<std::string>& lines, std::size_t index, const InterfaceInfo& info,
                  const hid::InterfaceRecord& record) {
  lines.push_back("#");
  lines.push_back("# list: " + TextLine(info));
  std::string facts = "# interface: path=" + Quoted(info.path);
  if (info.port) facts += " port=" + Quoted(*info.port);
  if (info.productName) facts += " product=" + Quoted(*info.productName);
  if (info.caps) {
    facts += " in=" + std::to_string(info.caps->inputReportByteLength) +
             " out=" + std::to_string(info.caps->outputReportByteLength);
  }
  facts += info.openError ? " opened=no error=" + Quoted(*info.openError) : " opened=yes";
  lines.push_back(std::move(facts));

  lines.push_back("D: " + std::to_string(index));
  // Only text of one line may follow a line's key.
  lines.push_back("N: " +
                  TerminalText(record.name.value_or(info.productName.value_or("HID Device"))));
  const hid::DeviceAttributes ids = info.attributes.value_or(hid::DeviceAttributes{});
  lines.push_back("I: " + HexText(static_cast<std::uint32_t>(record.bus.value_or(3)), 1) + " " +
                  HexText(ids.vendorId, 4) + " " + HexText(ids.productId, 4));
  lines.push_back("P: " + TerminalText(record.phys.value_or("")));
  if (record.descriptor) {
    lines.push_back(DescriptorLine(*record.descriptor));
  } else {
    lines.push_back("# no report descriptor: the system does not give it");
  }
}

struct TranscriptResult {
  int status = kExitOk;
  std::vector<std::string> lines;
};

// One connection sequence and a few poll cycles, as the window runs them,
// then the close command; every call on the joystick's nodes recorded.
TranscriptResult RecordExchange(const Invocation& invocation, Environment& environment,
                                const std::vector<InterfaceInfo>& interfaces) {
  TranscriptResult result;
  std::optional<NumberedJoystick> chosen;
  if (const int refused =
          PrepareDeviceCommand(invocation, environment, RowOf(invocation.kind)->name, chosen)) {
    result.status = refused;
    result.lines.push_back("# transcript: none (see what trivexactl said, below)");
    return result;
  }
  JoystickTarget target(environment.platform, std::move(chosen));
  Transcript transcript(environment.clock);
  RecordingPlatform recording(target, transcript);
  RecordingClock clock(environment.clock, transcript);
  protocol::Session session(recording, clock);

  result.status = ConnectOrReport(session, environment, target);
  if (result.status == kExitOk) {
    for (int poll = 0; poll < kReportPolls && !environment.StopRequested(); ++poll) {
      clock.Sleep(protocol::kPollIntervalMs);
      session.Poll();
    }
    EndSession(session);
    if (environment.StopRequested()) {
      environment.err << "trivexactl: interrupted.\n";
      result.status = kExitInterrupted;
    } else if (!session.LastStatus() || !session.LastPosition()) {
      result.status = NoReply(environment, "no status or position reply from the joystick");
    }
  }

  const std::string& path = session.Link().devicePath;
  std::string heading = "# transcript: the connection sequence and " +
                        std::to_string(kReportPolls) +
                        " poll cycles as the window runs them, then the close command";
  if (session.Link().deviceEverFound) heading += "; joystick path=" + Quoted(path);
  result.lines.push_back("#");
  result.lines.push_back(heading);
  if (session.Link().deviceEverFound) {
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
      if (interfaces[i].path == path) result.lines.push_back("D: " + std::to_string(i));
    }
  }
  for (const std::string& line : transcript.Lines()) result.lines.push_back(line);
  if (session.LastStatus()) {
    result.lines.push_back("# status: " + protocol::ReplyLine(*session.LastStatus()));
  }
  if (session.LastPosition()) {
    result.lines.push_back("# position: " + protocol::ReplyLine(*session.LastPosition()));
  }
  return result;
}

}  // namespace

int RunReport(const Invocation& invocation, Environment& environment) {
  std::vector<std::string> lines = {
      "# Trivexa problem report, made by trivexactl report.",
      "# The lines D: N: I: P: R: E: are a recording in the format of the kernel's HID",
      "# tools (hid-decode, hid-replay); they skip these comment lines.",
      "# version: " + std::string(ProgramVersion()),
      "# platform: " + PlatformText(),
      "# installed: " + InstallationText(),
  };

  const std::vector<InterfaceInfo> interfaces = ProbeInterfaces(environment.platform);
  std::vector<std::string> joystickNodes;
  for (const InterfaceInfo& info : interfaces) {
    if (info.IsJoystick()) joystickNodes.push_back(info.path);
  }
  for (const std::string& fact : hid::SystemAccessFacts(joystickNodes)) {
    lines.push_back("# access: " + TerminalText(fact));
  }
  lines.push_back("# interfaces: " + std::to_string(interfaces.size()) +
                  ", as trivexactl list shows them");
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    AddInterface(lines, i, interfaces[i], environment.platform.Describe(interfaces[i].path));
  }

  std::ostringstream said;
  TeeBuffer tee(environment.err.rdbuf(), said.rdbuf());
  std::ostream teeStream(&tee);
  Environment recorded{environment.platform,
                       environment.clock,
                       environment.out,
                       teeStream,
                       environment.windowRunning,
                       environment.stopRequested,
                       environment.settingsFolder,
                       environment.accessFix,
                       environment.claimJoystick};
  TranscriptResult transcript = RecordExchange(invocation, recorded, interfaces);
  teeStream.flush();
  lines.insert(lines.end(), transcript.lines.begin(), transcript.lines.end());
  lines.push_back("#");
  std::istringstream saidLines(said.str());
  for (std::string line; std::getline(saidLines, line);) lines.push_back("# said: " + line);
  lines.push_back("# exit status: " + std::to_string(transcript.status));

  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  text = WithoutPrivateTexts(std::move(text), ThisUsersPrivateTexts());

  if (!invocation.output) {
    environment.out << text;
    return transcript.status;
  }
  // The name came as UTF-8 on every platform.
  const std::u8string name(invocation.output->begin(), invocation.output->end());
  const std::filesystem::path path(name);
  std::error_code ignored;
  // Under sudo the report is made with the rights of its folder's owner, as
  // the settings file is: in the user's folder it is the user's to edit
  // before sending it on.
  const settings::FolderOwnerRights rights(
      std::filesystem::absolute(settings::FolderOf(path), ignored));
  // Written as the settings file is: a link at the name is not followed
  // (a shared folder's other users could aim it at any file), a FIFO does
  // not hang the command, and a failure keeps the system's reason.
  settings::WriteOutcome outcome = rights.outcome();
  if (outcome.ok()) outcome = settings::ReplaceFileAtomically(path, text);
  if (!outcome.ok()) {
    environment.err << "trivexactl: " << TerminalText(*invocation.output)
                    << ": the report could not be written: " << TerminalText(outcome.reason)
                    << ".\n";
    return kExitOutputFailed;
  }
  return transcript.status;
}

}  // namespace trivexa::cli
