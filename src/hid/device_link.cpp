#include "hid/device_link.h"

#include <algorithm>

namespace trivexa::hid {

std::span<std::uint8_t> ReadBuffer::Prepare(std::size_t length) {
  const std::size_t size = std::clamp(length, kMinReadBufferBytes, kMaxReadBufferBytes);
  std::span<std::uint8_t> bytes(bytes_->data(), size);
  std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

}  // namespace trivexa::hid
