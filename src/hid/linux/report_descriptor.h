#pragma once

#include <cstdint>
#include <span>

namespace trivexa::hid {

enum class DescriptorError {
  kNone,
  kTruncatedItem,   // an item's data, or a long item's header, runs past the end
  kPopWithoutPush,  // Pop with nothing pushed
  kBadReportId,     // Report ID 0 or above 255
  kReportTooLong,   // a report would not fit a 16-bit length with its ID byte
};

// Report lengths in bytes as the Windows HID parser counts them: the longest
// report of each kind, plus one for the report-ID byte, which is counted even
// when the device numbers no reports. A kind the device has no report of is 0.
struct ReportLengths {
  std::uint16_t input = 0;
  std::uint16_t output = 0;
  std::uint16_t feature = 0;
  bool usesReportIds = false;
  // When not kNone, the lengths are those of the main items before the fault;
  // nothing after it is looked at.
  DescriptorError error = DescriptorError::kNone;
};

// Walks a HID report descriptor: Report Size, Report Count, Report ID, Push
// and Pop, and the Input, Output and Feature main items; every other item,
// long items among them, is skipped. Never reads past `descriptor`.
ReportLengths ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace trivexa::hid
