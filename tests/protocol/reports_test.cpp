#include "protocol/reports.h"

#include <gtest/gtest.h>

#include <vector>

namespace trivexa::protocol {
namespace {

std::vector<std::uint8_t> Report(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
                                 std::size_t length = 9) {
  std::vector<std::uint8_t> report(length, 0);
  for (auto [offset, value] : bytes) report[offset] = value;
  return report;
}

TEST(BuildOutputReport, CarriesTheSettingsOnlyForTheWriteCommand) {
  const settings::JoystickSettings settings{8, 10, 5, 4};
  OutputReport expected{};
  expected[1] = CMD_WRITE_CONFIG;
  expected[2] = 8;
  expected[3] = 10;
  expected[4] = 5;
  expected[5] = 4;
  EXPECT_EQ(BuildOutputReport(CMD_WRITE_CONFIG, settings), expected);

  for (std::uint8_t code :
       {CMD_QUERY_STATUS, CMD_QUERY_POSITION, CMD_CLOSE, std::uint8_t{0x3B}, std::uint8_t{0x00}}) {
    OutputReport plain{};
    plain[1] = code;
    EXPECT_EQ(BuildOutputReport(code, settings), plain) << "code " << int{code};
  }
}

TEST(StatusLineFromReport, BuildsTheLineFromTheFragmentsThatExist) {
  EXPECT_EQ(
      StatusLineFromReport(Report({{1, 128}, {2, 127}, {4, 0x5A}, {5, 4}, {6, 5}, {7, 0}, {8, 1}})),
      "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127");
  // Indexes without an entry leave no trace.
  EXPECT_EQ(StatusLineFromReport(Report({{4, 0x5A}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}, {8, 0xFF}})),
            "Current Status:, X= 0,Y= 0");
  EXPECT_EQ(StatusLineFromReport(Report({{4, 0x5A}, {5, 9}})),
            "Current Status:, -5, 1, 10ms, X= 0,Y= 0");
  // The device may report intervals the window cannot choose.
  EXPECT_EQ(StatusLineFromReport(Report({{5, 8}, {6, 10}, {7, 5}, {8, 7}, {1, 255}})),
            "Current Status: 5.0deg, +5, 6, 80ms, X= 255,Y= 0");
  EXPECT_EQ(StatusLineFromReport(Report({{8, 8}})), "Current Status: 1.0deg, -5, 1, X= 0,Y= 0");
}

TEST(PositionLineFromReport, ReadsSignedLittleEndianValues) {
  EXPECT_EQ(PositionLineFromReport(Report({{5, 0xD4}, {6, 0xFE}, {7, 0x19}, {8, 0x00}})),
            " x=-300,y= 25");
  EXPECT_EQ(PositionLineFromReport(Report({{5, 0x00}, {6, 0x80}, {7, 0xFF}, {8, 0x7F}})),
            " x=-32768,y= 32767");
  // X and Y of the report are not part of the position line.
  EXPECT_EQ(PositionLineFromReport(Report({{1, 7}, {2, 9}})), " x= 0,y= 0");
}

// Bytes the device did not send are not zeros: a value whose offset the
// report does not reach is left out, label and all.
TEST(ReplyLines, ShowOnlyWhatTheReportHolds) {
  const std::vector<std::uint8_t> eight{0x00, 0x10, 0x20, 0x00, 0x5A, 4, 5, 0};
  EXPECT_EQ(StatusLineFromReport(eight), "Current Status: 3.0deg, 0, 1, X= 16,Y= 32");
  EXPECT_EQ(PositionLineFromReport(Report({{5, 0xD4}, {6, 0xFE}, {7, 0x19}}, 8)), " x=-300");
  EXPECT_EQ(PositionLineFromReport(Report({{5, 0xD4}, {6, 0xFE}}, 7)), " x=-300");

  const std::vector<std::uint8_t> shortReport{0x00, 0x10, 0x20, 0x00, 0x5A};
  EXPECT_EQ(StatusLineFromReport(shortReport), "Current Status:, X= 16,Y= 32");
  EXPECT_EQ(PositionLineFromReport(shortReport), "");
  EXPECT_EQ(StatusLineFromReport(std::vector<std::uint8_t>{0x00, 0x10}), "Current Status:, X= 16");
}

}  // namespace
}  // namespace trivexa::protocol
