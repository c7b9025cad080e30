#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trivexa::hid {

// A platform handle: 0 is "no handle", -1 is what a failed open leaves,
// anything greater than 0 is open. Only handles greater than 0 are closed.
using Handle = std::int32_t;
inline constexpr Handle kNoHandle = 0;
inline constexpr Handle kInvalidHandle = -1;
inline constexpr bool IsOpen(Handle handle) { return handle > 0; }

struct DeviceAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
};

// Report lengths in bytes, each counting the leading report-ID byte.
struct HidCaps {
  std::uint16_t inputReportByteLength = 0;
  std::uint16_t outputReportByteLength = 0;
};

// The record every read is started with, bound to the read event.
struct ReadOverlapped {
  Handle hEvent = kNoHandle;
};

enum class WaitResult {
  kSignalled,  // the read has ended
  kTimedOut,   // nothing arrived within the limit
  kFailed,     // the wait itself failed (device gone, bad event, ...)
};

// Why the operating system refused a call, in its own words.
struct SystemError {
  std::string text;           // "open /dev/hidraw3: Permission denied"; empty: no failure
  bool accessDenied = false;  // refused for lack of permission
};

// What the kernel's HID tools record of an interface (its bus, its HID
// name and physical path, its report descriptor), as far as the system
// tells it without opening the interface: a node the user may not open is
// still described. Each part is nothing where the system does not tell it.
struct InterfaceRecord {
  std::optional<std::uint16_t> bus;
  std::optional<std::string> name;
  std::optional<std::string> phys;
  std::optional<std::vector<std::uint8_t>> descriptor;
};

// What the user can do about a refused access (the udev rule on Linux),
// worked out when asked: finding it may look at the disk.
using AccessFix = std::function<std::string()>;

// Bytes announced to the product-string query, and its buffer size.
inline constexpr std::size_t kProductStringBytes = 100;

// Everything device discovery and the report exchange need of the
// operating system's HID interfaces. One backend per platform, and a fake
// with a simulated joystick for tests.
class HidPlatform {
 public:
  virtual ~HidPlatform() = default;

  // Paths of the present HID interfaces, in an order that stays fixed for
  // one scan. A failure to list gives an empty list.
  virtual std::vector<std::string> ListInterfaces() = 0;

  // Opens an interface for reading and writing, shared, so that it can be
  // opened again. `overlapped` asks for the handle that reads are started
  // on. Gives kInvalidHandle when it cannot be opened.
  virtual Handle Open(const std::string& path, bool overlapped) = 0;
  // Closing kInvalidHandle or an unknown handle does nothing.
  virtual void Close(Handle handle) = 0;

  virtual std::optional<DeviceAttributes> GetAttributes(Handle handle) = 0;
  // Fills `buffer` with the product string in UTF-16 little-endian,
  // zero-terminated when there is room. False when the query fails.
  virtual bool GetProductString(Handle handle,
                                std::span<std::uint8_t, kProductStringBytes> buffer) = 0;
  virtual std::optional<HidCaps> GetCaps(Handle handle) = 0;

  // A manual-reset event for reads, initially signalled; 0 on failure.
  virtual Handle CreateReadEvent() = 0;

  // Writes `report` (byte 0 is the report ID) as one output report,
  // synchronously. False on failure.
  virtual bool Write(Handle handle, std::span<const std::uint8_t> report) = 0;
  // Cancels the I/O outstanding on `handle`.
  virtual void CancelIo(Handle handle) = 0;

  // Starts reading one input report into `buffer`. When a report is already
  // queued the read ends at once and its length is returned; otherwise 0 is
  // returned and the read stays outstanding, signalled on
  // `overlapped.hEvent` when it ends. The platform may write into `buffer`
  // until the read has ended, been cancelled or its handle closed.
  virtual std::int32_t StartRead(Handle handle, std::span<std::uint8_t> buffer,
                                 ReadOverlapped& overlapped) = 0;
  // Waits at most `timeoutMs` for the read event.
  virtual WaitResult WaitForRead(Handle event, std::uint32_t timeoutMs) = 0;

  // The USB port the interface's device is plugged into, as the system
  // names that socket: "1-2.3" on Linux (bus 1, port 2, then port 3 of a
  // hub), the location path on Windows. The same socket keeps its name
  // across replugs and restarts, while the interface's path may change.
  // Nothing when the system does not say (not a USB device, or a system
  // that does not tell).
  virtual std::optional<std::string> UsbPort(const std::string& path) = 0;

  // Diagnostics, for telling the user why the joystick stays unconnected.
  // The logic itself never asks: a failure shows only as a failed call.

  // The reason the most recent Open, attributes, product-string, caps query
  // or Write failed; empty when that call succeeded.
  virtual SystemError LastError() const { return {}; }
  // The identifiers the system tells for an interface without opening it,
  // so that one that cannot be opened can still be recognised; nothing when
  // the system does not tell.
  virtual std::optional<DeviceAttributes> IdentifyUnopened(const std::string& path) {
    static_cast<void>(path);
    return std::nullopt;
  }
  // For a problem report.
  virtual InterfaceRecord Describe(const std::string& path) {
    static_cast<void>(path);
    return {};
  }
};

}  // namespace trivexa::hid
