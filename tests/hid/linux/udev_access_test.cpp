#include "hid/linux/udev_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "fakes/temp_dir.h"

namespace trivexa::hid {
namespace {

namespace fs = std::filesystem;

TEST(UdevAccessTest, TheShippedRuleFileHoldsExactlyTheRuleTheFixWrites) {
  std::istringstream file(fakes::ReadFile(fs::path(TRIVEXA_SOURCE_DIR) / "packaging" / "udev" /
                                          std::string(kUdevRuleName)));
  std::vector<std::string> rules;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') rules.push_back(line);
  }
  EXPECT_EQ(rules, std::vector<std::string>{std::string(kUdevRule)});
}

class UdevAccessFixTest : public ::testing::Test {
 protected:
  UdevAccessFixTest() {
    fs::create_directories(bin_);
    fs::create_directories(etc_);
    fs::create_directories(lib_);
  }
  std::string Fix() const { return UdevAccessFix(bin_, {etc_, lib_}); }

  fakes::TempDir temp_;
  fs::path bin_ = temp_.path() / "prefix" / "bin";
  fs::path etc_ = temp_.path() / "etc-rules";
  fs::path lib_ = temp_.path() / "lib-rules";
};

TEST_F(UdevAccessFixTest, ARuleUdevAlreadyReadsOnlyNeedsAReload) {
  fakes::WriteFile(lib_ / "70-trivexa.rules", "");
  EXPECT_EQ(Fix(), "the udev rule " + (lib_ / "70-trivexa.rules").string() +
                       " is in place; run sudo udevadm control --reload-rules && "
                       "sudo udevadm trigger --subsystem-match=hidraw, "
                       "or unplug the joystick and plug it in again");
}

TEST_F(UdevAccessFixTest, ARuleInstalledWhereUdevDoesNotLookIsCopiedToEtc) {
  const fs::path shipped = temp_.path() / "prefix" / "lib" / "udev" / "rules.d";
  fs::create_directories(shipped);
  fakes::WriteFile(shipped / "70-trivexa.rules", "");
  fakes::WriteFile(etc_ / "70-other.rules", "");
  EXPECT_EQ(Fix(), "install the udev rule that came with the program: sudo cp " +
                       (shipped / "70-trivexa.rules").string() +
                       " /etc/udev/rules.d/ && sudo udevadm control --reload-rules && "
                       "sudo udevadm trigger --subsystem-match=hidraw");
}

TEST_F(UdevAccessFixTest, WithoutAnyRuleFileTheFixWritesTheRuleItself) {
  fs::create_directory(etc_ / "70-trivexa.rules");  // a folder is no rule
  const std::string fix = Fix();
  EXPECT_EQ(fix, "install the udev rule: echo '" + std::string(kUdevRule) +
                     "' | sudo tee /etc/udev/rules.d/70-trivexa.rules && "
                     "sudo udevadm control --reload-rules && "
                     "sudo udevadm trigger --subsystem-match=hidraw");
  // Safe inside the single quotes of the shell.
  EXPECT_EQ(std::string(kUdevRule).find('\''), std::string::npos);
}

TEST_F(UdevAccessFixTest, AdvicePastedIntoAShellCopiesFromAFolderOfAnyName) {
  const fs::path prefix = temp_.path() / "my apps;touch pwned;#it's";
  const fs::path shipped = prefix / "lib" / "udev" / "rules.d" / "70-trivexa.rules";
  fs::create_directories(prefix / "bin");
  fs::create_directories(shipped.parent_path());
  fakes::WriteFile(shipped, "");
  const std::string fix = UdevAccessFix(prefix / "bin", {etc_, lib_});
  ASSERT_NE(fix.find("sudo cp "), std::string::npos) << fix;

  // Pasted as it is, with a sudo that only notes the words it was given.
  fs::create_directories(temp_.path() / "fake");
  fakes::WriteFile(temp_.path() / "fake" / "sudo", "#!/bin/sh\nprintf '%s\\n' \"$@\" >>words\n");
  fs::permissions(temp_.path() / "fake" / "sudo", fs::perms::owner_all);
  fakes::WriteFile(temp_.path() / "pasted.sh", fix.substr(fix.find("sudo cp ")) + "\n");
  const std::string run = "cd " + temp_.path().string() +
                          " && PATH=" + (temp_.path() / "fake").string() +
                          ":/usr/bin:/bin sh pasted.sh";
  ASSERT_EQ(std::system(run.c_str()), 0) << fix;
  std::istringstream words(fakes::ReadFile(temp_.path() / "words"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(words, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 3u) << fix;
  EXPECT_EQ(lines[0], "cp");
  EXPECT_EQ(lines[1], shipped.string());
  EXPECT_EQ(lines[2], "/etc/udev/rules.d/");
  EXPECT_FALSE(fs::exists(temp_.path() / "pwned"));
}

}  // namespace
}  // namespace trivexa::hid
