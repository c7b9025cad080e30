#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/program_folder.h"
#include "settings/settings_store.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// Runs `program` without arguments; its standard output, or nullopt when it
// did not exit with 0.
std::optional<std::string> OutputOf(const fs::path& program) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  std::string output;
  char chunk[256];
  ssize_t got = 0;
  while ((got = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0) {
    output.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return output;
}

TEST(ExecutableFolderTest, IsTheFolderOfTheRunningProgramEvenWhenItsNameIsNoText) {
  EXPECT_EQ(ExecutableFolder(), fs::canonical("/proc/self/exe").parent_path());

  // Bytes that are not UTF-8, as a folder name from another locale can be.
  fakes::TempDir dir;
  const fs::path odd = dir.path() / "caf\xe9 \xff\xfe";
  fs::create_directory(odd);
  fs::copy_file(TRIVEXA_PROGRAM_FOLDER_PROBE, odd / "probe");

  const std::optional<std::string> printed = OutputOf(odd / "probe");
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(*printed, odd.native());

  // The probe's save landed beside it and reads back.
  ASSERT_TRUE(fs::is_regular_file(odd / "JOYSTICK.INI"));
  JoystickSettings loaded{};
  LoadSettings(loaded, [&] { return odd; });
  EXPECT_EQ(loaded, (JoystickSettings{8, 10, 5, 4}));
}

}  // namespace
}  // namespace trivexa::settings
