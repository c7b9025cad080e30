#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/timeline.h"
#include "hid/hid_platform.h"
#include "settings/joystick_settings.h"

namespace trivexa::fakes {

// A joystick's firmware as the tool sees it: it answers 0x5A with a status
// reply and 0x6A with a position reply, replyDelayMs after the query, and
// keeps the four values of a 0x3A write as its EEPROM.
struct SimJoystick {
  settings::JoystickSettings eeprom{4, 5, 0, 1};
  std::uint8_t x = 128;
  std::uint8_t y = 127;
  std::int16_t positionX = -300;
  std::int16_t positionY = 25;
  int replyDelayMs = 2;
  bool silent = false;             // answers nothing
  bool flood = false;              // always has a report waiting
  bool failWrites = false;         // every write fails
  int failNextWrites = 0;          // this many writes fail, then they work again
  bool failWaits = false;          // every read wait fails
  bool ignoreWriteConfig = false;  // takes a 0x3A write but keeps its EEPROM

  struct Queued {
    std::int64_t readyAtMs;
    std::vector<std::uint8_t> bytes;
  };
  std::deque<Queued> queue;
  std::vector<std::vector<std::uint8_t>> received;  // every output report
  int closeCommands = 0;

  // Queues a report as if the device had sent it at `atMs`.
  void Queue(std::int64_t atMs, std::vector<std::uint8_t> bytes) {
    queue.push_back({atMs, std::move(bytes)});
  }
};

// One HID interface of the machine.
struct FakeInterface {
  std::string path;
  hid::DeviceAttributes attributes;
  bool attributesFail = false;
  std::optional<std::u16string> product;  // nullopt: the query fails
  hid::HidCaps caps{9, 65};
  bool capsFail = false;
  int failNextCapsQueries = 0;  // this many capability queries fail, then they work
  bool openable = true;
  // Why it cannot be opened, as the system would put it.
  hid::SystemError openFailure{"Permission denied", true};
  bool identifiable = true;         // the system tells its identifiers without opening it
  std::optional<std::string> port;  // the USB port, when the system tells it
  bool present = true;
  std::shared_ptr<SimJoystick> joystick;  // null for any other device
};

// The operating system's HID calls over a scripted set of interfaces. Every
// call that matters goes into the timeline: "open <path> write|read -> <h>",
// "close <h>", "write <first six bytes> /<length>", "read <count>",
// "wait signalled|timeout|failed", "cancel <h>".
class FakeHidPlatform final : public hid::HidPlatform {
 public:
  FakeHidPlatform(Timeline& timeline, FakeClock& clock) : timeline_(timeline), clock_(clock) {}

  // Script.
  FakeInterface& AddInterface(FakeInterface interface);
  FakeInterface& AddOther(std::uint16_t vendorId, std::uint16_t productId,
                          std::u16string product = u"Other device");
  FakeInterface& AddJoystick(std::u16string product = u"USB Joystick");
  FakeInterface& Interface(std::size_t index) { return interfaces_[index]; }
  SimJoystick& Joystick(std::size_t index) { return *interfaces_[index].joystick; }
  // Unplugging kills every handle open on the interface.
  void Unplug(std::size_t index);
  void Replug(std::size_t index) { interfaces_[index].present = true; }
  bool failCreateEvent = false;

  // Observation.
  int OpenHandleCount() const;
  int opens = 0;
  int closes = 0;
  int doubleCloses = 0;  // closes of a handle that was already closed
  int eventsCreated = 0;
  int listCalls = 0;
  std::vector<std::string> openedPaths;

  // HidPlatform.
  std::vector<std::string> ListInterfaces() override;
  hid::Handle Open(const std::string& path, bool overlapped) override;
  void Close(hid::Handle handle) override;
  std::optional<hid::DeviceAttributes> GetAttributes(hid::Handle handle) override;
  bool GetProductString(hid::Handle handle,
                        std::span<std::uint8_t, hid::kProductStringBytes> buffer) override;
  std::optional<hid::HidCaps> GetCaps(hid::Handle handle) override;
  hid::Handle CreateReadEvent() override;
  bool Write(hid::Handle handle, std::span<const std::uint8_t> report) override;
  void CancelIo(hid::Handle handle) override;
  std::int32_t StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                         hid::ReadOverlapped& overlapped) override;
  hid::WaitResult WaitForRead(hid::Handle event, std::uint32_t timeoutMs) override;
  // Only Open keeps a reason: "open <path>: <openFailure>".
  hid::SystemError LastError() const override { return lastError_; }
  std::optional<hid::DeviceAttributes> IdentifyUnopened(const std::string& path) override;
  std::optional<std::string> UsbPort(const std::string& path) override;

 private:
  struct OpenHandle {
    std::size_t interface;
    bool overlapped;
    bool alive;
    bool closed;
  };
  struct PendingRead {
    hid::Handle handle;
    bool failed;
  };

  // The live handle's interface, or null for a dead, closed or unknown one.
  FakeInterface* Live(hid::Handle handle);
  std::vector<std::uint8_t> Reply(const FakeInterface& interface, std::uint8_t tag) const;
  // The joystick's next report waiting at `atMs`, generated for a flood.
  std::optional<std::vector<std::uint8_t>> TakeReady(FakeInterface& interface, std::int64_t atMs);
  void Record(std::string what) { timeline_.Add(clock_.NowMs(), std::move(what)); }

  Timeline& timeline_;
  FakeClock& clock_;
  std::vector<FakeInterface> interfaces_;
  std::map<hid::Handle, OpenHandle> handles_;
  std::map<hid::Handle, bool> events_;
  std::map<hid::Handle, PendingRead> pending_;  // by event
  hid::Handle lastReadHandle_ = hid::kNoHandle;
  hid::Handle nextHandle_ = 100;
  hid::SystemError lastError_;
};

}  // namespace trivexa::fakes
