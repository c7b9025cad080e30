#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "fakes/temp_dir.h"
#include "settings/settings_place.h"
#include "settings/settings_store.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// Runs `body` as the unprivileged user nobody, for whom a read-only folder
// really is read-only; its exit code comes back.
template <typename Body>
int AsNobody(Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(SettingsPlacePosixTest, AnInstalledCopyInAReadOnlyFolderStillKeepsItsSettings) {
  fakes::TempDir temp;
  const fs::path home = temp.path() / "home";
  // An installed copy and a portable one, both in folders their user cannot write.
  const fs::path bin = temp.path() / "usr" / "bin";
  const fs::path portable = temp.path() / "portable" / "bin";
  fs::create_directories(bin);
  fs::create_directories(temp.path() / "usr" / "share" / "applications");
  fakes::WriteFile(
      temp.path() / "usr" / "share" / "applications" / "io.github.trivexa.Trivexa.desktop", "");
  fs::create_directories(portable);
  const Environment env = [&](const char* name) -> std::optional<std::string> {
    if (std::string(name) == "HOME") return home.string();
    return std::nullopt;
  };
  const ProgramFolder installedPlace = [&] { return SettingsFolder(bin, env); };
  const ProgramFolder portablePlace = [&] { return SettingsFolder(portable, env); };

  fs::permissions(temp.path(), fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add);
  fs::permissions(bin, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::permissions(portable,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directories(home);
  if (::getuid() == 0) {
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  }

  const int installed = AsNobody([&] {
    JoystickSettings settings{};
    LoadSettings(settings, installedPlace);
    if (!SaveSettings({8, 10, 5, 4}, installedPlace).saved) return 2;
    settings = {};
    LoadSettings(settings, installedPlace);
    return settings == JoystickSettings{8, 10, 5, 4} ? 0 : 1;
  });
  EXPECT_EQ(installed, 0) << "the saved settings did not come back";
  EXPECT_TRUE(fs::exists(home / ".config" / "trivexa" / "JOYSTICK.INI"));

  // A portable copy stays portable: where it cannot write, its defaults
  // stand, and nothing goes elsewhere.
  const int unpacked = AsNobody([&] {
    JoystickSettings settings{};
    if (SaveSettings({8, 10, 5, 4}, portablePlace).saved) return 2;
    LoadSettings(settings, portablePlace);
    return settings == kDefaultSettings ? 0 : 1;
  });
  EXPECT_EQ(unpacked, 0);
  EXPECT_FALSE(fs::exists(portable / "JOYSTICK.INI"));
}

}  // namespace
}  // namespace trivexa::settings
