#include "cli/setting_values.h"

#include <gtest/gtest.h>

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

TEST(SettingValuesTest, IndexesAreWrittenWithHash) {
  EXPECT_EQ(ParseSettingValue(kDeadZone, "#0").index, 0);
  EXPECT_EQ(ParseSettingValue(kDeadZone, "#8").index, 8);
  EXPECT_EQ(ParseSettingValue(kThreshold, "#3").index, 3);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#9").index);
  EXPECT_FALSE(ParseSettingValue(kInterval, "#5").index);  // 60ms: the window offers no such entry
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#-1").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#1x").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#256").index);
  EXPECT_FALSE(ParseSettingValue(kDeadZone, "#99999999999999999999").index);
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
            "or #0 to #10");
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
