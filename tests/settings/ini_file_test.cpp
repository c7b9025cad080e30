#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/ini_text.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;
using fakes::ReadFile;
using fakes::WriteFile;

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// One key, written the way the settings store writes its four.
bool WriteOne(const fs::path& path, std::string_view section, std::string_view key,
              std::string_view value) {
  const IniEntry entry{key, value};
  return WriteIniValues(path, section, std::span(&entry, 1)).ok();
}

class IniFileTest : public ::testing::Test {
 protected:
  fs::path Ini() const { return dir_.path() / "JOYSTICK.INI"; }

  fakes::TempDir dir_;
};

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
}

TEST_F(IniFileTest, WritingAKeyCreatesThenUpdatesKeepingOtherBytes) {
  const std::string nl(kNewFileLineEnding);
  EXPECT_TRUE(WriteOne(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"));
  EXPECT_TRUE(WriteOne(Ini().string(), "TRIVEXA", "MoveThreshold", "2"));
  EXPECT_TRUE(WriteOne(Ini().string(), "TRIVEXA", "DeadZoneAngle", " 8"));
  EXPECT_EQ(ReadFile(Ini()), "[TRIVEXA]" + nl + "DeadZoneAngle= 8" + nl + "MoveThreshold=2" + nl);
  EXPECT_EQ(ReadIniValue(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5"), "8");

  const std::string handWritten =
      "; kept\r\n[TRIVEXA]\r\nDeadZoneAngle=1\r\n\r\n[OTHER]\r\nA = b\r\nno equals sign";
  WriteFile(Ini(), handWritten);
  EXPECT_TRUE(WriteOne(Ini().string(), "trivexa", "deadzoneangle", " 4"));
  EXPECT_TRUE(WriteOne(Ini().string(), "TRIVEXA", "TimeInterval", " 2"));
  EXPECT_EQ(ReadFile(Ini()),
            "; kept\r\n[TRIVEXA]\r\nDeadZoneAngle= 4\r\nTimeInterval= 2\r\n\r\n[OTHER]\r\nA = b\r\n"
            "no equals sign");
}

TEST_F(IniFileTest, SeveralKeysInOneWriteMatchOneWritePerKey) {
  const std::string handWritten = "[TRIVEXA]\r\nMoveThreshold=4\r\n\r\n[OTHER]\r\nA=b\r\n";
  const IniEntry entries[] = {
      {"DeadZoneAngle", " 8"}, {"MoveThreshold", " 5"}, {"Bad\nKey", "1"}, {"TimeInterval", " 4"}};
  WriteFile(Ini(), handWritten);
  for (const IniEntry& entry : entries) WriteOne(Ini(), "TRIVEXA", entry.key, entry.value);
  const std::string oneByOne = ReadFile(Ini());

  WriteFile(Ini(), handWritten);
  // The key that cannot be stored is reported, and does not stop the others.
  EXPECT_FALSE(WriteIniValues(Ini().string(), "TRIVEXA", entries).ok());
  EXPECT_EQ(ReadFile(Ini()), oneByOne);
  EXPECT_EQ(oneByOne,
            "[TRIVEXA]\r\nMoveThreshold= 5\r\nDeadZoneAngle= 8\r\nTimeInterval= 4\r\n\r\n"
            "[OTHER]\r\nA=b\r\n");
  EXPECT_EQ(NamesIn(dir_.path()), (std::set<std::string>{"JOYSTICK.INI"}));
}

TEST_F(IniFileTest, RepeatedWritesLeaveNoTemporaryFiles) {
  WriteFile(Ini(), "[TRIVEXA]\n");
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(WriteOne(Ini().string(), "TRIVEXA", i % 2 ? "A" : "B", std::to_string(i)));
  }
  EXPECT_EQ(ReadFile(Ini()), "[TRIVEXA]\nB=198\nA=199\n") << "the file's own line ending stays";
  EXPECT_EQ(NamesIn(dir_.path()), std::set<std::string>{"JOYSTICK.INI"});
}

TEST_F(IniFileTest, FailedWritesReturnZeroAndLeaveTheFileAsItWas) {
  const std::string original = "[TRIVEXA]\nDeadZoneAngle=3\n";

  const fs::path noFolder = dir_.path() / "no-folder" / "JOYSTICK.INI";
  EXPECT_FALSE(WriteOne(noFolder.string(), "TRIVEXA", "DeadZoneAngle", "5"));
  EXPECT_FALSE(fs::exists(noFolder.parent_path()));
  EXPECT_FALSE(WriteOne(dir_.path().string(), "TRIVEXA", "DeadZoneAngle", "5"));
  EXPECT_TRUE(fs::is_directory(dir_.path()));
  EXPECT_FALSE(WriteOne("", "TRIVEXA", "DeadZoneAngle", "5"));

  // Texts that would add lines or change a line's meaning are refused.
  WriteFile(Ini(), original);
  EXPECT_FALSE(WriteOne(Ini().string(), "TRIVEXA", "DeadZoneAngle", "5\n[X]"));
  EXPECT_FALSE(WriteOne(Ini().string(), "TRIVEXA", "Dead=Zone", "5"));
  EXPECT_FALSE(WriteOne(Ini().string(), "TRI]VEXA", "DeadZoneAngle", "5"));
  EXPECT_FALSE(WriteOne(Ini().string(), "TRIVEXA", " ;DeadZoneAngle", "5"));
  EXPECT_EQ(ReadFile(Ini()), original);
}

}  // namespace
}  // namespace trivexa::settings
