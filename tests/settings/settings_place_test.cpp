#include "settings/settings_place.h"

#include <gtest/gtest.h>

#include <map>

#include "fakes/temp_dir.h"
#include "settings/program_folder.h"
#include "settings/settings_store.h"

namespace trivexa::settings {
namespace {

// The record the file's defaults give.
constexpr JoystickSettings kDefaults{5, 5, 2, 1};

namespace fs = std::filesystem;

// A copy of the program laid out under `root`: bin/ alone for a built or
// unpacked copy, with its desktop entry in share/ when installed.
fs::path LayOut(const fs::path& root, bool installed) {
  fs::create_directories(root / "bin");
  if (installed) {
    fs::create_directories(root / "share" / "applications");
    fakes::WriteFile(root / "share" / "applications" / "io.github.trivexa.Trivexa.desktop", "");
  }
  return root / "bin";
}

class SettingsPlaceTest : public ::testing::Test {
 protected:
  Environment Env() {
    return [this](const char* name) -> std::optional<std::string> {
      auto it = env_.find(name);
      if (it == env_.end()) return std::nullopt;
      return it->second;
    };
  }
  ProgramFolder Place(const fs::path& bin) {
    return [this, bin] { return SettingsFolder(bin, Env()); };
  }

  fakes::TempDir temp_;
  std::map<std::string, std::string> env_{{"HOME", (temp_.path() / "home").string()},
                                          {"XDG_CONFIG_HOME", (temp_.path() / "cfg").string()}};
};

TEST_F(SettingsPlaceTest, ABuiltOrUnpackedCopyKeepsItsSettingsBesideItself) {
  const fs::path bin = LayOut(temp_.path() / "unpacked", false);
  EXPECT_FALSE(IsInstalledCopy(bin));
  EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), bin);

  JoystickSettings settings{};
  LoadSettings(settings, Place(bin));
  EXPECT_TRUE(SaveSettings({8, 10, 5, 4}, Place(bin)).saved);
  EXPECT_TRUE(fs::exists(bin / "JOYSTICK.INI"));
  EXPECT_FALSE(fs::exists(temp_.path() / "cfg"));

  // This test program itself runs from the build tree.
  EXPECT_FALSE(IsInstalledCopy(ExecutableFolder()));
  EXPECT_EQ(SettingsFolder().Folder(), ExecutableFolder());
  // A share folder alone, or another program's entry, is not enough.
  fs::create_directories(temp_.path() / "unpacked" / "share" / "applications");
  fakes::WriteFile(temp_.path() / "unpacked" / "share" / "applications" / "other.desktop", "");
  EXPECT_FALSE(IsInstalledCopy(bin));
  EXPECT_FALSE(IsInstalledCopy({}));
}

TEST_F(SettingsPlaceTest, AnInstalledCopyKeepsItsSettingsInTheUsersConfigFolder) {
  // Staged as a package build stages it, with root's rights: still nothing
  // may be written beside the program.
  const fs::path bin = LayOut(temp_.path() / "stage" / "usr", true);
  EXPECT_TRUE(IsInstalledCopy(bin));
  EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), temp_.path() / "cfg" / "trivexa");
  EXPECT_FALSE(fs::exists(temp_.path() / "cfg")) << "made by the load, not by finding the place";

  JoystickSettings settings{};
  LoadSettings(settings, Place(bin));
  EXPECT_EQ(settings, kDefaults);
  EXPECT_TRUE(fs::is_directory(temp_.path() / "cfg" / "trivexa"));
  EXPECT_TRUE(SaveSettings({8, 10, 5, 4}, Place(bin)).saved);
  LoadSettings(settings, Place(bin));
  EXPECT_EQ(settings, (JoystickSettings{8, 10, 5, 4}));
  EXPECT_NE(fakes::ReadFile(temp_.path() / "cfg" / "trivexa" / "JOYSTICK.INI").find("[TRIVEXA]"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(bin / "JOYSTICK.INI"));
}

TEST_F(SettingsPlaceTest,
       WithoutAUsableConfigHomeTheHomeFolderDecidesAndWithoutOneNothingIsWritten) {
  const fs::path bin = LayOut(temp_.path() / "prefix", true);
  const fs::path fromHome = temp_.path() / "home" / ".config" / "trivexa";
  for (const char* unusable : {"", "relative/cfg", "/", "/.", "//", "/./", "/.."}) {
    env_["XDG_CONFIG_HOME"] = unusable;
    EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), fromHome) << '"' << unusable << '"';
  }
  env_.erase("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), fromHome);
  env_["HOME"] = (temp_.path() / "." / "home" / "").string();
  EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), fromHome);

  for (const char* unusable : {"", "home", "/", "/.", "//", "/./", "/home/.."}) {
    env_["HOME"] = unusable;
    EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), fs::path()) << '"' << unusable << '"';
  }
  env_.erase("HOME");
  EXPECT_EQ(SettingsFolder(bin, Env()).Folder(), fs::path());
  JoystickSettings settings{};
  LoadSettings(settings, Place(bin));
  EXPECT_FALSE(SaveSettings({8, 10, 5, 4}, Place(bin)).saved);
  EXPECT_EQ(settings, kDefaults);
  EXPECT_FALSE(fs::exists(bin / "JOYSTICK.INI"));
  EXPECT_FALSE(fs::exists(temp_.path() / "prefix" / "JOYSTICK.INI"));
}

}  // namespace
}  // namespace trivexa::settings
