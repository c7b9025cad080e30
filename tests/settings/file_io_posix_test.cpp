// The settings file as a hostile folder can present it: links, FIFOs,
// endless and huge files, odd modes and owners, leftovers of killed saves.
// Several cases need root (as in CI) and drop to user 65534 for the other
// side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "fakes/child_process.h"
#include "fakes/temp_dir.h"
#include "settings/file_io.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

namespace {
int umaskCalls = 0;
}  // namespace

// Counts the process's umask calls. The umask can only be read by setting
// it, which changes it for a moment under every other thread (Qt's too).
extern "C" mode_t umask(mode_t mask) noexcept {
  ++umaskCalls;
  return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace trivexa::settings {
namespace {

// The record the file's defaults give.
constexpr JoystickSettings kDefaults{5, 5, 2, 1};

namespace fs = std::filesystem;
using fakes::InChild;
using fakes::InChildWithoutPrivileges;
using fakes::ReadFile;
using fakes::WriteFile;

constexpr uid_t kNobody = 65534;
const std::string kStored =
    "[TRIVEXA]\nDeadZoneAngle=8\nMaximumAngleOffset=10\nMoveThreshold=5\nTimeInterval=4\n";

struct stat LinkStat(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A process id that no process has any more.
pid_t EndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  // Open to everyone, as a download folder or /tmp can be.
  void SetUp() override { fs::permissions(dir_.path(), fs::perms(0777)); }

  fs::path Ini() const { return dir_.path() / "JOYSTICK.INI"; }
  ProgramFolder Folder() const {
    return [this] { return dir_.path(); };
  }
  JoystickSettings Load() const {
    JoystickSettings settings{};
    LoadSettings(settings, Folder());
    return settings;
  }
  bool Save(const JoystickSettings& settings) const {
    const std::string texts[] = {
        std::to_string(settings.deadZoneIndex), std::to_string(settings.angleOffsetIndex),
        std::to_string(settings.moveThresholdIndex), std::to_string(settings.intervalIndex)};
    const IniEntry entries[] = {{"DeadZoneAngle", texts[0]},
                                {"MaximumAngleOffset", texts[1]},
                                {"MoveThreshold", texts[2]},
                                {"TimeInterval", texts[3]}};
    return WriteIniValues(Ini(), "TRIVEXA", entries).ok();
  }
  static void SkipUnlessRoot() {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, as in CI";
  }

  fakes::TempDir dir_;
};

TEST_F(SettingsFileTest, ALinkIsNeitherFollowedNorReplacedNorCreatedThrough) {
  // A root-only file that a link in the folder points at.
  const fs::path secret = dir_.path() / "secret";
  WriteFile(secret, kStored);
  fs::permissions(secret, fs::perms(0600));
  fs::create_symlink(secret, Ini());

  EXPECT_EQ(Load(), kDefaults) << "read through the link";
  const SaveResult refused = SaveSettings({1, 2, 3, 4}, Folder());
  EXPECT_FALSE(refused.saved);
  EXPECT_EQ(refused.reason, "it is a symbolic link");
  EXPECT_FALSE(Save({1, 2, 3, 4}));
  EXPECT_TRUE(fs::is_symlink(Ini()));
  EXPECT_EQ(fs::read_symlink(Ini()), secret);
  EXPECT_EQ(ReadFile(secret), kStored);
  EXPECT_EQ(LinkStat(secret).st_mode & 07777, 0600u);

  // A dangling link: start-up creates nothing at its target.
  const fs::path target = dir_.path() / "planted";
  fs::remove(Ini());
  fs::create_symlink(target, Ini());
  EXPECT_EQ(Load(), kDefaults);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(fs::is_symlink(Ini()));

  // A link to an endless device reads as no usable file, at once.
  fs::remove(Ini());
  fs::create_symlink("/dev/zero", Ini());
  std::string content;
  EXPECT_EQ(ReadRegularFile(Ini(), content), FileRead::kUnusable);
  EXPECT_EQ(Load(), kDefaults);
}

TEST_F(SettingsFileTest, AFifoNeitherHangsStartUpNorGetsReplaced) {
  ASSERT_EQ(::mkfifo(Ini().c_str(), 0666), 0);
  // Opening a FIFO for reading waits for a writer: a hang ends in the alarm.
  EXPECT_EQ(InChild([&] { return Load() == kDefaults ? 0 : 1; }, false, 10), 0);
  EXPECT_EQ(InChild([&] { return Save({1, 2, 3, 4}) ? 1 : 0; }, false, 10), 0);
  EXPECT_TRUE(S_ISFIFO(LinkStat(Ini()).st_mode));
}

TEST_F(SettingsFileTest, FilesOverTheSizeBoundReadAsDefaultsAndAreNeverRewritten) {
  // At the bound the file is read; one byte more and it is not.
  std::string atBound = kStored + ";";
  atBound.resize(kMaxSettingsFileBytes, 'x');
  WriteFile(Ini(), atBound);
  EXPECT_EQ(Load(), (JoystickSettings{8, 10, 5, 4}));

  WriteFile(Ini(), atBound + "x");
  EXPECT_EQ(Load(), kDefaults);
  EXPECT_FALSE(Save({1, 2, 3, 4})) << "a save would cut the user's data";
  EXPECT_EQ(ReadFile(Ini()), atBound + "x");

  // A sparse file of 8 GiB: nothing is read, nothing written.
  const int fd = ::open(Ini().c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{8} << 30), 0);
  ::close(fd);
  EXPECT_EQ(Load(), kDefaults);
  EXPECT_FALSE(Save({1, 2, 3, 4}));
  EXPECT_EQ(fs::file_size(Ini()), std::uintmax_t{8} << 30);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});
}

TEST_F(SettingsFileTest, ASavedFileIsPlainDataWhateverModeTheOldOneHad) {
  for (const unsigned oldMode : {04755u, 07777u, 02640u, 0600u}) {
    WriteFile(Ini(), kStored);
    ASSERT_EQ(::chmod(Ini().c_str(), oldMode), 0);
    ASSERT_TRUE(Save({1, 2, 3, 4}));
    EXPECT_EQ(LinkStat(Ini()).st_mode & 07777, oldMode & 0666) << std::oct << oldMode;
  }
  // A new file: 0666 less the umask.
  fs::remove(Ini());
  EXPECT_EQ(InChild([&] {
              ::umask(027);
              return Save({1, 2, 3, 4}) && (LinkStat(Ini()).st_mode & 07777) == 0640 ? 0 : 1;
            }),
            0);
}

TEST_F(SettingsFileTest, ASaveNeverChangesTheUmask) {
  umaskCalls = 0;
  ASSERT_TRUE(Save({1, 2, 3, 4}));  // a new file
  ASSERT_TRUE(Save({4, 3, 2, 1}));  // a replaced one
  EXPECT_EQ(umaskCalls, 0);
}

TEST_F(SettingsFileTest, ARootSaveKeepsTheUsersOwnershipSoTheUserCanStillSave) {
  SkipUnlessRoot();
  WriteFile(Ini(), kStored);
  ASSERT_EQ(::chown(Ini().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(Ini().c_str(), 0644), 0);

  ASSERT_TRUE(Save({1, 2, 3, 4}));
  EXPECT_EQ(LinkStat(Ini()).st_uid, kNobody);
  EXPECT_EQ(LinkStat(Ini()).st_gid, kNobody);
  EXPECT_EQ(InChildWithoutPrivileges([&] { return Save({4, 3, 2, 1}) ? 0 : 1; }), 0);
  EXPECT_EQ(Load(), (JoystickSettings{4, 3, 2, 1}));

  // A new file belongs to the process that made it.
  fs::remove(Ini());
  ASSERT_TRUE(Save({1, 2, 3, 4}));
  EXPECT_EQ(LinkStat(Ini()).st_uid, 0u);
}

TEST_F(SettingsFileTest, AFailedSaveKeepsTheFileAndNamesTheCallAndTheSystemsReason) {
  WriteFile(Ini(), kStored);
  // A full disk, as the file size limit makes one: the write fails.
  EXPECT_EQ(InChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{16, 16};
              ::setrlimit(RLIMIT_FSIZE, &limit);
              const SaveResult result = SaveSettings({1, 2, 3, 4}, Folder());
              return !result.saved && result.failedCall == "write" &&
                             result.reason == std::generic_category().message(EFBIG)
                         ? 0
                         : 1;
            }),
            0);
  // A folder and file this user may not write.
  SkipUnlessRoot();
  fs::permissions(dir_.path(), fs::perms(0755));
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              const SaveResult result = SaveSettings({1, 2, 3, 4}, Folder());
              return result.Describe() ==
                             Ini().string() + ": access: " + std::generic_category().message(EACCES)
                         ? 0
                         : 1;
            }),
            0);
  // A folder of the place this user may not make: the mkdir and its
  // reason, not the missing folder it leaves.
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              const SaveResult result =
                  SaveSettings({1, 2, 3, 4}, [&] { return SettingsPlace(dir_.path(), "trivexa"); });
              return result.failedCall + ": " + result.reason ==
                             "mkdir: " + (dir_.path() / "trivexa").string() + ": " +
                                 std::generic_category().message(EACCES)
                         ? 0
                         : 1;
            }),
            0);
  fs::remove(Ini());
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              return SaveSettings({1, 2, 3, 4}, Folder()).failedCall == "open" ? 0 : 1;
            }),
            0);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{});
}

TEST_F(SettingsFileTest, ABareFileNameIsReplacedInTheCurrentFolder) {
  EXPECT_EQ(InChild([&] {
              if (::chdir(dir_.path().c_str()) != 0) return 2;
              return ReplaceFileAtomically("JOYSTICK.INI", kStored).ok() &&
                             ReplaceFileAtomically("JOYSTICK.INI", "[TRIVEXA]\n").ok()
                         ? 0
                         : 1;
            }),
            0);
  EXPECT_EQ(ReadFile(Ini()), "[TRIVEXA]\n");
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});
}

TEST_F(SettingsFileTest, TheNextSaveRemovesWhatAKilledSaveLeftAndNothingElse) {
  WriteFile(Ini(), kStored + "; " + std::string(8000, 'x') + "\n");
  // A save killed half-way: the file size limit's signal ends the process
  // while it writes its temporary file.
  EXPECT_EQ(InChild([&] {
              const rlimit noCore{0, 0};
              const rlimit limit{4096, 4096};
              ::setrlimit(RLIMIT_CORE, &noCore);
              ::setrlimit(RLIMIT_FSIZE, &limit);
              Save({1, 2, 3, 4});
              return 0;
            }),
            -1);
  ASSERT_EQ(NamesIn(dir_.path()).size(), 2u) << "the killed save's temporary file";

  const std::string ours = ".JOYSTICK.INI.trivexa-save." + std::to_string(EndedProcess());
  // Not ours: another program's name, a running writer, a link, a wrong
  // shape of name.
  const std::set<std::string> kept = {
      "JOYSTICK.INI",   ".JOYSTICK.INI.tmp", ".JOYSTICK.INI.trivexa-save.1.abcdef",
      ours + ".link00", ours + ".abc",       ".OTHER.INI.trivexa-save.1.abcdef"};
  for (const std::string& name : kept) {
    if (name == "JOYSTICK.INI") continue;
    if (name.ends_with(".link00")) {
      fs::create_symlink("JOYSTICK.INI", dir_.path() / name);
    } else {
      WriteFile(dir_.path() / name, "");
    }
  }
  WriteFile(dir_.path() / (ours + ".abcdef"), "");
  if (::geteuid() == 0) {
    // Another user's leftover is not this user's to remove.
    const std::string others = ours + ".nobody";
    WriteFile(dir_.path() / others, "");
    ASSERT_EQ(::chown((dir_.path() / others).c_str(), kNobody, kNobody), 0);
    std::set<std::string> expected = kept;
    expected.insert(others);
    ASSERT_TRUE(Save({1, 2, 3, 4}));
    EXPECT_EQ(NamesIn(dir_.path()), expected);
  } else {
    ASSERT_TRUE(Save({1, 2, 3, 4}));
    EXPECT_EQ(NamesIn(dir_.path()), kept);
  }
  EXPECT_EQ(Load(), (JoystickSettings{1, 2, 3, 4}));
}

}  // namespace
}  // namespace trivexa::settings
