#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <vector>

#include "cli/cli_rig.h"
#include "cli/command_table.h"
#include "cli/exit_codes.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define pipe(ends) _pipe(ends, 4096, _O_BINARY)
#else
#include <unistd.h>
#endif

namespace trivexa::cli {
namespace {

ParsedArguments Parse(std::vector<std::string_view> arguments) { return ParseArguments(arguments); }

TEST(ArgumentsTest, CommandsAndJson) {
  EXPECT_EQ(Parse({"list"}).invocation->kind, CommandKind::kList);
  EXPECT_FALSE(Parse({"list"}).invocation->json);
  EXPECT_TRUE(Parse({"status", "--json"}).invocation->json);
  EXPECT_TRUE(Parse({"--json", "watch"}).invocation->json);  // options may come first
  EXPECT_EQ(Parse({"udev-rule"}).invocation->kind, CommandKind::kUdevRule);
  EXPECT_EQ(Parse({"completion", "zsh"}).invocation->operand, "zsh");
  EXPECT_EQ(Parse({"status", "--help"}).invocation->kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"-h"}).invocation->kind, CommandKind::kHelp);
  EXPECT_EQ(Parse({"--version"}).invocation->kind, CommandKind::kVersion);
  // --device: digits are a number from list, anything else a path as printed.
  EXPECT_FALSE(Parse({"status"}).invocation->device);
  EXPECT_EQ(Parse({"status", "--device", "2"}).invocation->device, DeviceChoice(2u));
  EXPECT_EQ(Parse({"watch", "--device=12"}).invocation->device, DeviceChoice(12u));
  EXPECT_EQ(Parse({"write", "--save", "--device", "/dev/hidraw3"}).invocation->device,
            DeviceChoice("/dev/hidraw3"));
  const std::string_view windowsPath = R"(\\?\hid#vid_0079&pid_0026#7&1a2b&0&0000#{4d1e55b2})";
  EXPECT_EQ(Parse({"status", "--device", windowsPath}).invocation->device,
            DeviceChoice(std::string(windowsPath)));
}

TEST(ArgumentsTest, HelpAndVersionPrintWithoutTouchingTheDevice) {
  for (const std::vector<std::string_view>& arguments :
       {std::vector<std::string_view>{"--help"}, {"-h"}, {"status", "--help"}}) {
    CliRig rig;
    rig.platform.AddJoystick();
    EXPECT_EQ(rig.Run(arguments), kExitOk);
    const std::string help = rig.out.str();
    EXPECT_TRUE(help.starts_with("Usage: trivexactl COMMAND")) << help;
    for (const char* named : {"list", "status", "write", "watch", "udev-rule", "--device N|PATH",
                              "--dead-zone", "--angle-offset", "--threshold", "--interval",
                              "--save", "--json", "Exit status:", "130"}) {
      EXPECT_NE(help.find(named), std::string::npos) << named;
    }
    EXPECT_EQ(rig.err.str(), "");
    EXPECT_EQ(rig.platform.listCalls, 0);
  }
  CliRig rig;
  EXPECT_EQ(rig.Run({"--version"}), kExitOk);
  EXPECT_TRUE(rig.out.str().starts_with("trivexactl ")) << rig.out.str();
  EXPECT_TRUE(rig.out.str().ends_with("\n"));
}

// A reader that stops early (`trivexactl --help | head -3`) took what it
// wanted of the help or the version; any other output cut short is lost.
TEST(ArgumentsTest, AReaderLeavingEarlyFailsOnlyOutputThatIsNotHelp) {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);  // as trivexactl does
#endif
  for (const std::string_view command : {"--help", "help", "--version", "list"}) {
    const bool onlyText = AsksOnlyForText(std::vector{command});
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    std::FILE* file = fdopen(ends[1], "w");
    std::fputs("Usage: trivexactl COMMAND\n", file);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(FinishOutput(kExitOk, out, file, false, err, onlyText),
              command == "list" ? kExitOutputFailed : kExitOk);
    EXPECT_EQ(err.str().empty(), onlyText) << command << err.str();
    std::fclose(file);
  }
}

TEST(ArgumentsTest, WriteTakesValuesAsNextArgumentOrAfterEquals) {
  const auto parsed = Parse({"write", "--dead-zone", "3.5deg", "--angle-offset=+2", "--threshold",
                             "i0", "--interval=20ms", "--save"});
  ASSERT_TRUE(parsed.invocation) << parsed.error;
  const Invocation& invocation = *parsed.invocation;
  EXPECT_EQ(invocation.kind, CommandKind::kWrite);
  EXPECT_EQ(invocation.values[0], 5);
  EXPECT_EQ(invocation.values[1], 7);
  EXPECT_EQ(invocation.values[2], 0);
  EXPECT_EQ(invocation.values[3], 1);
  EXPECT_TRUE(invocation.save);
}

TEST(ArgumentsTest, WriteLeavesValuesNotGivenUnset) {
  const auto parsed = Parse({"write", "--threshold", "3"});
  ASSERT_TRUE(parsed.invocation);
  EXPECT_FALSE(parsed.invocation->values[0]);
  EXPECT_EQ(parsed.invocation->values[2], 2);
  EXPECT_FALSE(parsed.invocation->values[3]);
  EXPECT_FALSE(parsed.invocation->save);
}

TEST(ArgumentsTest, UsageErrorsSayWhat) {
  const auto expectError = [](std::vector<std::string_view> arguments, std::string_view part) {
    const ParsedArguments parsed = ParseArguments(arguments);
    EXPECT_FALSE(parsed.invocation);
    EXPECT_NE(parsed.error.find(part), std::string::npos) << parsed.error;
  };
  expectError({}, "no command");
  expectError({"frobnicate"}, "unknown command 'frobnicate'");
  expectError({"status", "list"}, "unexpected argument 'list'");
  expectError({"status", "--bogus"}, "unknown option '--bogus'");
  expectError({"status", "-x"}, "unknown option '-x'");
  expectError({"status", "-"}, "unknown option '-'");
  expectError({"write"}, "at least one value or --save");
  expectError({"write", "--interval"}, "--interval needs a value: 10ms 20ms");
  expectError({"write", "--interval", "60ms"}, "'60ms' is not a choice");
  expectError({"write", "--interval", "20ms", "--interval", "30ms"}, "--interval given twice");
  expectError({"write", "--save=yes"}, "--save takes no value");
  expectError({"write", "--save", "--json"}, "--json belongs to 'list', 'status' and 'watch'");
  expectError({"status", "--threshold", "3"}, "--threshold belongs to 'write'");
  expectError({"list", "--save"}, "--save belongs to 'write'");
  expectError({"completion"}, "'completion' needs bash, zsh or fish");
  expectError({"completion", "tcsh"}, "'completion' takes bash, zsh or fish, not 'tcsh'");
  expectError({"completion", "bash", "zsh"}, "unexpected argument 'zsh'");
  expectError({"list", "--json", "--json"}, "--json given twice");
  expectError({"status", "--device"}, "--device needs a joystick's number or path");
  expectError({"status", "--device", "--json"}, "--device needs a joystick's number or path");
  expectError({"status", "--device="}, "--device needs a joystick's number or path");
  expectError({"status", "--device", "0"}, "joysticks are numbered from 1");
  expectError({"status", "--device", "99999999999"},
              "99999999999: too large for a joystick's number");
  expectError({"watch", "--device", "1", "--device", "2"}, "--device given twice");
  expectError({"list", "--device", "1"}, "--device belongs to 'status'");

  // The argument it quotes reaches the terminal escaped; the hint stays a
  // line of its own.
  CliRig rig;
  EXPECT_EQ(rig.Run({"status", "--\x1b]2;x\x07"}), kExitUsage);
  EXPECT_EQ(rig.err.str(),
            "trivexactl: unknown option '--\\x1b]2;x\\x07'\nTry 'trivexactl --help'.\n");
}

// Whatever the table says, an option refused by a command names exactly
// the commands that accept it.
TEST(ArgumentsTest, AnOptionRefusedNamesTheCommandsThatTakeIt) {
  for (const OptionRow& option : kOptions) {
    const std::string given =
        "--" + std::string(option.name) + (option.value == ValueKind::kNone ? "" : "=i1");
    std::vector<std::string_view> takers;
    std::vector<std::string> refusals;
    for (const CommandRow& command : kCommands) {
      std::vector<std::string_view> arguments = {command.name, given};
      if (!command.operands.empty()) arguments.push_back(command.operands.substr(0, 4));
      const ParsedArguments parsed = ParseArguments(arguments);
      if (parsed.error.find(given.substr(0, given.find('=')) + " belongs to ") ==
          std::string::npos) {
        takers.push_back(command.name);
      } else {
        refusals.push_back(parsed.error);
      }
    }
    EXPECT_FALSE(takers.empty()) << option.name;
    for (const std::string& refusal : refusals) {
      for (const CommandRow& command : kCommands) {
        const bool takes = std::find(takers.begin(), takers.end(), command.name) != takers.end();
        const std::string quoted = std::string(1, '\'').append(command.name).append(1, '\'');
        EXPECT_EQ(refusal.find(quoted) != std::string::npos, takes) << refusal;
      }
    }
  }
}

}  // namespace
}  // namespace trivexa::cli
