#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "fakes/temp_dir.h"
#include "settings/settings_place.h"
#include "settings/settings_store.h"

namespace trivexa::settings {
namespace {

// The record the file's defaults give.
constexpr JoystickSettings kDefaults{5, 5, 2, 1};

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
    return settings == kDefaults ? 0 : 1;
  });
  EXPECT_EQ(unpacked, 0);
  EXPECT_FALSE(fs::exists(portable / "JOYSTICK.INI"));
}

struct stat Owner(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// Root with a user's HOME, as plain sudo leaves it: nothing of root's is left
// in the user's home, and root writes through none of the user's links.
TEST(SettingsPlacePosixTest, RootWithAUsersHomeLeavesTheHomeAsTheUserWouldAndFollowsNoUserLink) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
  fakes::TempDir temp;
  fs::permissions(temp.path(), fs::perms(0755));
  const fs::path bin = temp.path() / "usr" / "bin";
  fs::create_directories(bin);
  fs::create_directories(temp.path() / "usr" / "share" / "applications");
  fakes::WriteFile(
      temp.path() / "usr" / "share" / "applications" / "io.github.trivexa.Trivexa.desktop", "");
  const fs::path home = temp.path() / "home";
  const fs::path rootOnly = temp.path() / "root-only";
  fs::create_directories(home);
  fs::create_directories(rootOnly);
  ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  const Environment env = [&](const char* name) -> std::optional<std::string> {
    if (std::string(name) == "HOME") return home.string();
    return std::nullopt;
  };
  const ProgramFolder place = [&] { return SettingsFolder(bin, env); };
  const fs::path ini = home / ".config" / "trivexa" / "JOYSTICK.INI";

  JoystickSettings settings{};
  LoadSettings(settings, place);
  ASSERT_TRUE(SaveSettings({8, 10, 5, 4}, place).saved);
  for (const fs::path& made : {home / ".config", ini.parent_path(), ini}) {
    EXPECT_EQ(Owner(made).st_uid, 65534u) << made;
    EXPECT_EQ(Owner(made).st_gid, 65534u) << made;
  }
  // The user can still save, and make other programs' folders.
  EXPECT_EQ(AsNobody([&] {
              if (!SaveSettings({1, 2, 3, 4}, place).saved) return 1;
              return ::mkdir((home / ".config" / "other").c_str(), 0700) == 0 ? 0 : 2;
            }),
            0);

  // Links of the user's (and one of root's in the user's folder, which the
  // user could swap) to a folder of root's: nothing is written there.
  struct Planted {
    fs::path link;
    uid_t owner;
  };
  for (const Planted& planted :
       {Planted{home / ".config", 65534}, Planted{ini.parent_path(), 65534},
        Planted{ini.parent_path(), 0}}) {
    fs::remove_all(home / ".config");
    fs::create_directories(planted.link.parent_path());
    ASSERT_EQ(::chown(planted.link.parent_path().c_str(), 65534, 65534), 0);
    fs::create_symlink(rootOnly, planted.link);
    ASSERT_EQ(::lchown(planted.link.c_str(), planted.owner, planted.owner), 0);
    LoadSettings(settings, place);
    const SaveResult refused = SaveSettings({8, 10, 5, 4}, place);
    EXPECT_FALSE(refused.saved) << planted.link;
    EXPECT_NE(refused.reason.find("symbolic link"), std::string::npos) << refused.Describe();
    EXPECT_TRUE(fs::is_empty(rootOnly)) << planted.link;
  }
  // The user's own link is the user's choice when the user saves.
  ASSERT_EQ(::chown(rootOnly.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::lchown(ini.parent_path().c_str(), 65534, 65534), 0);
  EXPECT_EQ(AsNobody([&] { return SaveSettings({1, 2, 3, 4}, place).saved ? 0 : 1; }), 0);
  EXPECT_TRUE(fs::exists(rootOnly / "JOYSTICK.INI"));
}

}  // namespace
}  // namespace trivexa::settings
