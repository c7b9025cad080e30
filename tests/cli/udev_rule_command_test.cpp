#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/exit_codes.h"
#include "cli_rig.h"

namespace trivexa::cli {
namespace {

#ifdef __linux__
// The rule printed for the user is the one the package installs: the same
// lines apart from comments, so the two never drift apart.
TEST(UdevRuleCommandTest, PrintsThePackagedRule) {
  std::ifstream packaged(TRIVEXA_PACKAGED_UDEV_RULE);
  ASSERT_TRUE(packaged) << TRIVEXA_PACKAGED_UDEV_RULE;
  std::string rules;
  for (std::string line; std::getline(packaged, line);) {
    if (!line.empty() && line.front() != '#') rules += line + "\n";
  }
  ASSERT_FALSE(rules.empty());

  CliRig rig;
  EXPECT_EQ(rig.Run({"udev-rule"}), kExitOk);
  std::istringstream printed(rig.out.str());
  std::string printedRules;
  for (std::string line; std::getline(printed, line);) {
    if (!line.empty() && line.front() != '#') printedRules += line + "\n";
  }
  EXPECT_EQ(printedRules, rules);
  EXPECT_TRUE(rig.platform.opens == 0 && rig.platform.listCalls == 0);
}
#else
TEST(UdevRuleCommandTest, IsRefusedWhereThereIsNoUdev) {
  CliRig rig;
  EXPECT_EQ(rig.Run({"udev-rule"}), kExitUsage);
  EXPECT_NE(rig.err.str().find("Linux only"), std::string::npos);
}
#endif

}  // namespace
}  // namespace trivexa::cli
