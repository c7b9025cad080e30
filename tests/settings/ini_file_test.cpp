#include "settings/ini_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/ini_profile.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;
using fakes::ReadFile;
using fakes::WriteFile;

// Runs `work` in a child process and returns its exit code (-1 when it did
// not exit normally).
int InChild(const std::function<int()>& work, bool dropPrivileges = false) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (dropPrivileges && ::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
          ::setresuid(65534, 65534, 65534) != 0) {
        ::_exit(100);
      }
    }
    ::_exit(work());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Tests may run as root, whom permissions do not stop: a root child first
// turns into the unprivileged user 65534.
int InChildWithoutPrivileges(const std::function<int()>& work) { return InChild(work, true); }

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

unsigned ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return static_cast<unsigned>(info.st_mode & 07777);
}

class IniFileTest : public ::testing::Test {
 protected:
  // The child of InChildWithoutPrivileges must be able to reach the folder.
  void SetUp() override { fs::permissions(dir_.path(), fs::perms(0755)); }

  fs::path Ini() const { return dir_.path() / "JOYSTICK.INI"; }

  fakes::TempDir dir_;
};

TEST_F(IniFileTest, FileExistsCountsOnlyNoSuchFileAsMissing) {
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(Ini().string()));
  EXPECT_FALSE(FileExists((dir_.path() / "no-folder" / "JOYSTICK.INI").string()));
  WriteFile(Ini(), "");
  EXPECT_TRUE(FileExists(Ini().string()));
  EXPECT_TRUE(FileExists(dir_.path().string())) << "a folder of that name";
  EXPECT_TRUE(FileExists((Ini() / "below").string())) << "ENOTDIR";

  const fs::path locked = dir_.path() / "locked";
  fs::create_directory(locked);
  WriteFile(locked / "JOYSTICK.INI", "");
  fs::permissions(locked, fs::perms::none);
  const int code = InChildWithoutPrivileges([&] {
    // Both stat calls fail with EACCES.
    const bool present = FileExists((locked / "JOYSTICK.INI").string());
    const bool unknown = FileExists((locked / "none").string());
    return present && unknown ? 0 : 1;
  });
  fs::permissions(locked, fs::perms(0755));
  EXPECT_EQ(code, 0);
}

TEST_F(IniFileTest, ReadIniValueGivesTheStoredValueOrTheDefault) {
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"), "5") << "no file";
  EXPECT_EQ(ReadIniValue("", "TRIVEXA", "DeadZoneAngle", "5"), "5");
  EXPECT_EQ(ReadIniValue(dir_.path().string(), "TRIVEXA", "DeadZoneAngle", "5"), "5") << "a folder";

  WriteFile(Ini(), "[other]\r\nTimeInterval=4\r\n[trivexa]\r\ndeadzoneangle =  3 \r\n");
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"), "3");
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "TimeInterval", "1"), "1");
  EXPECT_EQ(ReadIniValue(Ini().string(), "MISSING", "DeadZoneAngle", "5"), "5");

  const std::string longValue(10000, '7');
  WriteFile(Ini(), "[TRIVEXA]\nDeadZoneAngle=" + longValue + "\n");
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"),
            longValue.substr(0, 8191));

  fs::permissions(Ini(), fs::perms::none);
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              return ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5") == "5" ? 0 : 1;
            }),
            0)
      << "a file that cannot be read";
}

TEST_F(IniFileTest, WriteIniValueCreatesThenUpdatesKeepingOtherBytes) {
  const std::string nl(kNewFileLineEnding);
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"), "1");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "MoveThreshold", "2"), "1");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", " 8"), "1");
  EXPECT_EQ(ReadFile(Ini()), "[TRIVEXA]" + nl + "DeadZoneAngle= 8" + nl + "MoveThreshold=2" + nl);
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"), "8");

  const std::string handWritten =
      "; kept\r\n[TRIVEXA]\r\nDeadZoneAngle=1\r\n\r\n[OTHER]\r\nA = b\r\nno equals sign";
  WriteFile(Ini(), handWritten);
  EXPECT_EQ(WriteIniValue(Ini().string(), "trivexa", "deadzoneangle", " 4"), "1");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "TimeInterval", " 2"), "1");
  EXPECT_EQ(ReadFile(Ini()),
            "; kept\r\n[TRIVEXA]\r\nDeadZoneAngle= 4\r\nTimeInterval= 2\r\n\r\n[OTHER]\r\nA = b\r\n"
            "no equals sign");
}

TEST_F(IniFileTest, SeveralKeysInOneWriteMatchOneWritePerKey) {
  const std::string handWritten = "[TRIVEXA]\r\nMoveThreshold=4\r\n\r\n[OTHER]\r\nA=b\r\n";
  const IniEntry entries[] = {{"DeadZoneAngle", " 8"}, {"MoveThreshold", " 5"}, {"Bad\nKey", "1"},
                              {"TimeInterval", " 4"}};
  WriteFile(Ini(), handWritten);
  for (const IniEntry& entry : entries) WriteIniValue(Ini().string(), "TRIVEXA", entry.key, entry.value);
  const std::string oneByOne = ReadFile(Ini());

  WriteFile(Ini(), handWritten);
  // The key that cannot be stored is reported, and does not stop the others.
  EXPECT_EQ(WriteIniValues(Ini().string(), "TRIVEXA", entries), "0");
  EXPECT_EQ(ReadFile(Ini()), oneByOne);
  EXPECT_EQ(oneByOne,
            "[TRIVEXA]\r\nMoveThreshold= 5\r\nDeadZoneAngle= 8\r\nTimeInterval= 4\r\n\r\n"
            "[OTHER]\r\nA=b\r\n");
  EXPECT_EQ(NamesIn(dir_.path()), (std::set<std::string>{"JOYSTICK.INI"}));
}

TEST_F(IniFileTest, RepeatedWritesLeaveNoTemporaryFilesAndKeepPermissions) {
  WriteFile(Ini(), "[TRIVEXA]\n");
  fs::permissions(Ini(), fs::perms(0640));
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", i % 2 ? "A" : "B", std::to_string(i)), "1");
  }
  EXPECT_EQ(ReadFile(Ini()), "[TRIVEXA]\nB=198\nA=199\n");
  EXPECT_EQ(ModeOf(Ini()), 0640u);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});

  // A new file gets the usual mode under the umask, not the temporary
  // file's private 0600.
  const fs::path fresh = dir_.path() / "fresh.ini";
  const mode_t previous = ::umask(022);
  EXPECT_EQ(WriteIniValue(fresh.string(), "TRIVEXA", "A", "1"), "1");
  ::umask(previous);
  EXPECT_EQ(ModeOf(fresh), 0644u);
}

TEST_F(IniFileTest, FailedWritesReturnZeroAndLeaveTheFileAsItWas) {
  const std::string original = "[TRIVEXA]\nDeadZoneAngle=3\n";

  const fs::path noFolder = dir_.path() / "no-folder" / "JOYSTICK.INI";
  EXPECT_EQ(WriteIniValue(noFolder.string(), "TRIVEXA", "DeadZoneAngle", "5"), "0");
  EXPECT_FALSE(fs::exists(noFolder.parent_path()));
  EXPECT_EQ(WriteIniValue(dir_.path().string(), "TRIVEXA", "DeadZoneAngle", "5"), "0");
  EXPECT_TRUE(fs::is_directory(dir_.path()));
  EXPECT_EQ(WriteIniValue("", "TRIVEXA", "DeadZoneAngle", "5"), "0");

  // Texts that would add lines or change a line's meaning are refused.
  WriteFile(Ini(), original);
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5\n[X]"), "0");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", "Dead=Zone", "5"), "0");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRI]VEXA", "DeadZoneAngle", "5"), "0");
  EXPECT_EQ(WriteIniValue(Ini().string(), "TRIVEXA", " ;DeadZoneAngle", "5"), "0");
  EXPECT_EQ(ReadFile(Ini()), original);

  // A folder the writer may not write to.
  const fs::path readOnly = dir_.path() / "read-only";
  fs::create_directory(readOnly);
  WriteFile(readOnly / "JOYSTICK.INI", original);
  fs::permissions(readOnly, fs::perms(0555));
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              const std::string path = (readOnly / "JOYSTICK.INI").string();
              return WriteIniValue(path, "TRIVEXA", "DeadZoneAngle", "5") == "0" ? 0 : 1;
            }),
            0);
  fs::permissions(readOnly, fs::perms(0755));
  EXPECT_EQ(ReadFile(readOnly / "JOYSTICK.INI"), original);
  EXPECT_EQ(NamesIn(readOnly), std::set<std::string>{"JOYSTICK.INI"});

  // In a folder open to everyone: a file that cannot be read, and one that
  // may be read but not written. Either stays as it is.
  const fs::path open = dir_.path() / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms(0777));
  for (const fs::perms mode : {fs::perms::none, fs::perms(0444)}) {
    WriteFile(open / "JOYSTICK.INI", original);
    fs::permissions(open / "JOYSTICK.INI", mode);
    EXPECT_EQ(InChildWithoutPrivileges([&] {
                const std::string path = (open / "JOYSTICK.INI").string();
                return WriteIniValue(path, "TRIVEXA", "MoveThreshold", "2") == "0" ? 0 : 1;
              }),
              0)
        << "mode " << static_cast<unsigned>(mode);
    fs::permissions(open / "JOYSTICK.INI", fs::perms(0644));
    EXPECT_EQ(ReadFile(open / "JOYSTICK.INI"), original);
    EXPECT_EQ(NamesIn(open), std::set<std::string>{"JOYSTICK.INI"});
  }
}

// A write that fails half-way, as on a full disk: here a file size limit cuts
// the temporary file short.
TEST_F(IniFileTest, AWriteCutShortLeavesTheOldFileAndNoTemporaryFile) {
  const std::string original = "[TRIVEXA]\nDeadZoneAngle=3\n; " + std::string(8000, 'x') + "\n";
  WriteFile(Ini(), original);
  const int code = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return WriteIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5") == "0" ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(Ini()), original);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});
}

}  // namespace
}  // namespace trivexa::settings
