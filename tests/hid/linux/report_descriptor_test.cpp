#include "hid/linux/report_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace trivexa::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A joystick: five 8-bit axes, a 4-bit hat, twelve buttons and eight vendor
// bits in (8 bytes), a 7-byte vendor output report; no report IDs.
const Bytes kJoystick = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0xA1, 0x02,              // Joystick, two collections
    0x75, 0x08, 0x95, 0x05, 0x15, 0x00, 0x26, 0xFF, 0x00,        // 5 x 8 bits, 0..255
    0x35, 0x00, 0x46, 0xFF, 0x00,                                // physical 0..255
    0x09, 0x30, 0x09, 0x31, 0x09, 0x32, 0x09, 0x32, 0x09, 0x35,  // X, Y, Z, Z, Rz
    0x81, 0x02,                                                  // Input: 40 bits
    0x75, 0x04, 0x95, 0x01, 0x25, 0x07, 0x46, 0x3B, 0x01,        // 1 x 4 bits, 0..7, 0..315
    0x65, 0x14, 0x09, 0x39, 0x81, 0x42,                          // degrees, hat: 4 bits, null
    0x65, 0x00, 0x75, 0x01, 0x95, 0x0C, 0x25, 0x01, 0x45, 0x01,  // no unit, 12 x 1 bit
    0x05, 0x09, 0x19, 0x01, 0x29, 0x0C, 0x81, 0x02,              // buttons 1-12: 12 bits
    0x06, 0x00, 0xFF, 0x75, 0x01, 0x95, 0x08, 0x09, 0x01,        // vendor page, 8 x 1 bit
    0x81, 0x02, 0xC0,                                            // Input: 8 bits
    0xA1, 0x02, 0x75, 0x08, 0x95, 0x07, 0x46, 0xFF, 0x00,        // 7 x 8 bits
    0x26, 0xFF, 0x00, 0x09, 0x02, 0x91, 0x02, 0xC0,              // Output: 56 bits
    0xC0,
};

// Boot keyboard as report 1 (8 bytes in, LEDs out) and consumer control as
// report 2 (one 16-bit usage in).
const Bytes kKeyboardWithConsumer = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01,              // Keyboard, Report ID (1)
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,  // modifier keys
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02,                          // Input: 8 x 1 bit
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                          // Input: reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05,  // LEDs 1-5
    0x91, 0x02,                                                  // Output: 5 x 1 bit
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,                          // Output: 3 bits padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00,        // 6 x 8 bits, 0..255
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00,        // Input: six key codes
    0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,        // Consumer, Report ID (2)
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03,  // usages 0..1023
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,                          // Input: 1 x 16 bits
    0xC0,
};

// A vendor-page bridge with 64-byte reports each way and a 32-byte feature
// report; no report IDs.
const Bytes kVendorBridge = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,              // vendor page, collection
    0x19, 0x01, 0x29, 0x40, 0x15, 0x00, 0x26, 0xFF, 0x00,  // usages 1-64, 0..255
    0x75, 0x08, 0x95, 0x40, 0x81, 0x02,                    // Input: 64 x 8 bits
    0x19, 0x01, 0x29, 0x40, 0x91, 0x02,                    // Output: 64 x 8 bits
    0x95, 0x20, 0x09, 0x02, 0xB1, 0x02,                    // Feature: 32 x 8 bits
    0xC0,
};

// Three-button boot mouse: input only.
const Bytes kMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,  // Mouse, Pointer
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,  // Buttons 1-3
    0x95, 0x03, 0x75, 0x01, 0x81, 0x02,                          // 3 x 1 bit
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,                          // 5 bits padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,  // X, Y, -127..127
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06,                          // 2 x 8 bits relative
    0xC0, 0xC0,
};

void ExpectLengths(const Bytes& descriptor, std::uint16_t input, std::uint16_t output,
                   std::uint16_t feature, bool usesReportIds) {
  const ReportLengths lengths = ParseReportDescriptor(descriptor);
  EXPECT_EQ(lengths.error, DescriptorError::kNone);
  EXPECT_EQ(lengths.input, input);
  EXPECT_EQ(lengths.output, output);
  EXPECT_EQ(lengths.feature, feature);
  EXPECT_EQ(lengths.usesReportIds, usesReportIds);
}

TEST(ReportDescriptorTest, RealDevicesGetTheLengthsWindowsReports) {
  {
    SCOPED_TRACE("joystick");
    ExpectLengths(kJoystick, 9, 8, 0, false);
  }
  {
    // The longest report decides, not the sum over reports nor the last one.
    SCOPED_TRACE("keyboard with consumer control");
    ExpectLengths(kKeyboardWithConsumer, 9, 2, 0, true);
  }
  {
    SCOPED_TRACE("vendor bridge");
    ExpectLengths(kVendorBridge, 65, 65, 33, false);
  }
  {
    SCOPED_TRACE("mouse");
    ExpectLengths(kMouse, 4, 0, 0, false);
  }
  ExpectLengths({}, 0, 0, 0, false);
}

TEST(ReportDescriptorTest, ItemEncodingsAreWalkedCorrectly) {
  // A four-byte Report Count (size code 3 means four data bytes).
  ExpectLengths({0x75, 0x08, 0x97, 0x40, 0x00, 0x00, 0x00, 0x81, 0x02}, 65, 0, 0, false);
  // A long item whose data looks like Input items is skipped whole.
  ExpectLengths({0x75, 0x08, 0x95, 0x02, 0xFE, 0x04, 0x20, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02}, 3,
                0, 0, false);
  // So is a short item of the reserved type, data byte included.
  ExpectLengths({0x75, 0x08, 0x95, 0x02, 0xFD, 0x81, 0x81, 0x02}, 3, 0, 0, false);
  // Bits are rounded up to whole bytes per report: 9 bits take 2.
  ExpectLengths({0x75, 0x01, 0x95, 0x09, 0x81, 0x02}, 3, 0, 0, false);
  // A long item with no data, right at the end.
  ExpectLengths({0x75, 0x08, 0x95, 0x01, 0x91, 0x02, 0xFE, 0x00, 0x01}, 0, 2, 0, false);
}

TEST(ReportDescriptorTest, ReportIdsAndTheGlobalStackSelectWhereBitsGo) {
  // Report 1 gets 8 bits, report 2 16, report 1 again 16: 24 bits is longest.
  ExpectLengths({0x75, 0x08, 0x95, 0x01, 0x85, 0x01, 0x81, 0x02,  //
                 0x95, 0x02, 0x85, 0x02, 0x81, 0x02,              //
                 0x85, 0x01, 0x81, 0x02},
                4, 0, 0, true);
  // Push saves size, count and report ID; Pop brings all three back, so the
  // Input and Output after it belong to report 1 with 4 x 8 bits.
  ExpectLengths({0x75, 0x08, 0x95, 0x04, 0x85, 0x01,  //
                 0xA4,                                // Push
                 0x75, 0x01, 0x95, 0x03, 0x85, 0x02,  //
                 0x81, 0x02,                          // report 2: 3 bits
                 0xB4,                                // Pop
                 0x81, 0x02, 0x91, 0x02},
                5, 5, 0, true);
  // Nested pushes unwind in order.
  ExpectLengths({0x75, 0x08, 0x95, 0x01, 0xA4, 0x95, 0x02, 0xA4, 0x95, 0x03,  //
                 0xB4, 0xB4, 0x81, 0x02},
                2, 0, 0, false);
}

struct Malformed {
  const char* name;
  Bytes bytes;
  DescriptorError error;
  std::uint16_t input;  // what was counted before the fault
};

TEST(ReportDescriptorTest, MalformedDescriptorsStopAtTheFaultWithWhatCameBefore) {
  const std::vector<Malformed> cases = {
      {"short item cut",
       {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x26, 0xFF},
       DescriptorError::kTruncatedItem,
       3},
      {"four-byte item cut",
       {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x97, 0x01, 0x00},
       DescriptorError::kTruncatedItem,
       2},
      {"long item data cut",
       {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE, 0x10, 0x01, 0xAA},
       DescriptorError::kTruncatedItem,
       2},
      {"long item header cut",
       {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE, 0x00},
       DescriptorError::kTruncatedItem,
       2},
      {"long item prefix alone",
       {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE},
       DescriptorError::kTruncatedItem,
       2},
      {"pop without push",
       {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xB4, 0x81, 0x02},
       DescriptorError::kPopWithoutPush,
       2},
      {"one pop too many",
       {0xA4, 0x75, 0x08, 0x95, 0x01, 0xB4, 0xB4, 0x81, 0x02},
       DescriptorError::kPopWithoutPush,
       0},
      {"report id 0",
       {0x75, 0x08, 0x95, 0x01, 0x85, 0x00, 0x81, 0x02},
       DescriptorError::kBadReportId,
       0},
      {"report id 256",
       {0x75, 0x08, 0x95, 0x01, 0x86, 0x00, 0x01, 0x81, 0x02},
       DescriptorError::kBadReportId,
       0},
      {"size and count at their maximum",
       {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02},
       DescriptorError::kReportTooLong,
       0},
      {"one byte past the longest length",
       {0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02},
       DescriptorError::kReportTooLong,
       0},
      {"too long only once summed",
       {0x75, 0x08, 0x96, 0x00, 0x80, 0x81, 0x02, 0x81, 0x02},
       DescriptorError::kReportTooLong,
       0x8001},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.name);
    const ReportLengths lengths = ParseReportDescriptor(c.bytes);
    EXPECT_EQ(lengths.error, c.error);
    EXPECT_EQ(lengths.input, c.input);
  }
  // The longest report that still fits: 65534 data bytes and the ID byte.
  ExpectLengths({0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02}, 0xFFFF, 0, 0, false);
}

TEST(ReportDescriptorTest, EveryCutOfARealDescriptorParsesUpToTheCut) {
  for (const Bytes* full : {&kJoystick, &kKeyboardWithConsumer, &kVendorBridge}) {
    const ReportLengths whole = ParseReportDescriptor(*full);
    std::uint16_t previousInput = 0;
    for (std::size_t size = 0; size <= full->size(); ++size) {
      // Exactly the prefix, so a read past it shows up under the sanitizer.
      const Bytes prefix(full->begin(), full->begin() + static_cast<std::ptrdiff_t>(size));
      const ReportLengths cut = ParseReportDescriptor(prefix);
      SCOPED_TRACE(size);
      EXPECT_TRUE(cut.error == DescriptorError::kNone ||
                  cut.error == DescriptorError::kTruncatedItem);
      EXPECT_GE(cut.input, previousInput);
      EXPECT_LE(cut.input, whole.input);
      EXPECT_LE(cut.output, whole.output);
      previousInput = cut.input;
    }
  }
}

}  // namespace
}  // namespace trivexa::hid
