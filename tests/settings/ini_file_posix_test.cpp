#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "fakes/child_process.h"
#include "fakes/temp_dir.h"
#include "settings/ini_file.h"

// The settings file against POSIX permissions, modes and resource limits.
namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;
using fakes::ReadFile;
using fakes::WriteFile;

using fakes::InChild;
using fakes::InChildWithoutPrivileges;

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

// One key, written the way the settings store writes its four.
bool WriteOne(const fs::path& path, std::string_view section, std::string_view key,
              std::string_view value) {
  const IniEntry entry{key, value};
  return WriteIniValues(path, section, std::span(&entry, 1)).ok();
}

class IniFilePosixTest : public ::testing::Test {
 protected:
  // The child of InChildWithoutPrivileges must be able to reach the folder.
  void SetUp() override { fs::permissions(dir_.path(), fs::perms(0755)); }

  fs::path Ini() const { return dir_.path() / "JOYSTICK.INI"; }

  fakes::TempDir dir_;
};

TEST_F(IniFilePosixTest, AFileThatCannotBeReadGivesTheDefault) {
  WriteFile(Ini(), "[TRIVEXA]\nDeadZoneAngle=3\n");
  fs::permissions(Ini(), fs::perms::none);
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              return ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5") == "5" ? 0 : 1;
            }),
            0);
}

TEST_F(IniFilePosixTest, RepeatedWritesKeepPermissions) {
  WriteFile(Ini(), "[TRIVEXA]\n");
  fs::permissions(Ini(), fs::perms(0640));
  const std::size_t descriptors = fakes::OpenDescriptors();
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(WriteOne(Ini().string(), "TRIVEXA", i % 2 ? "A" : "B", std::to_string(i)));
  }
  EXPECT_EQ(fakes::OpenDescriptors(), descriptors) << "a save leaked a descriptor";
  EXPECT_EQ(ModeOf(Ini()), 0640u);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});

  // A new file gets the usual mode under the umask, not the temporary
  // file's private 0600.
  const fs::path fresh = dir_.path() / "fresh.ini";
  const mode_t previous = ::umask(022);
  EXPECT_TRUE(WriteOne(fresh.string(), "TRIVEXA", "A", "1"));
  ::umask(previous);
  EXPECT_EQ(ModeOf(fresh), 0644u);
}

TEST_F(IniFilePosixTest, WritesWithoutAccessReturnZeroAndLeaveTheFileAsItWas) {
  const std::string original = "[TRIVEXA]\nDeadZoneAngle=3\n";

  // A folder the writer may not write to.
  const fs::path readOnly = dir_.path() / "read-only";
  fs::create_directory(readOnly);
  WriteFile(readOnly / "JOYSTICK.INI", original);
  fs::permissions(readOnly, fs::perms(0555));
  EXPECT_EQ(InChildWithoutPrivileges([&] {
              const std::string path = (readOnly / "JOYSTICK.INI").string();
              return WriteOne(path, "TRIVEXA", "DeadZoneAngle", "5") ? 1 : 0;
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
                return WriteOne(path, "TRIVEXA", "MoveThreshold", "2") ? 1 : 0;
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
TEST_F(IniFilePosixTest, AWriteCutShortLeavesTheOldFileAndNoTemporaryFile) {
  const std::string original = "[TRIVEXA]\nDeadZoneAngle=3\n; " + std::string(8000, 'x') + "\n";
  WriteFile(Ini(), original);
  const int code = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return WriteOne(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5") ? 1 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(Ini()), original);
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});
}

}  // namespace
}  // namespace trivexa::settings
