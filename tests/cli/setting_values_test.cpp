#include "cli/setting_values.h"

#include <gtest/gtest.h>

#include <string>

namespace trivexa::cli {
namespace {

constexpr std::size_t kDeadZone = 0, kAngleOffset = 1, kThreshold = 2, kInterval = 3;

TEST(SettingValuesTest, EveryListTextSelectsItsOwnIndex) {
  for (std::size_t field = 0; field < settings::kSettingFields.size(); ++field) {
    const auto choices = settings::kSettingFields[field].choices;
    for (std::size_t i = 0; i < choices.size(); ++i) {
      // As the list shows it (leading blank) and as one types it.
      EXPECT_EQ(ParseSettingValue(field, choices[i]).index, i) << choices[i];
      EXPECT_EQ(ParseSettingValue(field, choices[i].substr(1)).index, i) << choices[i];
    }
  }
}

TEST(SettingValuesTest, BareNumbersAreTextsNotIndexes) {
  // The threshold's "3" is the entry " 3" (index 2), not index 3 (" 4").
  EXPECT_EQ(ParseSettingValue(kThreshold, "3").index, 2);
  // The angle offset's "0" is " 0" (index 5), not index 0 (" -5").
  EXPECT_EQ(ParseSettingValue(kAngleOffset, "0").index, 5);
  // Without its unit or sign a number names no entry.
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "3").index);
  EXPECT_FALSE(ParseSettingValue(kInterval, "20").index);
  EXPECT_FALSE(ParseSettingValue(kAngleOffset, "2").index);
}

TEST(SettingValuesTest, IndexesAreWrittenIOrHashAndRefusedOutsideTheList) {
  // "i5" passes through cmd.exe, PowerShell and POSIX shells unquoted; "#5"
  // stays for scripts that use it.
  for (const std::string prefix : {"i", "I", "#"}) {
    SCOPED_TRACE(prefix);
    EXPECT_EQ(ParseSettingValue(kDeadZone, prefix + "0").index, 0);
    EXPECT_EQ(ParseSettingValue(kDeadZone, prefix + "8").index, 8);
    EXPECT_EQ(ParseSettingValue(kThreshold, prefix + "3").index, 3);
    EXPECT_EQ(ParseSettingValue(kAngleOffset, " " + prefix + "10 ").index, 10);
    EXPECT_FALSE(ParseSettingValue(kDeadZone, prefix + "9").index);
    // 60ms: the window offers no such entry.
    EXPECT_FALSE(ParseSettingValue(kInterval, prefix + "5").index);
    for (const char* bad : {"", "-1", "+1", "1x", " 1", "256", "99999999999999999999"}) {
      EXPECT_FALSE(ParseSettingValue(kDeadZone, prefix + bad).index) << prefix + bad;
    }
  }
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "x5").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "index5").index);
}

TEST(SettingValuesTest, CaseOfUnitsDoesNotMatterButEverythingElseDoes) {
  EXPECT_EQ(ParseSettingValue(kDeadZone, "3.5DEG").index, 5);
  EXPECT_EQ(ParseSettingValue(kInterval, "20MS").index, 1);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "3.5 deg").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "3.50deg").index);
  EXPECT_FALSE(ParseSettingValue(kAngleOffset, "+0").index);
  EXPECT_FALSE(ParseSettingValue(kThreshold, "").index);
  EXPECT_FALSE(ParseSettingValue(kThreshold, "   ").index);
}

TEST(SettingValuesTest, RefusalListsTheValidChoices) {
  const ParsedValue value = ParseSettingValue(kAngleOffset, "+7");
  EXPECT_EQ(value.error,
            "--angle-offset: '+7' is not a choice; choose one of -5 -4 -3 -2 -1 0 +1 +2 +3 +4 +5, "
            "or i0 to i10");
}

TEST(SettingValuesTest, ReportedTextFollowsTheStatusLineTables) {
  EXPECT_EQ(ReportedText(kDeadZone, 4), "3.0deg");
  EXPECT_EQ(ReportedText(kAngleOffset, 5), "0");
  EXPECT_EQ(ReportedText(kAngleOffset, 6), "+1");
  EXPECT_EQ(ReportedText(kThreshold, 0), "1");
  // The device can report intervals the window cannot choose.
  EXPECT_EQ(ReportedText(kInterval, 7), "80ms");
  EXPECT_FALSE(ReportedText(kInterval, 8));
  EXPECT_FALSE(ReportedText(kDeadZone, 9));
  EXPECT_FALSE(ReportedText(kThreshold, 255));
}

}  // namespace
}  // namespace trivexa::cli
