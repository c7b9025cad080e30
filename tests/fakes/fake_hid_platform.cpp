#include "fakes/fake_hid_platform.h"

#include <algorithm>
#include <cstdio>

#include "hid/discovery.h"
#include "protocol/commands.h"

namespace trivexa::fakes {
namespace {

std::string HexBytes(std::span<const std::uint8_t> bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < std::min(count, bytes.size()); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    if (!text.empty()) text += ' ';
    text += hex;
  }
  return text;
}

}  // namespace

FakeInterface& FakeHidPlatform::AddInterface(FakeInterface interface) {
  if (interface.path.empty()) {
    interface.path = "/dev/hidraw" + std::to_string(interfaces_.size());
  }
  interfaces_.push_back(std::move(interface));
  return interfaces_.back();
}

FakeInterface& FakeHidPlatform::AddOther(std::uint16_t vendorId, std::uint16_t productId,
                                         std::u16string product) {
  FakeInterface interface;
  interface.attributes = {vendorId, productId, 0x0100};
  interface.product = std::move(product);
  return AddInterface(std::move(interface));
}

FakeInterface& FakeHidPlatform::AddJoystick(std::u16string product) {
  FakeInterface interface;
  interface.attributes = {hid::kJoystickVendorId, hid::kJoystickProductId, 0x0107};
  interface.product = std::move(product);
  interface.joystick = std::make_shared<SimJoystick>();
  return AddInterface(std::move(interface));
}

void FakeHidPlatform::Unplug(std::size_t index) {
  interfaces_[index].present = false;
  for (auto& [handle, open] : handles_) {
    if (open.interface == index) open.alive = false;
  }
}

int FakeHidPlatform::OpenHandleCount() const {
  return static_cast<int>(std::count_if(handles_.begin(), handles_.end(),
                                        [](const auto& h) { return !h.second.closed; }));
}

FakeInterface* FakeHidPlatform::Live(hid::Handle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.closed || !it->second.alive) return nullptr;
  return &interfaces_[it->second.interface];
}

std::vector<std::string> FakeHidPlatform::ListInterfaces() {
  ++listCalls;
  std::vector<std::string> paths;
  for (const FakeInterface& interface : interfaces_) {
    if (interface.present) paths.push_back(interface.path);
  }
  return paths;
}

hid::Handle FakeHidPlatform::Open(const std::string& path, bool overlapped) {
  openedPaths.push_back(path);
  auto it = std::find_if(interfaces_.begin(), interfaces_.end(), [&](const FakeInterface& i) {
    return i.path == path && i.present && i.openable;
  });
  hid::Handle handle = hid::kInvalidHandle;
  if (it != interfaces_.end()) {
    handle = nextHandle_++;
    handles_[handle] = {static_cast<std::size_t>(it - interfaces_.begin()), overlapped, true,
                        false};
    ++opens;
    lastError_ = {};
  } else {
    auto known = std::find_if(interfaces_.begin(), interfaces_.end(),
                              [&](const FakeInterface& i) { return i.path == path && i.present; });
    lastError_ = known != interfaces_.end()
                     ? hid::SystemError{"open " + path + ": " + known->openFailure.text,
                                        known->openFailure.accessDenied}
                     : hid::SystemError{"open " + path + ": No such file or directory", false};
  }
  Record("open " + path + (overlapped ? " read" : " write") + " -> " + std::to_string(handle));
  return handle;
}

std::optional<hid::DeviceAttributes> FakeHidPlatform::IdentifyUnopened(const std::string& path) {
  for (const FakeInterface& interface : interfaces_) {
    if (interface.path == path && interface.present && interface.identifiable) {
      return interface.attributes;
    }
  }
  return std::nullopt;
}

std::optional<std::string> FakeHidPlatform::UsbPort(const std::string& path) {
  for (const FakeInterface& interface : interfaces_) {
    if (interface.path == path && interface.present) return interface.port;
  }
  return std::nullopt;
}

void FakeHidPlatform::Close(hid::Handle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return;  // -1, 0 and strangers: nothing to do
  Record("close " + std::to_string(handle));
  if (it->second.closed) {
    ++doubleCloses;
    return;
  }
  it->second.closed = true;
  ++closes;
  for (auto p = pending_.begin(); p != pending_.end();) {
    p = p->second.handle == handle ? pending_.erase(p) : std::next(p);
  }
}

std::optional<hid::DeviceAttributes> FakeHidPlatform::GetAttributes(hid::Handle handle) {
  FakeInterface* interface = Live(handle);
  if (interface == nullptr || interface->attributesFail) return std::nullopt;
  return interface->attributes;
}

bool FakeHidPlatform::GetProductString(hid::Handle handle,
                                       std::span<std::uint8_t, hid::kProductStringBytes> buffer) {
  FakeInterface* interface = Live(handle);
  if (interface == nullptr || !interface->product) return false;
  std::size_t at = 0;
  for (char16_t unit : *interface->product) {
    if (at + 2 > buffer.size()) return true;
    buffer[at++] = static_cast<std::uint8_t>(unit & 0xFF);
    buffer[at++] = static_cast<std::uint8_t>(unit >> 8);
  }
  if (at + 2 <= buffer.size()) {
    buffer[at] = 0;
    buffer[at + 1] = 0;
  }
  return true;
}

std::optional<hid::HidCaps> FakeHidPlatform::GetCaps(hid::Handle handle) {
  FakeInterface* interface = Live(handle);
  if (interface == nullptr || interface->capsFail) return std::nullopt;
  if (interface->failNextCapsQueries > 0) {
    --interface->failNextCapsQueries;
    return std::nullopt;
  }
  return interface->caps;
}

hid::Handle FakeHidPlatform::CreateReadEvent() {
  if (failCreateEvent) return hid::kNoHandle;
  const hid::Handle event = nextHandle_++;
  events_[event] = true;
  ++eventsCreated;
  Record("create event -> " + std::to_string(event));
  return event;
}

std::vector<std::uint8_t> FakeHidPlatform::Reply(const FakeInterface& interface,
                                                 std::uint8_t tag) const {
  const SimJoystick& joystick = *interface.joystick;
  std::vector<std::uint8_t> bytes(std::max<std::size_t>(interface.caps.inputReportByteLength, 9));
  bytes[protocol::input_offset::kX] = joystick.x;
  bytes[protocol::input_offset::kY] = joystick.y;
  bytes[protocol::input_offset::kTag] = tag;
  if (tag == protocol::CMD_QUERY_STATUS) {
    bytes[5] = joystick.eeprom.deadZoneIndex;
    bytes[6] = joystick.eeprom.angleOffsetIndex;
    bytes[7] = joystick.eeprom.moveThresholdIndex;
    bytes[8] = joystick.eeprom.intervalIndex;
  } else {
    const auto px = static_cast<std::uint16_t>(joystick.positionX);
    const auto py = static_cast<std::uint16_t>(joystick.positionY);
    bytes[5] = static_cast<std::uint8_t>(px & 0xFF);
    bytes[6] = static_cast<std::uint8_t>(px >> 8);
    bytes[7] = static_cast<std::uint8_t>(py & 0xFF);
    bytes[8] = static_cast<std::uint8_t>(py >> 8);
  }
  bytes.resize(interface.caps.inputReportByteLength);
  return bytes;
}

bool FakeHidPlatform::Write(hid::Handle handle, std::span<const std::uint8_t> report) {
  FakeInterface* interface = Live(handle);
  bool fails = interface == nullptr;
  if (!fails && interface->joystick) {
    SimJoystick& sim = *interface->joystick;
    fails = sim.failWrites || sim.failNextWrites > 0;
    if (sim.failNextWrites > 0) --sim.failNextWrites;
  }
  Record("write " + HexBytes(report, 6) + " /" + std::to_string(report.size()) +
         (fails ? " failed" : ""));
  if (fails) return false;
  if (!interface->joystick) return true;

  SimJoystick& joystick = *interface->joystick;
  joystick.received.emplace_back(report.begin(), report.end());
  if (report.size() < 2) return true;
  const std::int64_t readyAt = clock_.NowMs() + joystick.replyDelayMs;
  switch (report[1]) {
    case protocol::CMD_WRITE_CONFIG:
      if (report.size() >= 6 && !joystick.ignoreWriteConfig)
        joystick.eeprom = {report[2], report[3], report[4], report[5]};
      break;
    case protocol::CMD_QUERY_STATUS:
    case protocol::CMD_QUERY_POSITION:
      if (!joystick.silent) joystick.Queue(readyAt, Reply(*interface, report[1]));
      break;
    case protocol::CMD_CLOSE:
      ++joystick.closeCommands;
      break;
    default:
      break;
  }
  return true;
}

void FakeHidPlatform::CancelIo(hid::Handle handle) {
  bool cancelled = false;
  for (auto p = pending_.begin(); p != pending_.end();) {
    if (p->second.handle == handle) {
      p = pending_.erase(p);
      cancelled = true;
    } else {
      ++p;
    }
  }
  if (cancelled) Record("cancel " + std::to_string(handle));
}

std::optional<std::vector<std::uint8_t>> FakeHidPlatform::TakeReady(FakeInterface& interface,
                                                                    std::int64_t atMs) {
  if (!interface.joystick) return std::nullopt;
  SimJoystick& joystick = *interface.joystick;
  if (joystick.flood) return Reply(interface, protocol::CMD_QUERY_POSITION);
  if (joystick.queue.empty() || joystick.queue.front().readyAtMs > atMs) return std::nullopt;
  std::vector<std::uint8_t> bytes = std::move(joystick.queue.front().bytes);
  joystick.queue.pop_front();
  return bytes;
}

std::int32_t FakeHidPlatform::StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                                        hid::ReadOverlapped& overlapped) {
  FakeInterface* interface = Live(handle);
  std::int32_t count = 0;
  bool failed = interface == nullptr;
  if (interface != nullptr) {
    if (auto report = TakeReady(*interface, clock_.NowMs())) {
      // A device never returns more than it was asked for.
      const std::size_t n = std::min(report->size(), buffer.size());
      std::copy_n(report->begin(), n, buffer.begin());
      count = static_cast<std::int32_t>(n);
    }
  }
  lastReadHandle_ = handle;
  if (count == 0) pending_[overlapped.hEvent] = {handle, failed};
  Record("read " + std::to_string(count));
  return count;
}

hid::WaitResult FakeHidPlatform::WaitForRead(hid::Handle event, std::uint32_t timeoutMs) {
  auto result = hid::WaitResult::kSignalled;
  auto pending = pending_.find(event);
  FakeInterface* reader =
      Live(pending != pending_.end() ? pending->second.handle : lastReadHandle_);
  if (!events_.count(event) || (reader && reader->joystick && reader->joystick->failWaits)) {
    result = hid::WaitResult::kFailed;
  } else if (pending != pending_.end()) {
    FakeInterface* interface = reader;
    if (pending->second.failed || interface == nullptr) {
      result = hid::WaitResult::kFailed;
    } else if (auto& joystick = interface->joystick;
               joystick && !joystick->queue.empty() &&
               joystick->queue.front().readyAtMs <= clock_.NowMs() + timeoutMs) {
      // The report arriving during the wait ends the read; it is taken
      // from the device and never seen by the tool.
      clock_.AdvanceTo(joystick->queue.front().readyAtMs);
      joystick->queue.pop_front();
      pending_.erase(pending);
    } else {
      clock_.Advance(timeoutMs);
      result = hid::WaitResult::kTimedOut;
    }
  }
  Record(std::string("wait ") + (result == hid::WaitResult::kSignalled  ? "signalled"
                                 : result == hid::WaitResult::kTimedOut ? "timeout"
                                                                        : "failed"));
  return result;
}

}  // namespace trivexa::fakes
