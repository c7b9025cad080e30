#pragma once

#include "hid/hid_platform.h"

namespace trivexa::hid {

// Passes every call through to another platform. A platform that changes
// one thing derives from it and overrides just that.
class ForwardingHidPlatform : public HidPlatform {
 public:
  explicit ForwardingHidPlatform(HidPlatform& inner) : inner_(inner) {}

  std::vector<std::string> ListInterfaces() override { return inner_.ListInterfaces(); }
  Handle Open(const std::string& path, bool overlapped) override {
    return inner_.Open(path, overlapped);
  }
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
  std::optional<std::string> UsbPort(const std::string& path) override {
    return inner_.UsbPort(path);
  }
  SystemError LastError() const override { return inner_.LastError(); }
  std::optional<DeviceAttributes> IdentifyUnopened(const std::string& path) override {
    return inner_.IdentifyUnopened(path);
  }
  InterfaceRecord Describe(const std::string& path) override { return inner_.Describe(path); }

 protected:
  HidPlatform& Inner() const { return inner_; }

 private:
  HidPlatform& inner_;
};

}  // namespace trivexa::hid
