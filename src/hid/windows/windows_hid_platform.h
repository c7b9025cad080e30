#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// HID access through SetupAPI, hid.dll and Win32 file I/O.
//
// Handles and read events are ids of this object's own tables (one id space
// for both), never HANDLE values cast to integers.
//
// Each read event owns one read slot: an OVERLAPPED record and the buffer
// the system reads into, both at fixed addresses, so a read the caller
// leaves outstanding always has valid storage to complete into. A report
// that is already queued is copied into the caller's buffer before
// StartRead returns; the system itself never writes there. Two reads never
// share a slot: while the previous read on an event is still in flight,
// StartRead starts no new one. Close (and the destructor) cancels a read
// outstanding on the handle and waits a bounded time for it to end; a read
// whose cancel never completes keeps its slot for good and the event gets a
// fresh one, so a driver that ignores a cancel cannot hang the program.
//
// Failures keep GetLastError's text, as "open \\?\hid#...: Access is denied."
//
// Not thread-safe: one thread drives it, as the whole program has one.
class WindowsHidPlatform final : public HidPlatform {
 public:
  WindowsHidPlatform() = default;
  ~WindowsHidPlatform() override;
  WindowsHidPlatform(const WindowsHidPlatform&) = delete;
  WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

  std::vector<std::string> ListInterfaces() override;
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override;
  std::optional<DeviceAttributes> GetAttributes(Handle handle) override;
  bool GetProductString(Handle handle,
                        std::span<std::uint8_t, kProductStringBytes> buffer) override;
  std::optional<HidCaps> GetCaps(Handle handle) override;
  Handle CreateReadEvent() override;
  bool Write(Handle handle, std::span<const std::uint8_t> report) override;
  void CancelIo(Handle handle) override;
  std::int32_t StartRead(Handle handle, std::span<std::uint8_t> buffer,
                         ReadOverlapped& overlapped) override;
  WaitResult WaitForRead(Handle event, std::uint32_t timeoutMs) override;
  // The location path of the USB device above the interface (what Device
  // Manager shows as its first "Location paths" entry), found through the
  // device tree.
  std::optional<std::string> UsbPort(const std::string& path) override;
  SystemError LastError() const override { return lastError_; }

 private:
  struct OpenDevice {
    HANDLE file;
    bool overlapped;  // opened with FILE_FLAG_OVERLAPPED: reads only, no writes
  };
  struct ReadSlot {
    OVERLAPPED record{};
    std::vector<std::uint8_t> bytes;
  };
  struct ReadEvent {
    HANDLE event;
    std::unique_ptr<ReadSlot> slot;  // fixed address while a read may use it
    Handle pendingOn = kNoHandle;    // device the last read went pending on
  };

  Handle NextId();
  const OpenDevice* FindDevice(Handle handle) const;
  // Cancels the reads still in flight on `handle` and waits, for a bounded
  // time, until they have ended. A read that does not end keeps its slot in
  // abandoned_.
  void EndReadsOn(Handle handle, HANDLE file);
  // Keep the reason of the call that just failed (GetLastError) or succeeded.
  void Failed(const std::string& what);
  void Failed(const std::string& what, DWORD error);
  void Succeeded() { lastError_ = {}; }

  std::map<Handle, OpenDevice> devices_;
  std::map<Handle, ReadEvent> events_;
  std::vector<std::unique_ptr<ReadSlot>> abandoned_;
  Handle lastId_ = kNoHandle;
  SystemError lastError_;
};

}  // namespace trivexa::hid
