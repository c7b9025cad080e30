#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "fakes/temp_dir.h"

namespace trivexa::settings {
namespace {

// The record the file's defaults give.
constexpr JoystickSettings kDefaults{5, 5, 2, 1};

using fakes::ReadFile;
using fakes::WriteFile;

class SettingsStoreTest : public ::testing::Test {
 protected:
  ProgramFolder Folder() {
    return [this] {
      ++folderQueries_;
      return dir_.path().string();
    };
  }
  std::filesystem::path Ini() const { return dir_.path() / "JOYSTICK.INI"; }
  JoystickSettings LoadFrom(const std::string& content) {
    WriteFile(Ini(), content);
    JoystickSettings settings{};
    LoadSettings(settings, Folder());
    EXPECT_EQ(ReadFile(Ini()), content) << "a present file must never be written at start-up";
    return settings;
  }

  fakes::TempDir dir_;
  int folderQueries_ = 0;
};

TEST_F(SettingsStoreTest, MissingFileIsCreatedWithTheDefaultsInTableOrder) {
  JoystickSettings settings{};
  LoadSettings(settings, Folder());
  EXPECT_EQ(settings, kDefaults);
  EXPECT_EQ(ReadFile(Ini()),
            fakes::NewFileText({"[TRIVEXA]", "DeadZoneAngle=5", "MaximumAngleOffset=5",
                                "MoveThreshold=2", "TimeInterval=1"}));
  // One path for the whole start-up.
  EXPECT_EQ(folderQueries_, 1);
}

TEST_F(SettingsStoreTest, PresentFileIsReadAndNeverRewritten) {
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=8\nMaximumAngleOffset=10\nMoveThreshold=5\n"
                     "TimeInterval=4\n"),
            (JoystickSettings{8, 10, 5, 4}));
  EXPECT_EQ(LoadFrom(""), kDefaults);
  EXPECT_EQ(LoadFrom("[OTHER]\nDeadZoneAngle=1\n"), kDefaults);
  // A lacking key takes its default and stays lacking.
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nMoveThreshold=4\n"), (JoystickSettings{5, 5, 4, 1}));
  // Texts as both writers leave them, and as people type them.
  EXPECT_EQ(LoadFrom("[trivexa]\r\ndeadzoneangle= 3\r\nMaximumAngleOffset=3 degrees\r\n"
                     "MoveThreshold=\r\nTimeInterval=abc\r\n"),
            (JoystickSettings{3, 3, 0, 0}));
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=2.5\nMaximumAngleOffset=3.5\nMoveThreshold=1 2\n"),
            (JoystickSettings{2, 4, 2, 1}));
}

TEST_F(SettingsStoreTest, ValuesThatAreNoEntryOfTheirTableTakeTheKeysDefault) {
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=9\nMaximumAngleOffset=11\nMoveThreshold=6\n"
                     "TimeInterval=5\n"),
            kDefaults);
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=999\nMaximumAngleOffset=-3\nMoveThreshold=1e400\n"
                     "TimeInterval=&HFF\n"),
            (JoystickSettings{5, 5, 1, 0}));
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=256\nMaximumAngleOffset=-0.4\n"),
            (JoystickSettings{5, 0, 2, 1}));
}

TEST_F(SettingsStoreTest, GarbageFilesNeitherCrashNorHangNorGetRewritten) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) & 0xFF);
  EXPECT_EQ(LoadFrom(binary), kDefaults);

  using namespace std::string_literals;
  EXPECT_EQ(LoadFrom("[TRIVEXA]\nDeadZoneAngle=7\0garbage\nTimeInterval=\0"
                     "3\n"s),
            (JoystickSettings{7, 5, 2, 0}));

  // Over the size bound: the defaults, whatever the file holds.
  EXPECT_EQ(
      LoadFrom("[TRIVEXA]\nDeadZoneAngle=" + std::string(10'000'000, '1') + "\nTimeInterval=3\n"),
      kDefaults);
}

TEST_F(SettingsStoreTest, SavedValuesReadBackAndKeepTheRestOfTheFile) {
  WriteFile(Ini(),
            "; tuned by hand\r\n[TRIVEXA]\r\nDeadZoneAngle=5\r\nMaximumAngleOffset=5\r\n"
            "\r\n[Other]\r\nKey=Value\r\n");
  const SaveResult result = SaveSettings({8, 10, 5, 4}, Folder());
  EXPECT_TRUE(result.saved) << result.Describe();
  EXPECT_EQ(result.path, Ini());
  const std::string saved = ReadFile(Ini());
  EXPECT_NE(saved.find("; tuned by hand\r\n[TRIVEXA]\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[Other]\r\nKey=Value\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\n\n"), std::string::npos) << "line endings must stay CRLF: " << saved;

  JoystickSettings loaded{};
  LoadSettings(loaded, Folder());
  EXPECT_EQ(loaded, (JoystickSettings{8, 10, 5, 4}));
  EXPECT_EQ(ReadFile(Ini()), saved);
}

TEST_F(SettingsStoreTest, ASaveThatFailsSaysWhichFileAndWhy) {
  const std::filesystem::path gone = dir_.path() / "gone";
  const SaveResult result = SaveSettings({1, 2, 3, 4}, [&] { return gone; });
  EXPECT_FALSE(std::filesystem::exists(gone));
  EXPECT_FALSE(result.saved);
  EXPECT_FALSE(result.reason.empty());
  EXPECT_EQ(result.Describe(),
            (gone / "JOYSTICK.INI").string() + ": " + result.failedCall + ": " + result.reason);
#ifndef _WIN32
  EXPECT_EQ(result.failedCall, "openat");
  EXPECT_EQ(result.reason, gone.string() + ": " + std::generic_category().message(ENOENT));
#endif

  // A folder where the file should be: the reading step says so.
  std::filesystem::create_directory(Ini());
  EXPECT_EQ(SaveSettings({1, 2, 3, 4}, Folder()).failedCall, "read");
}

TEST_F(SettingsStoreTest, AByteOrderMarkIsReadPastAndKept) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(LoadFrom(bom + "[TRIVEXA]\r\nDeadZoneAngle=3\r\nTimeInterval=4\r\n"),
            (JoystickSettings{3, 5, 2, 4}));
  ASSERT_TRUE(SaveSettings({8, 10, 5, 4}, Folder()).saved);
  const std::string saved = ReadFile(Ini());
  EXPECT_TRUE(saved.starts_with(bom + "[TRIVEXA]\r\n")) << saved;
  EXPECT_EQ(saved.find("[TRIVEXA]"), saved.rfind("[TRIVEXA]")) << "a second section: " << saved;
  JoystickSettings loaded{};
  LoadSettings(loaded, Folder());
  EXPECT_EQ(loaded, (JoystickSettings{8, 10, 5, 4}));
}

TEST_F(SettingsStoreTest, LoadTakesAllFourValuesFromOneVersionOfTheFile) {
  // Another process saves a new record each time the path is formed.
  int version = 0;
  const ProgramFolder savingMeanwhile = [&] {
    ++version;
    const std::string v = std::to_string(version);
    WriteFile(Ini(), "[TRIVEXA]\nDeadZoneAngle=" + v + "\nMaximumAngleOffset=" + v +
                         "\nMoveThreshold=" + v + "\nTimeInterval=" + v + "\n");
    return dir_.path();
  };
  JoystickSettings settings{};
  LoadSettings(settings, savingMeanwhile);
  EXPECT_EQ(settings, (JoystickSettings{1, 1, 1, 1}));
}

TEST_F(SettingsStoreTest, AnUnknownProgramFolderGivesTheDefaultsAndWritesNothing) {
  // Before, the file went to "/JOYSTICK.INI": the root folder, when run as root.
  EXPECT_TRUE(SettingsFilePath([] { return std::filesystem::path(); }).empty());
  JoystickSettings settings{};
  LoadSettings(settings, [] { return std::filesystem::path(); });
  EXPECT_EQ(settings, kDefaults);
  const SaveResult result = SaveSettings({1, 2, 3, 4}, [] { return std::filesystem::path(); });
  EXPECT_FALSE(result.saved) << "a save that wrote nothing is no success";
  EXPECT_NE(result.Describe().find("JOYSTICK.INI: "), std::string::npos) << result.Describe();
}

}  // namespace
}  // namespace trivexa::settings
