#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"
#include "host/clock.h"

namespace trivexa::hid {

// Where one-line notices for the user go: standard error in the programs,
// a list in tests.
using NoticeSink = std::function<void(std::string_view line)>;
// What the user can do about a refused access, worked out when needed.
using AccessFix = std::function<std::string()>;

// Passes every call through to another platform and tells the user when an
// interface that the system identifies as the joystick cannot be opened:
// the node, the system's reason and the fix, in one line. Without it the
// window would just stay "unconnected" with no hint why.
//
// A node is told about once per reason until it opens: discovery retries
// every second, so the same failure would otherwise repeat for ever. A new reason for the
// same node is told again, but at most once a minute: a reason that changes
// every tick would otherwise give a notice every tick. Other vendors'
// interfaces are never mentioned.
class ReportingHidPlatform final : public HidPlatform {
 public:
  static constexpr std::int64_t kRepeatAfterMs = 60'000;

  ReportingHidPlatform(HidPlatform& inner, const Clock& clock, NoticeSink sink,
                       AccessFix accessFix);

  std::vector<std::string> ListInterfaces() override { return inner_.ListInterfaces(); }
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override { inner_.Close(handle); }
  std::optional<DeviceAttributes> GetAttributes(Handle handle) override {
    return inner_.GetAttributes(handle);
  }
  bool GetProductString(Handle handle,
                        std::span<std::uint8_t, kProductStringBytes> buffer) override {
    return inner_.GetProductString(handle, buffer);
  }
  std::optional<HidCaps> GetCaps(Handle handle) override { return inner_.GetCaps(handle); }
  Handle CreateReadEvent() override { return inner_.CreateReadEvent(); }
  bool Write(Handle handle, std::span<const std::uint8_t> report) override {
    return inner_.Write(handle, report);
  }
  void CancelIo(Handle handle) override { inner_.CancelIo(handle); }
  std::int32_t StartRead(Handle handle, std::span<std::uint8_t> buffer,
                         ReadOverlapped& overlapped) override {
    return inner_.StartRead(handle, buffer, overlapped);
  }
  WaitResult WaitForRead(Handle event, std::uint32_t timeoutMs) override {
    return inner_.WaitForRead(event, timeoutMs);
  }
  SystemError LastError() const override { return inner_.LastError(); }
  std::optional<DeviceAttributes> IdentifyUnopened(const std::string& path) override {
    return inner_.IdentifyUnopened(path);
  }

 private:
  struct Told {
    std::string reason;
    std::int64_t atMs = 0;
  };

  HidPlatform& inner_;
  const Clock& clock_;
  NoticeSink sink_;
  AccessFix accessFix_;
  std::map<std::string, Told> told_;  // by node
};

// The notice for a joystick node that cannot be opened.
std::string OpenFailureNotice(const std::string& path, const SystemError& error,
                              const std::string& accessFix);

}  // namespace trivexa::hid
