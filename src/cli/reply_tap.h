#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hid/hid_platform.h"

namespace trivexa::cli {

// Passes every call through to the real platform and keeps a copy of each
// report a read took at once, so the command line can report the values the
// exchange turned into text (JSON needs the numbers, not the status line).
class ReplyTap final : public hid::HidPlatform {
 public:
  explicit ReplyTap(hid::HidPlatform& inner) : inner_(inner) {}

  // The report of the latest read that completed at once, padded with zeros
  // to the nine bytes a reply is read from; nullopt once taken.
  std::optional<std::vector<std::uint8_t>> TakeReport() {
    auto report = std::move(last_);
    last_.reset();
    return report;
  }

  std::vector<std::string> ListInterfaces() override { return inner_.ListInterfaces(); }
  hid::Handle Open(const std::string& path, bool overlapped) override {
    return inner_.Open(path, overlapped);
  }
  void Close(hid::Handle handle) override { inner_.Close(handle); }
  std::optional<hid::DeviceAttributes> GetAttributes(hid::Handle handle) override {
    return inner_.GetAttributes(handle);
  }
  bool GetProductString(hid::Handle handle,
                        std::span<std::uint8_t, hid::kProductStringBytes> buffer) override {
    return inner_.GetProductString(handle, buffer);
  }
  std::optional<hid::HidCaps> GetCaps(hid::Handle handle) override {
    return inner_.GetCaps(handle);
  }
  hid::Handle CreateReadEvent() override { return inner_.CreateReadEvent(); }
  bool Write(hid::Handle handle, std::span<const std::uint8_t> report) override {
    return inner_.Write(handle, report);
  }
  void CancelIo(hid::Handle handle) override { inner_.CancelIo(handle); }
  std::int32_t StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                         hid::ReadOverlapped& overlapped) override;
  hid::WaitResult WaitForRead(hid::Handle event, std::uint32_t timeoutMs) override {
    return inner_.WaitForRead(event, timeoutMs);
  }
  hid::SystemError LastError() const override { return inner_.LastError(); }
  std::optional<hid::DeviceAttributes> IdentifyUnopened(const std::string& path) override {
    return inner_.IdentifyUnopened(path);
  }

 private:
  hid::HidPlatform& inner_;
  std::optional<std::vector<std::uint8_t>> last_;
};

}  // namespace trivexa::cli
