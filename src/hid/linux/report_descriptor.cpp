#include "hid/linux/report_descriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace trivexa::hid {
namespace {

// Item prefix: bits 0-1 data size code, bits 2-3 type, bits 4-7 tag.
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::array<std::size_t, 4> kDataSizes = {0, 1, 2, 4};

constexpr std::uint8_t kMainType = 0;
constexpr std::uint8_t kGlobalType = 1;

constexpr std::uint8_t kInputTag = 0x8;
constexpr std::uint8_t kOutputTag = 0x9;
constexpr std::uint8_t kFeatureTag = 0xB;

constexpr std::uint8_t kReportSizeTag = 0x7;
constexpr std::uint8_t kReportIdTag = 0x8;
constexpr std::uint8_t kReportCountTag = 0x9;
constexpr std::uint8_t kPushTag = 0xA;
constexpr std::uint8_t kPopTag = 0xB;

// The data bytes of the longest report whose length, with its ID byte,
// still fits the 16-bit length field.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

// The global items that decide report layout; Push and Pop save and restore
// all of them together.
struct GlobalState {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

enum Kind : std::size_t { kInput, kOutput, kFeature, kKindCount };

// Bits seen so far per kind and report ID.
class BitTally {
 public:
  // False, and nothing added, when the report would grow too long.
  bool Add(Kind kind, std::uint8_t reportId, std::uint32_t size, std::uint32_t count) {
    // Both factors are below 2^32, so the product fits; the running total
    // never exceeds kMaxReportBits, so the sum cannot wrap either.
    const std::uint64_t total = bits_[kind][reportId] + std::uint64_t{size} * count;
    if (total > kMaxReportBits) return false;
    bits_[kind][reportId] = total;
    return true;
  }

  std::uint16_t Length(Kind kind) const {
    const std::uint64_t longest = *std::max_element(bits_[kind].begin(), bits_[kind].end());
    if (longest == 0) return 0;
    return static_cast<std::uint16_t>((longest + 7) / 8 + 1);
  }

 private:
  std::array<std::array<std::uint64_t, 256>, kKindCount> bits_{};
};

std::uint32_t LittleEndian(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

}  // namespace

ReportLengths ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  ReportLengths result;
  BitTally tally;
  GlobalState state;
  std::vector<GlobalState> stack;

  std::size_t pos = 0;
  while (pos < descriptor.size() && result.error == DescriptorError::kNone) {
    const std::size_t left = descriptor.size() - pos;
    const std::uint8_t prefix = descriptor[pos];

    if (prefix == kLongItemPrefix) {
      // 0xFE, data size, long tag, data. No long item tag is defined that
      // affects report layout.
      if (left < 3 || left - 3 < descriptor[pos + 1]) {
        result.error = DescriptorError::kTruncatedItem;
        break;
      }
      pos += 3 + std::size_t{descriptor[pos + 1]};
      continue;
    }

    const std::size_t dataSize = kDataSizes[prefix & 0x03];
    if (left - 1 < dataSize) {
      result.error = DescriptorError::kTruncatedItem;
      break;
    }
    const std::uint32_t value = LittleEndian(descriptor.subspan(pos + 1, dataSize));
    const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x03);
    const auto tag = static_cast<std::uint8_t>(prefix >> 4);
    pos += 1 + dataSize;

    if (type == kMainType) {
      Kind kind = kKindCount;
      if (tag == kInputTag) kind = kInput;
      if (tag == kOutputTag) kind = kOutput;
      if (tag == kFeatureTag) kind = kFeature;
      if (kind != kKindCount &&
          !tally.Add(kind, state.reportId, state.reportSize, state.reportCount)) {
        result.error = DescriptorError::kReportTooLong;
      }
    } else if (type == kGlobalType) {
      switch (tag) {
        case kReportSizeTag:
          state.reportSize = value;
          break;
        case kReportCountTag:
          state.reportCount = value;
          break;
        case kReportIdTag:
          if (value == 0 || value > 0xFF) {
            result.error = DescriptorError::kBadReportId;
          } else {
            state.reportId = static_cast<std::uint8_t>(value);
            result.usesReportIds = true;
          }
          break;
        case kPushTag:
          stack.push_back(state);
          break;
        case kPopTag:
          if (stack.empty()) {
            result.error = DescriptorError::kPopWithoutPush;
          } else {
            state = stack.back();
            stack.pop_back();
          }
          break;
        default:
          break;
      }
    }
    // Local items (usages, designators, strings, delimiters) and reserved
    // types carry nothing about lengths.
  }

  result.input = tally.Length(kInput);
  result.output = tally.Length(kOutput);
  result.feature = tally.Length(kFeature);
  return result;
}

}  // namespace trivexa::hid
