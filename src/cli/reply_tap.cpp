#include "cli/reply_tap.h"

#include <algorithm>

#include "protocol/commands.h"

namespace trivexa::cli {

std::int32_t ReplyTap::StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                                 hid::ReadOverlapped& overlapped) {
  last_.reset();
  const std::int32_t count = inner_.StartRead(handle, buffer, overlapped);
  if (count > 0) {
    const std::size_t taken = std::min(static_cast<std::size_t>(count), buffer.size());
    std::vector<std::uint8_t> report(std::max(taken, protocol::kInterpretedBytes), 0);
    std::copy_n(buffer.begin(), taken, report.begin());
    last_ = std::move(report);
  }
  return count;
}

}  // namespace trivexa::cli
