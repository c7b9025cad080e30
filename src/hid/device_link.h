#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// Reads never reach past this buffer: it is at least the nine bytes that a
// reply is interpreted from, and as long as the longest input report a HID
// device can announce.
inline constexpr std::size_t kMinReadBufferBytes = 9;
inline constexpr std::size_t kMaxReadBufferBytes = 0xFFFF;

// The buffer reads are started into. It lives as long as the link, so a read
// still outstanding after a failed wait never writes into freed memory.
class ReadBuffer {
 public:
  ReadBuffer() : bytes_(std::make_unique<std::array<std::uint8_t, kMaxReadBufferBytes>>()) {}

  // Zeroes and returns the first max(length, 9) bytes.
  std::span<std::uint8_t> Prepare(std::size_t length);

 private:
  std::unique_ptr<std::array<std::uint8_t, kMaxReadBufferBytes>> bytes_;
};

// State of the link to the joystick, all zero at start. Owned by the main
// window for the whole run.
struct DeviceLink {
  HidCaps deviceCaps;
  DeviceAttributes deviceAttributes;
  std::string devicePath;
  Handle readEvent = kNoHandle;
  Handle writeHandle = kNoHandle;
  ReadOverlapped readOverlapped;
  Handle readHandle = kNoHandle;
  bool deviceConnected = false;
  bool deviceEverFound = false;
  ReadBuffer readBuffer;
};

}  // namespace trivexa::hid
