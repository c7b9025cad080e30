#include "hid/discovery.h"

#include <array>
#include <span>

#include "host/text.h"

namespace trivexa::hid {
namespace {

// The logged product name: the low byte of each of the first eleven UTF-16
// code units, up to the first zero. Bytes of 0x80 and above are taken as
// Latin-1 and kept as UTF-8, so the log always holds valid text.
std::string ProductName(std::span<const std::uint8_t> productBuffer) {
  std::string name;
  for (std::size_t i = 0; i < kProductNameChars * 2; i += 2) {
    const std::uint8_t byte = productBuffer[i];
    if (byte == 0) break;
    if (byte < 0x80) {
      name += static_cast<char>(byte);
    } else {
      name += static_cast<char>(0xC0 | (byte >> 6));
      name += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return name;
}

// Opens one interface, logs what it is, and keeps it open only when it is
// the joystick.
void ProbeInterface(LinkContext& context, const std::string& path,
                    std::array<std::uint8_t, kProductStringBytes + 1>& productBuffer) {
  DeviceLink& link = context.link;
  HidPlatform& platform = context.platform;

  link.devicePath = path;
  link.writeHandle = platform.Open(link.devicePath, /*overlapped=*/false);

  link.deviceAttributes.vendorId = 0;
  link.deviceAttributes.productId = 0;
  if (auto attributes = platform.GetAttributes(link.writeHandle)) {
    link.deviceAttributes = *attributes;
  }
  context.clock.Sleep(kProbePauseMs);

  if (platform.GetProductString(link.writeHandle, std::span<std::uint8_t, kProductStringBytes>(
                                                      productBuffer.data(), kProductStringBytes))) {
    context.window.AppendLog("  ProductName: " + ProductName(productBuffer));
  }
  context.window.AppendLog("  Vendor ID: " +
                           HexText(link.deviceAttributes.vendorId, 1, HexCase::kUpper));
  context.window.AppendLog("  Product ID: " +
                           HexText(link.deviceAttributes.productId, 1, HexCase::kUpper));

  if (IsJoystick(link.deviceAttributes)) {
    context.window.AppendLog("  USB device found!");
    link.deviceConnected = true;
    link.deviceEverFound = true;
    return;
  }
  link.deviceConnected = false;
  platform.Close(link.writeHandle);
  link.writeHandle = kNoHandle;
}

}  // namespace

void CloseIfOpen(HidPlatform& platform, Handle& handle) {
  if (!IsOpen(handle)) return;
  platform.Close(handle);
  handle = kNoHandle;
}

bool FindTheHid(LinkContext& context) {
  DeviceLink& link = context.link;
  link.deviceConnected = false;
  bool result = false;
  // Zeroed once per scan, not between interfaces.
  std::array<std::uint8_t, kProductStringBytes + 1> productBuffer{};

  // The handles of a lost connection would otherwise be overwritten and
  // leak at every reconnect.
  CloseIfOpen(context.platform, link.writeHandle);
  CloseIfOpen(context.platform, link.readHandle);

  context.window.ClearLog();

  for (const std::string& path : context.platform.ListInterfaces()) {
    ProbeInterface(context, path, productBuffer);
    if (link.deviceConnected) break;
  }

  if (link.deviceConnected) {
    ReadDeviceCaps(context);
    // Without its report lengths nothing can be written to or read from the
    // joystick; taken as connected it would look connected for ever while
    // nothing reached it. The next scan asks again.
    if (link.deviceCaps.inputReportByteLength == 0 || link.deviceCaps.outputReportByteLength == 0) {
      context.window.AppendLog("  Report lengths unreadable!");
      link.deviceConnected = false;
      CloseIfOpen(context.platform, link.writeHandle);
    }
  }
  if (link.deviceConnected) {
    result = true;
    PrepareReadEvent(context);
    link.readHandle = context.platform.Open(link.devicePath, /*overlapped=*/true);
    context.window.SetConnectionLabel(true);
  } else {
    context.window.AppendLog("  USB device not found!");
    context.window.SetConnectionLabel(false);
  }
  context.window.SelectLastLog();
  return result;
}

void ReadDeviceCaps(LinkContext& context) {
  if (auto caps = context.platform.GetCaps(context.link.writeHandle)) {
    context.link.deviceCaps = *caps;
  }
}

void PrepareReadEvent(LinkContext& context) {
  DeviceLink& link = context.link;
  if (link.readEvent == kNoHandle) link.readEvent = context.platform.CreateReadEvent();
  link.readOverlapped.hEvent = link.readEvent;
}

}  // namespace trivexa::hid
