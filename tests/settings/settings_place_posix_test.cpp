#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "fakes/child_process.h"
#include "fakes/temp_dir.h"
#include "settings/folder_owner_rights.h"
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

// An installed copy run by root with the HOME of user nobody, as plain sudo
// leaves it, and a folder of root's beside that home.
struct SudoScene {
  SudoScene() {
    fs::permissions(temp.path(), fs::perms(0755));
    fs::create_directories(temp.path() / "usr" / "bin");
    fs::create_directories(temp.path() / "usr" / "share" / "applications");
    fakes::WriteFile(
        temp.path() / "usr" / "share" / "applications" / "io.github.trivexa.Trivexa.desktop", "");
    fs::create_directories(home);
    fs::create_directories(rootOnly);
    EXPECT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  }

  fakes::TempDir temp;
  const fs::path home = temp.path() / "home";
  const fs::path rootOnly = temp.path() / "root-only";
  const fs::path ini = home / ".config" / "trivexa" / "JOYSTICK.INI";
  const ProgramFolder place = [this] {
    return SettingsFolder(temp.path() / "usr" / "bin", [this](const char* name) {
      return std::string(name) == "HOME" ? std::optional(home.string()) : std::nullopt;
    });
  };
};

// Root with a user's HOME, as plain sudo leaves it: nothing of root's is left
// in the user's home, and root writes through none of the user's links.
TEST(SettingsPlacePosixTest, RootWithAUsersHomeLeavesTheHomeAsTheUserWouldAndFollowsNoUserLink) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
  const SudoScene scene;
  const auto& [temp, home, rootOnly, ini, place] = scene;

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
  // user could swap) to a folder of root's: the user may not write there,
  // so nothing is. A file of the user's elsewhere, hard-linked in, is not
  // the user's settings file; one the user may not write stays too.
  const fs::path elsewhere = temp.path() / "elsewhere.ini";
  fakes::WriteFile(elsewhere, "[TRIVEXA]\n");
  ASSERT_EQ(::chown(elsewhere.c_str(), 65534, 65534), 0);
  enum class Kind { kSymlink, kHardLink, kReadOnly };
  struct Planted {
    fs::path link;
    uid_t owner;
    std::string why;
    Kind kind = Kind::kSymlink;
  };
  const std::string denied = std::generic_category().message(EACCES);
  for (const Planted& planted :
       {Planted{ini, 65534, "it has other names too (hard links)", Kind::kHardLink},
        Planted{ini, 65534, denied, Kind::kReadOnly}, Planted{home / ".config", 65534, denied},
        Planted{ini.parent_path(), 65534, denied}, Planted{ini.parent_path(), 0, denied}}) {
    fs::remove_all(home / ".config");
    fs::create_directories(planted.link.parent_path());
    ASSERT_EQ(::chown(planted.link.parent_path().c_str(), 65534, 65534), 0);
    if (planted.kind == Kind::kHardLink) {
      fs::create_hard_link(elsewhere, planted.link);
    } else if (planted.kind == Kind::kReadOnly) {
      fakes::WriteFile(planted.link, "[TRIVEXA]\n");
      fs::permissions(planted.link, fs::perms(0444));
    } else {
      fs::create_symlink(rootOnly, planted.link);
    }
    ASSERT_EQ(::lchown(planted.link.c_str(), planted.owner, planted.owner), 0);
    LoadSettings(settings, place);
    const SaveResult refused = SaveSettings({8, 10, 5, 4}, place);
    EXPECT_FALSE(refused.saved) << planted.link;
    EXPECT_TRUE(refused.reason.ends_with(planted.why)) << refused.Describe();
    EXPECT_TRUE(fs::is_empty(rootOnly)) << planted.link;
  }
  EXPECT_EQ(fakes::ReadFile(elsewhere), "[TRIVEXA]\n");
  // The user's own link is the user's choice when the user saves.
  ASSERT_EQ(::chown(rootOnly.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::lchown(ini.parent_path().c_str(), 65534, 65534), 0);
  EXPECT_EQ(AsNobody([&] { return SaveSettings({1, 2, 3, 4}, place).saved ? 0 : 1; }), 0);
  EXPECT_TRUE(fs::exists(rootOnly / "JOYSTICK.INI"));

  // The home itself a link of the user's to a folder of root's, with
  // nothing made yet: judged by the link, so nothing is made there as root.
  const fs::path rootsOwn = temp.path() / "roots-own";
  fs::create_directory(rootsOwn);
  fs::remove_all(home);
  fs::create_symlink(rootsOwn, home);
  ASSERT_EQ(::lchown(home.c_str(), 65534, 65534), 0);
  LoadSettings(settings, place);
  EXPECT_FALSE(SaveSettings({8, 10, 5, 4}, place).saved);
  EXPECT_TRUE(fs::is_empty(rootsOwn));
}

// Root as `setpriv --bounding-set=-setgid` leaves it: no CAP_SETGID.
bool DropSetGid() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  data[0].effective &= ~(1u << CAP_SETGID);
  data[0].permitted &= ~(1u << CAP_SETGID);
  return ::syscall(SYS_capset, &header, data) == 0;
}

// Root as `unshare -r` leaves it: root in a user namespace of its own, where
// no other user's id is mapped.
bool EnterUserNamespace() {
  if (::unshare(CLONE_NEWUSER) != 0) return false;
  for (const auto& [file, text] : {std::pair{"/proc/self/setgroups", "deny"},
                                   {"/proc/self/uid_map", "0 0 1"},
                                   {"/proc/self/gid_map", "0 0 1"}}) {
    std::FILE* stream = std::fopen(file, "w");
    if (stream == nullptr) return false;
    const bool written = std::fputs(text, stream) >= 0;
    if (std::fclose(stream) != 0 || !written) return false;
  }
  return true;
}

// Root that cannot take the user's rights neither ends nor writes as root
// where its own rights would pass the home's checks: without CAP_SETGID the
// save is refused with the reason. In a user namespace, where the home's
// owner is no id, the kernel checks root's own rights, which then serve.
TEST(SettingsPlacePosixTest, RootThatCannotTakeTheUsersRightsRefusesOrLetsTheKernelJudge) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
  const SudoScene scene;
  const auto& [temp, home, rootOnly, ini, place] = scene;
  EXPECT_EQ(fakes::InChild([&] {
              if (!DropSetGid()) return 2;
              JoystickSettings settings{};
              LoadSettings(settings, place);
              const SaveResult refused = SaveSettings({8, 10, 5, 4}, place);
              return !refused.saved && refused.failedCall == "setgroups" &&
                             refused.reason.starts_with(
                                 "the folder belongs to user 65534, whose "
                                 "rights the program cannot take (") &&
                             FilesystemUser() == 0
                         ? 0
                         : 1;
            }),
            0);
  EXPECT_FALSE(fs::exists(home / ".config"));

  const auto saveInNamespace = [&] {
    return fakes::InChild([&] {
      if (!EnterUserNamespace()) return 2;
      JoystickSettings settings{};
      LoadSettings(settings, place);
      const SaveResult result = SaveSettings({8, 10, 5, 4}, place);
      return result.saved ? 0 : result.failedCall == "mkdir" ? 10 : 1;
    });
  };
  EXPECT_EQ(saveInNamespace(), 10) << "the kernel lets root in the namespace pass";
  fs::permissions(home, fs::perms(0777));
  EXPECT_EQ(saveInNamespace(), 0);
  EXPECT_EQ(Owner(ini).st_uid, 0u);
}

// What of root's lies in `home`: a name root owns, or a file holding `mark`.
std::string RootTrace(const fs::path& home, const std::string& mark) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(home)) {
    const struct stat info = Owner(entry.path());
    if (info.st_uid == 0) return entry.path().string() + " is root's";
    if (S_ISREG(info.st_mode) && fakes::ReadFile(entry.path()).find(mark) != std::string::npos) {
      return entry.path().string() + " holds root's bytes";
    }
  }
  return {};
}

// The user swaps the settings folder with a link to a folder of root's, again
// and again, while root loads and saves for the user: whichever way a save
// meets the names, root's file is never read into the home, nothing of
// root's is left there, and root's folder is never written.
TEST(SettingsPlacePosixTest, RootSavingForAUserWhoSwapsTheFolderForALinkNeverTouchesRootsFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
  const SudoScene scene;
  const auto& [temp, home, rootOnly, ini, place] = scene;
  const std::string mark = "; root's own, never the user's";
  const fs::path secret = rootOnly / "JOYSTICK.INI";
  fakes::WriteFile(secret, "[TRIVEXA]\nDeadZoneAngle=7\n" + mark + "\n");
  fs::permissions(rootOnly, fs::perms(0700));
  JoystickSettings settings{};
  LoadSettings(settings, place);
  const fs::path folder = ini.parent_path();
  const fs::path swap = home / ".config" / "swap";
  fs::create_symlink(rootOnly, swap);
  ASSERT_EQ(::lchown(swap.c_str(), 65534, 65534), 0);

  const pid_t swapper = ::fork();
  if (swapper == 0) {
    ::alarm(60);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(90);
    for (;;) ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE);
  }
  ASSERT_GT(swapper, 0);
  const std::unique_ptr<const pid_t, void (*)(const pid_t*)> stop(&swapper, [](const pid_t* pid) {
    ::kill(*pid, SIGKILL);
    ::waitpid(*pid, nullptr, 0);
  });
  const std::size_t descriptors = fakes::OpenDescriptors();
  int saved = 0;
  for (int i = 0; i < 200; ++i) {
    LoadSettings(settings, place);
    saved += SaveSettings({static_cast<std::uint8_t>(i % 9), 1, 2, 3}, place).saved ? 1 : 0;
    // The home is looked at while the swapper stands still.
    ASSERT_EQ(::kill(swapper, SIGSTOP), 0);
    ASSERT_EQ(::waitpid(swapper, nullptr, WUNTRACED), swapper);
    const std::string trace = RootTrace(home, mark);
    ::kill(swapper, SIGCONT);
    ASSERT_EQ(trace, "") << "after save " << i;
  }
  EXPECT_GT(saved, 0);
  EXPECT_LT(saved, 200) << "no save met the swapped names";
  EXPECT_EQ(fakes::OpenDescriptors(), descriptors);
  EXPECT_EQ(FilesystemUser(), 0u) << "root's own rights did not come back";
  EXPECT_EQ(fakes::ReadFile(secret), "[TRIVEXA]\nDeadZoneAngle=7\n" + mark + "\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(rootOnly), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace trivexa::settings
