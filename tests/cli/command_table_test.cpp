#include "cli/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace trivexa::cli {
namespace {

std::string FileText(const char* path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// As roff writes a name: every "-" a "\-".
std::string Roff(std::string_view name) {
  return std::regex_replace(std::string(name), std::regex("-"), "\\-");
}

// A regular expression of the name as roff writes it.
std::string RoffPattern(std::string_view name) {
  return std::regex_replace(std::string(name), std::regex("-"), R"(\\-)");
}

// The text of the man page's section `name`, up to the next one.
std::string ManSection(const std::string& page, const std::string& name) {
  const std::size_t start = page.find(".SH " + name + "\n");
  return start == std::string::npos ? ""
                                    : page.substr(start, page.find("\n.SH ", start + 1) - start);
}

// A command or option added to the table without its man page entries or
// its line in the guide is named here, not only by the packaging test.
TEST(CommandLineTest, ManPageAndGuideShowEveryCommandWithItsOptions) {
  const std::string page = FileText(TRIVEXA_MAN_PAGE);
  const std::string guide = FileText(TRIVEXA_CLI_GUIDE);
  const std::string synopsis = ManSection(page, "SYNOPSIS");
  const std::string commands = ManSection(page, "COMMANDS");
  const std::string options = ManSection(page, "OPTIONS");
  ASSERT_FALSE(synopsis.empty() || commands.empty() || options.empty());

  for (const CommandRow& command : kCommands) {
    if (command.help.empty()) continue;  // not listed in --help either
    // Its synopsis: from its line to the next .br, empty when missing.
    const std::size_t start = synopsis.find(".B trivexactl " + Roff(command.name) + "\n");
    EXPECT_NE(start, std::string::npos) << command.name << " is not in the SYNOPSIS";
    const std::string usage = start == std::string::npos
                                  ? ""
                                  : synopsis.substr(start, synopsis.find(".br", start) - start);
    for (const OptionRow& option : kOptions) {
      EXPECT_EQ(
          std::regex_search(usage, std::regex(R"(\\-\\-)" + RoffPattern(option.name) + "[ \n]")),
          Takes(command, option.id) && !usage.empty())
          << command.name << " --" << option.name << " in the SYNOPSIS";
    }
    EXPECT_NE(usage.find(std::regex_replace(std::string(command.operands), std::regex(" "), " | ")),
              std::string::npos)
        << command.name << "'s operands in the SYNOPSIS";
    EXPECT_NE(commands.find(".TP\n.B " + Roff(command.name) + "\n"), std::string::npos)
        << command.name << " is not under COMMANDS";
    EXPECT_TRUE(std::regex_search(
        guide, std::regex("\n    trivexactl " + std::string(command.name) + "[ \n]")))
        << command.name << " is not in docs/trivexactl.md's list";
  }
  for (const OptionRow& option : kOptions) {
    EXPECT_TRUE(std::regex_search(
        options, std::regex(R"(\.TP\n\.BI? \\-\\-)" + RoffPattern(option.name) + "[ \n]")))
        << "--" << option.name << " is not under OPTIONS";
  }
  // And the other way: every command the SYNOPSIS shows is in the table.
  const std::regex shown(R"(\.B trivexactl (\S+)\n)");
  for (std::sregex_iterator it(synopsis.begin(), synopsis.end(), shown), end; it != end; ++it) {
    const std::string name = std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-");
    EXPECT_TRUE(std::any_of(kCommands.begin(), kCommands.end(),
                            [&](const CommandRow& command) { return command.name == name; }))
        << name << " is in the SYNOPSIS but not in the table";
  }
}

}  // namespace
}  // namespace trivexa::cli
