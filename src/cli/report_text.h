#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hid/forwarding_hid_platform.h"
#include "host/clock.h"

namespace trivexa::cli {

// The problem report's lines: the recording lines of the kernel's HID tools
// (D:, N:, I:, P:, R:, E:) and "#" comments for everything they have no
// line for. docs/report.md describes the whole format.

// "00 5a 00" (lower case, one blank between bytes).
std::string HexBytes(std::span<const std::uint8_t> bytes);
// Seconds and microseconds, as the E: line has them: "000001.264000".
std::string RecordTime(std::int64_t ms);
// "R: 50 05 01 ..." and "E: 000001.264000 8 80 7f ...".
std::string DescriptorLine(std::span<const std::uint8_t> descriptor);
std::string EventLine(std::int64_t ms, std::span<const std::uint8_t> report);

// The timed transcript of one exchange with the joystick: every open,
// write, read, wait and pause, each with its time from the start and its
// outcome, and each input report read also as an E: line.
class Transcript {
 public:
  explicit Transcript(const Clock& clock);

  void Note(std::string_view event);
  // A report as a read returned it ([report ID, data...]); the E: line
  // leaves out a zero ID, which hidraw never hands out.
  void Report(std::span<const std::uint8_t> report);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::int64_t Elapsed() const { return clock_.NowMs() - startMs_; }

  const Clock& clock_;
  std::int64_t startMs_;
  std::vector<std::string> lines_;
};

// Passes every call on and writes the ones that reach the joystick's nodes
// into the transcript.
class RecordingPlatform final : public hid::ForwardingHidPlatform {
 public:
  RecordingPlatform(hid::HidPlatform& inner, Transcript& transcript)
      : ForwardingHidPlatform(inner), transcript_(transcript) {}

  hid::Handle Open(const std::string& path, bool overlapped) override;
  void Close(hid::Handle handle) override;
  bool Write(hid::Handle handle, std::span<const std::uint8_t> report) override;
  std::int32_t StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                         hid::ReadOverlapped& overlapped) override;
  hid::WaitResult WaitForRead(hid::Handle event, std::uint32_t timeoutMs) override;

 private:
  Transcript& transcript_;
  std::int32_t lastRead_ = 0;
};

// Passes every pause on and notes it in the transcript.
class RecordingClock final : public Clock {
 public:
  RecordingClock(Clock& inner, Transcript& transcript) : inner_(inner), transcript_(transcript) {}

  void Sleep(std::uint32_t milliseconds) override;
  std::int64_t NowMs() const override { return inner_.NowMs(); }

 private:
  Clock& inner_;
  Transcript& transcript_;
};

// What a report must not carry, and what stands in for it.
struct PrivateTexts {
  std::string home;                // the home folder's path
  std::string homeStandIn;         // "~", "%USERPROFILE%"
  std::vector<std::string> names;  // the user's and the machine's names
};

// `text` with the home folder written as its stand-in and every name as
// "<private>". Names shorter than three characters are left alone: they
// would eat into ordinary words.
std::string WithoutPrivateTexts(std::string text, const PrivateTexts& privateTexts);

}  // namespace trivexa::cli
