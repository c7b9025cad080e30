#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// HID access through the kernel's hidraw nodes.
//
// Handles are ids of this object's own table, never file descriptors. Every
// input report is handed out as [report ID, data...]: hidraw leaves the ID
// byte out for devices that number no reports, so a 0 is put in front there.
// Reads follow the overlapped model the logic expects: a read that finds a
// report waiting completes at once; otherwise it stays pending on its event,
// and a report that ends it during a wait is taken and dropped.
//
// The product string is the USB device's own `product` attribute from sysfs,
// as Windows reports it; HIDIOCGRAWNAME, which joins the manufacturer's name
// in front, is only the fallback for devices that have none (Bluetooth,
// uhid). Failures keep the errno text, as "open /dev/hidraw3: Permission
// denied".
//
// Not thread-safe: one thread drives it, as the whole program has one.
class LinuxHidPlatform final : public HidPlatform {
 public:
  explicit LinuxHidPlatform(std::string sysfsDir = "/sys/class/hidraw",
                            std::string devDir = "/dev");
  ~LinuxHidPlatform() override;
  LinuxHidPlatform(const LinuxHidPlatform&) = delete;
  LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

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
  SystemError LastError() const override { return lastError_; }
  // The name of the USB device's folder in sysfs, found by walking up from
  // the node's HID device.
  std::optional<std::string> UsbPort(const std::string& path) override;
  // From HID_ID in the uevent file of the node's HID device in sysfs.
  std::optional<DeviceAttributes> IdentifyUnopened(const std::string& path) override;
  // From sysfs, so a node that cannot be opened is described too.
  InterfaceRecord Describe(const std::string& path) override;

 private:
  // The unit tests hand descriptors of socket pairs, which keep report
  // boundaries as a hidraw node does, straight to Register.
  friend struct LinuxHidPlatformPeer;

  struct OpenNode {
    std::string path;  // empty for a descriptor the unit tests registered
    int fd;
    bool numberedReports;
  };
  struct PendingRead {
    Handle handle;
    bool failed;  // the node reported an error: the wait fails
  };
  enum class ReadOutcome { kReport, kNothing, kFailed };

  Handle NextId();
  Handle Register(int fd, bool numberedReports, std::string path);
  const OpenNode* Find(Handle handle) const;
  // One report without blocking, into scratch_; its Windows-counted length
  // (with the prepended ID byte) in `length`.
  ReadOutcome ReadOne(const OpenNode& node, std::size_t& length);
  // Each keeps the reason and gives what a failed call returns.
  void Succeeded() { lastError_ = {}; }
  void Failed(std::string what, int error);
  void Failed(std::string what);

  std::string sysfsDir_;
  std::string devDir_;
  std::map<Handle, OpenNode> nodes_;
  std::set<Handle> events_;                // every event created
  std::map<Handle, PendingRead> pending_;  // by event
  Handle lastId_ = kNoHandle;
  std::vector<std::uint8_t> scratch_;
  SystemError lastError_;
};

}  // namespace trivexa::hid
