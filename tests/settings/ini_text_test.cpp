#include "settings/ini_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace trivexa::settings {
namespace {

using namespace std::string_literals;

std::optional<std::string> Get(std::string_view content, std::string_view key,
                               std::string_view section = "TRIVEXA") {
  return IniLookup(content, section, key);
}

std::string Set(std::string_view content, std::string_view key, std::string_view value,
                std::string_view section = "TRIVEXA") {
  return IniStore(content, section, key, value, "\n");
}

TEST(IniLookupTest, MatchesSectionAndKeyWithoutRegardToCase) {
  const std::string_view text = "[Trivexa]\nDeadZoneAngle=3\nmoveTHRESHOLD=4\n";
  EXPECT_EQ(Get(text, "DEADZONEANGLE", "trivexa"), "3");
  EXPECT_EQ(Get(text, "MoveThreshold"), "4");
  EXPECT_EQ(Get(text, "TimeInterval"), std::nullopt);
  EXPECT_EQ(Get(text, "DeadZoneAngle", "OTHER"), std::nullopt);
  // Only ASCII letters fold: '[' and '{' differ by 0x20 as 'A' and 'a' do.
  EXPECT_EQ(Get("[T]\nA[=1\n", "a{", "t"), std::nullopt);
}

TEST(IniLookupTest, DropsBlanksAroundNamesAndValuesAndOneQuotePair) {
  EXPECT_EQ(Get("  [ TRIVEXA ]  \n \t Key \t=\t 7 \t\n", "Key"), "7");
  EXPECT_EQ(Get("[TRIVEXA]\nKey= 3 degrees \n", "Key"), "3 degrees");
  EXPECT_EQ(Get("[TRIVEXA]\nKey=\n", "Key"), "") << "an empty value is present";
  EXPECT_EQ(Get("[TRIVEXA]\nKey=   \n", "Key"), "");
  EXPECT_EQ(Get("[TRIVEXA]\nKey=a=b\n", "Key"), "a=b") << "only the first '=' splits";
  EXPECT_EQ(Get("[TRIVEXA]\nKey=\" 5 \"\n", "Key"), " 5 ");
  EXPECT_EQ(Get("[TRIVEXA]\nKey='x'\n", "Key"), "x");
  EXPECT_EQ(Get("[TRIVEXA]\nKey=\"x'\n", "Key"), "\"x'") << "unmatched quotes stay";
  EXPECT_EQ(Get("[TRIVEXA]\nKey=\"\n", "Key"), "\"");
  EXPECT_EQ(Get("[TRIVEXA] trailing words\nKey=1\n", "Key"), "1");
  EXPECT_EQ(Get("[TRIVEXA]\nKey=1\n", " Key ", " TRIVEXA "), "1");
}

TEST(IniLookupTest, SkipsCommentsStrayLinesAndKeysOutsideTheSection) {
  EXPECT_EQ(Get("Key=1\n[TRIVEXA]\n", "Key"), std::nullopt) << "keys before any section";
  EXPECT_EQ(Get("[TRIVEXA]\n; Key=1\n  ;Key=2\nKey=3\n", "Key"), "3");
  EXPECT_EQ(Get("[TRIVEXA]\nKey\nKey=4\n", "Key"), "4") << "a line without '='";
  EXPECT_EQ(Get("[OTHER]\nKey=1\n[TRIVEXA]\nX=2\n", "Key"), std::nullopt);
  // A '[' line without ']' opens nothing: the key below stays in TRIVEXA.
  EXPECT_EQ(Get("[TRIVEXA]\n[OTHER\nKey=5\n", "Key"), "5");
  EXPECT_EQ(Get("[TRIVEXA\nKey=5\n", "Key"), std::nullopt);
  EXPECT_EQ(Get("[TRIVEXA]\n[Key=6\n", "[Key"), std::nullopt) << "a '[' line is no key";
}

TEST(IniLookupTest, FirstOfDuplicateSectionsAndKeysWins) {
  EXPECT_EQ(Get("[TRIVEXA]\nKey=1\nkey=2\n", "Key"), "1");
  EXPECT_EQ(Get("[TRIVEXA]\nKey=1\n[trivexa]\nKey=2\n", "Key"), "1");
  EXPECT_EQ(Get("[TRIVEXA]\nA=1\n[TRIVEXA]\nKey=2\n", "Key"), std::nullopt)
      << "a later duplicate section is not read";
}

TEST(IniLookupTest, HandlesEveryLineEnding) {
  EXPECT_EQ(Get("[TRIVEXA]\r\nA=1\r\nKey=2\r\n", "Key"), "2");
  EXPECT_EQ(Get("[TRIVEXA]\rA=1\rKey=2\r", "Key"), "2");
  EXPECT_EQ(Get("[TRIVEXA]\r\nA=1\nKey=2", "Key"), "2") << "mixed, no final ending";
  EXPECT_EQ(Get("[TRIVEXA]\nKey=2\r\r\n", "Key"), "2");
}

TEST(IniStoreTest, ReplacesAValueInPlaceKeepingEveryOtherByte) {
  const std::string crlf =
      "; settings\r\n\r\n[other]\r\nKey=9\r\n\r\n[trivexa]\r\n  deadzoneangle \t= 5 ; x \r\n"
      "Stray line\r\nMoveThreshold=2\r\n\r\n";
  // The key keeps its spelling; everything after the equals sign is the
  // new value exactly as given.
  EXPECT_EQ(Set(crlf, "DeadZoneAngle", " 3"),
            "; settings\r\n\r\n[other]\r\nKey=9\r\n\r\n[trivexa]\r\n  deadzoneangle \t= 3\r\n"
            "Stray line\r\nMoveThreshold=2\r\n\r\n");
  EXPECT_EQ(Set(crlf, "MoveThreshold", "4"),
            "; settings\r\n\r\n[other]\r\nKey=9\r\n\r\n[trivexa]\r\n  deadzoneangle \t= 5 ; x \r\n"
            "Stray line\r\nMoveThreshold=4\r\n\r\n");
  EXPECT_EQ(Set("[TRIVEXA]\nA=1\r\nKey=long value\rB=2", "Key", "7"),
            "[TRIVEXA]\nA=1\r\nKey=7\rB=2");
  EXPECT_EQ(Set("[TRIVEXA]\nKey=1", "Key", "22"), "[TRIVEXA]\nKey=22") << "no final ending";
  EXPECT_EQ(Set("[TRIVEXA]\nKey=\n", "Key", "1"), "[TRIVEXA]\nKey=1\n");
  EXPECT_EQ(Set("[TRIVEXA]\nKey=\"5\"\n", "Key", "6"), "[TRIVEXA]\nKey=6\n");
  EXPECT_EQ(Set("[TRIVEXA]\nKey=5\n", "Key", ""), "[TRIVEXA]\nKey=\n");
}

TEST(IniStoreTest, AppendsAMissingKeyAfterTheLastFilledLineOfItsSection) {
  EXPECT_EQ(Set("[TRIVEXA]\nA=1\n; note\n\n\n[OTHER]\nB=2\n", "Key", "3"),
            "[TRIVEXA]\nA=1\n; note\nKey=3\n\n\n[OTHER]\nB=2\n");
  EXPECT_EQ(Set("[TRIVEXA]\r\nA=1\r\n\r\n", "Key", "3"), "[TRIVEXA]\r\nA=1\r\nKey=3\r\n\r\n");
  EXPECT_EQ(Set("[OTHER]\nX=0\n[TRIVEXA]\n\n[LAST]\n", "Key", "3"),
            "[OTHER]\nX=0\n[TRIVEXA]\nKey=3\n\n[LAST]\n");
  EXPECT_EQ(Set("[TRIVEXA]\nA=1", "Key", "3"), "[TRIVEXA]\nA=1\nKey=3\n")
      << "an ending goes first behind a last line without one";
  EXPECT_EQ(Set("[TRIVEXA]\nA=1\n  ", "Key", "3"), "[TRIVEXA]\nA=1\nKey=3\n  ");
  // The key is added only to the first of duplicate sections, and a
  // duplicate key is not touched.
  EXPECT_EQ(Set("[TRIVEXA]\nA=1\n[TRIVEXA]\nKey=2\n", "Key", "3"),
            "[TRIVEXA]\nA=1\nKey=3\n[TRIVEXA]\nKey=2\n");
  EXPECT_EQ(Set("[TRIVEXA]\nKey=1\nKey=2\n", "key", "3"), "[TRIVEXA]\nKey=3\nKey=2\n");
}

TEST(IniStoreTest, AppendsAMissingSectionAtTheEndOfTheText) {
  EXPECT_EQ(IniStore("", "TRIVEXA", "Key", "5", "\r\n"), "[TRIVEXA]\r\nKey=5\r\n");
  EXPECT_EQ(IniStore("", "TRIVEXA", "Key", "5", "\n"), "[TRIVEXA]\nKey=5\n");
  EXPECT_EQ(IniStore("[OTHER]\r\nA=1\r\n", "TRIVEXA", "Key", "5", "\n"),
            "[OTHER]\r\nA=1\r\n[TRIVEXA]\r\nKey=5\r\n")
      << "the text's own ending beats the one given";
  EXPECT_EQ(IniStore("; first\nA=1\r\n", "TRIVEXA", "Key", "5", "\r\n"),
            "; first\nA=1\r\n[TRIVEXA]\nKey=5\n")
      << "the ending of the first line counts";
  EXPECT_EQ(IniStore("A=1", "TRIVEXA", "Key", "5", "\r\n"), "A=1\r\n[TRIVEXA]\r\nKey=5\r\n");
  EXPECT_EQ(IniStore("[OTHER]\n\n", "TRIVEXA", "Key", "5", "\r\n"),
            "[OTHER]\n\n[TRIVEXA]\nKey=5\n");
  EXPECT_EQ(IniStore("[TRIVEXA\n", "TRIVEXA", "Key", "5", "\n"), "[TRIVEXA\n[TRIVEXA]\nKey=5\n");
}

TEST(IniByteOrderMarkTest, IsNoPartOfTheFirstLineAndStaysInFront) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(Get(bom + "[TRIVEXA]\nKey=3\n", "Key"), "3");
  EXPECT_EQ(Get(bom + "Key=3\n[TRIVEXA]\n", "Key"), std::nullopt) << "still outside any section";
  EXPECT_EQ(Set(bom + "[TRIVEXA]\nKey=3\n", "Key", "4"), bom + "[TRIVEXA]\nKey=4\n");
  EXPECT_EQ(Set(bom + "[TRIVEXA]\nKey=3\n", "New", "4"), bom + "[TRIVEXA]\nKey=3\nNew=4\n");
  EXPECT_EQ(Set(bom, "Key", "4"), bom + "[TRIVEXA]\nKey=4\n");
  // Only at the very start: elsewhere the bytes belong to the text.
  EXPECT_EQ(Get("\n" + bom + "[TRIVEXA]\nKey=3\n", "Key"), std::nullopt);
}

TEST(IniCanStoreTest, RefusesTextsThatWouldChangeTheLineStructure) {
  EXPECT_TRUE(CanStore("TRIVEXA", "DeadZoneAngle", " 5"));
  EXPECT_FALSE(CanStore("TRIVEXA", "DeadZoneAngle", "5\n[X]"));
  EXPECT_FALSE(CanStore("TRIVEXA", "Dead\rZone", "5"));
  EXPECT_FALSE(CanStore("TRI]VEXA", "DeadZoneAngle", "5"));
  EXPECT_FALSE(CanStore("TRIVEXA", "Dead=Zone", "5"));
  EXPECT_FALSE(CanStore("TRIVEXA", " \t;DeadZoneAngle", "5"));
  EXPECT_FALSE(CanStore("TRIVEXA", " [DeadZoneAngle", "5"));
  EXPECT_TRUE(CanStore("TRIVEXA", "Dead;Zone[", "a=b;c"));
}

// Texts no one would write by hand: whatever they hold, a stored value must
// read back, other values must not change, and storing it twice must change
// nothing more.
TEST(IniRobustnessTest, StoredValuesReadBackFromArbitraryBytes) {
  std::mt19937 random(20240611u);
  const std::string alphabet = "[]=; \t\r\n\0aAkKyY"s;
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<std::size_t> length(0, 60);
  std::uniform_int_distribution<int> anyByte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t size = length(random);
    for (std::size_t i = 0; i < size; ++i) {
      text += round % 2 == 0 ? alphabet[pick(random)] : static_cast<char>(anyByte(random));
    }
    const std::optional<std::string> otherBefore = IniLookup(text, "a", "y");
    const std::string once = IniStore(text, "A", "K", "v1");
    ASSERT_EQ(IniLookup(once, "a", "k"), "v1") << testing::PrintToString(text);
    ASSERT_EQ(IniLookup(once, "a", "y"), otherBefore) << testing::PrintToString(text);
    ASSERT_EQ(IniStore(once, "A", "K", "v1"), once) << testing::PrintToString(text);
    const std::string twice = IniStore(once, "A", "K", "value 2");
    ASSERT_EQ(IniLookup(twice, "A", "K"), "value 2") << testing::PrintToString(text);
    ASSERT_EQ(twice.size(), once.size() + 5) << testing::PrintToString(text);
  }
}

TEST(IniRobustnessTest, DegenerateTexts) {
  EXPECT_EQ(Get("\r", "Key"), std::nullopt);
  EXPECT_EQ(Set("\r", "Key", "1"), "\r[TRIVEXA]\rKey=1\r");
  EXPECT_EQ(Get("[", "Key"), std::nullopt);
  EXPECT_EQ(Set("[", "Key", "1"), "[\n[TRIVEXA]\nKey=1\n");
  EXPECT_EQ(Set("]", "Key", "1"), "]\n[TRIVEXA]\nKey=1\n");
  const std::string nuls = "[TRIVEXA]\n\0Key=1\nKey=\0 2\0\n"s;
  EXPECT_EQ(Get(nuls, "Key"), "\0 2\0"s) << "a NUL is an ordinary byte";
  EXPECT_EQ(Set(nuls, "Key", "3"), "[TRIVEXA]\n\0Key=1\nKey=3\n"s);
  EXPECT_EQ(Get("[TRIVEXA]\n\xff\xfe=\x80\n", "\xff\xfe"), "\x80");
}

// Far more than any settings file holds; how the time grows with the size
// is measured in bench/settings_bench.cpp.
constexpr std::size_t kOneMegabyte = 1u << 20;

TEST(IniRobustnessTest, HugeTextsAreReadAndEditedWhole) {
  const std::string oneLine = "[TRIVEXA]\nKey=" + std::string(kOneMegabyte, 'x');
  const std::optional<std::string> found = Get(oneLine, "Key");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size(), kOneMegabyte);
  EXPECT_EQ(Set(oneLine, "Key", "1"), "[TRIVEXA]\nKey=1");

  const std::string blankLines(kOneMegabyte, '\n');
  const std::string manyLines = "[TRIVEXA]\nKey=2\n" + blankLines + "[LAST]\nZ=9\n";
  EXPECT_EQ(Get(manyLines, "Z", "LAST"), "9");
  EXPECT_EQ(Set(manyLines, "Other", "3"),
            "[TRIVEXA]\nKey=2\nOther=3\n" + blankLines + "[LAST]\nZ=9\n");

  std::mt19937 random(7u);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::string garbage(kOneMegabyte, '\0');
  for (char& c : garbage) c = static_cast<char>(anyByte(random));
  const std::string stored = Set(garbage, "Key", "4");
  EXPECT_EQ(Get(stored, "Key"), "4");
  EXPECT_EQ(stored.compare(0, garbage.size(), garbage), 0) << "the new section goes at the end";

  const std::string brackets(kOneMegabyte, '[');
  EXPECT_EQ(Set(brackets, "Key", "5"), brackets + "\n[TRIVEXA]\nKey=5\n");
}

}  // namespace
}  // namespace trivexa::settings
