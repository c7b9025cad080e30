#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/program_folder.h"
#include "settings/settings_store.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// Runs `program` without arguments; its standard output as UTF-16 code
// units, or nullopt when it did not exit with 0.
std::optional<std::wstring> OutputOf(const fs::path& program, const fs::path& outputFile) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return std::nullopt;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program.native() + L"\"";
  const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, nullptr, &startup, &process);
  CloseHandle(output);
  if (!started) return std::nullopt;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (exitCode != 0) return std::nullopt;
  const std::string bytes = fakes::ReadFile(outputFile);
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  return text;
}

TEST(ExecutableFolderTest, IsTheFolderOfTheRunningProgramWhateverItsName) {
  // Letters outside any single-byte code page: a path handed through the
  // ANSI calls would lose them, and with them every save.
  fakes::TempDir dir;
  const fs::path odd = dir.path() / L"Spiele" / L"Pr\u00fcfstand \u6d4b\u8bd5";
  fs::create_directories(odd);
  fs::copy_file(TRIVEXA_PROGRAM_FOLDER_PROBE, odd / L"probe.exe");

  const std::optional<std::wstring> printed = OutputOf(odd / L"probe.exe", dir.path() / L"out");
  ASSERT_TRUE(printed.has_value());
  EXPECT_EQ(fs::path(*printed), odd);

  // The probe's save landed beside it and reads back.
  ASSERT_TRUE(fs::is_regular_file(odd / L"JOYSTICK.INI"));
  JoystickSettings loaded{};
  LoadSettings(loaded, [&] { return odd; });
  EXPECT_EQ(loaded, (JoystickSettings{8, 10, 5, 4}));
}

}  // namespace
}  // namespace trivexa::settings
