#include "protocol/exchange.h"

#include <algorithm>
#include <span>
#include <vector>

#include "hid/discovery.h"

namespace trivexa::protocol {

void SendCommand(hid::LinkContext& context, const settings::JoystickSettings& settings,
                 std::uint8_t code) {
  hid::DeviceLink& link = context.link;
  if (!link.deviceConnected) {
    if (!link.deviceEverFound) return;
    link.deviceConnected = hid::FindTheHid(context);
  }
  if (!link.deviceConnected) return;

  const OutputReport report = BuildOutputReport(code, settings);
  context.platform.CancelIo(link.writeHandle);

  // The device's own output report length is what it takes. A shorter one
  // gets the head of the report; a longer one gets the report padded with
  // zeros, never bytes from past its end. Without a length nothing can be
  // written: that is a failed write, so the link does not stay "connected"
  // with nothing reaching the device.
  const std::size_t length = link.deviceCaps.outputReportByteLength;
  if (length == 0) {
    link.deviceConnected = false;
    return;
  }
  bool written = false;
  if (length <= report.size()) {
    written = context.platform.Write(link.writeHandle, std::span(report).first(length));
  } else {
    std::vector<std::uint8_t> padded(length, 0);
    std::copy(report.begin(), report.end(), padded.begin());
    written = context.platform.Write(link.writeHandle, padded);
  }
  if (!written) link.deviceConnected = false;
}

Received ReceiveReport(hid::LinkContext& context) {
  hid::DeviceLink& link = context.link;
  if (!link.deviceConnected && !link.deviceEverFound) return {};

  // The buffer is at least the nine bytes a reply is read from, however
  // short the device's reports are; the read asks for the report length.
  const std::size_t inputLength = link.deviceCaps.inputReportByteLength;
  const std::span<std::uint8_t> buffer = link.readBuffer.Prepare(inputLength);
  const std::span<std::uint8_t> request = buffer.first(inputLength);

  const std::int32_t count =
      context.platform.StartRead(link.readHandle, request, link.readOverlapped);

  switch (context.platform.WaitForRead(link.readEvent, kReadWaitMs)) {
    case hid::WaitResult::kSignalled:
      break;
    case hid::WaitResult::kTimedOut:
      context.platform.CancelIo(link.readHandle);
      break;
    case hid::WaitResult::kFailed:
      context.window.AppendLog("Readfile undefined error");
      link.deviceConnected = false;
      break;
  }

  // Only a report that was queued when the read started is counted and
  // decoded; one taken during the wait is dropped. The reply is made from
  // the bytes the read returned, never from the zeros behind them.
  const std::size_t received =
      count > 0 ? std::min(static_cast<std::size_t>(count), request.size()) : std::size_t{0};
  return Received{count, DecodeReply(buffer.first(received))};
}

}  // namespace trivexa::protocol
