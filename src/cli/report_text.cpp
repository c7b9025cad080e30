#include "cli/report_text.h"

#include <cctype>
#include <cstdio>

#include "host/text.h"

namespace trivexa::cli {

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += HexText(byte, 2);
  }
  return text;
}

std::string RecordTime(std::int64_t ms) {
  if (ms < 0) ms = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%06lld.%06lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000 * 1000));
  return text;
}

std::string DescriptorLine(std::span<const std::uint8_t> descriptor) {
  std::string line = "R: " + std::to_string(descriptor.size());
  if (!descriptor.empty()) {
    line += ' ';
    line += HexBytes(descriptor);
  }
  return line;
}

std::string EventLine(std::int64_t ms, std::span<const std::uint8_t> report) {
  return "E: " + RecordTime(ms) + " " + std::to_string(report.size()) + " " + HexBytes(report);
}

Transcript::Transcript(const Clock& clock) : clock_(clock), startMs_(clock.NowMs()) {}

void Transcript::Note(std::string_view event) {
  lines_.push_back("# " + RecordTime(Elapsed()) + " " + std::string(event));
}

void Transcript::Report(std::span<const std::uint8_t> report) {
  // Report ID 0 is reserved: a leading zero is the one put in front of a
  // device that numbers no reports.
  if (!report.empty() && report[0] == 0) report = report.subspan(1);
  lines_.push_back(EventLine(Elapsed(), report));
}

hid::Handle RecordingPlatform::Open(const std::string& path, bool overlapped) {
  const hid::Handle handle = Inner().Open(path, overlapped);
  const std::string what = "open " + path + (overlapped ? " for reads" : " for writes") + " -> ";
  if (hid::IsOpen(handle)) {
    transcript_.Note(what + "handle " + std::to_string(handle));
  } else {
    transcript_.Note(what + "failed: " + Inner().LastError().text);
  }
  return handle;
}

void RecordingPlatform::Close(hid::Handle handle) {
  Inner().Close(handle);
  if (hid::IsOpen(handle)) transcript_.Note("close handle " + std::to_string(handle));
}

bool RecordingPlatform::Write(hid::Handle handle, std::span<const std::uint8_t> report) {
  const bool written = Inner().Write(handle, report);
  transcript_.Note("write " + std::to_string(report.size()) + " " + HexBytes(report) + " -> " +
                   (written ? "written" : "failed: " + Inner().LastError().text));
  return written;
}

std::int32_t RecordingPlatform::StartRead(hid::Handle handle, std::span<std::uint8_t> buffer,
                                          hid::ReadOverlapped& overlapped) {
  lastRead_ = Inner().StartRead(handle, buffer, overlapped);
  if (lastRead_ > 0) {
    transcript_.Note("read -> " + std::to_string(lastRead_) + " bytes");
    const auto count = std::min(static_cast<std::size_t>(lastRead_), buffer.size());
    transcript_.Report(buffer.first(count));
  } else {
    transcript_.Note("read -> nothing waiting");
  }
  return lastRead_;
}

hid::WaitResult RecordingPlatform::WaitForRead(hid::Handle event, std::uint32_t timeoutMs) {
  const hid::WaitResult result = Inner().WaitForRead(event, timeoutMs);
  switch (result) {
    case hid::WaitResult::kSignalled:
      // After a read that found a report the wait ends at once: no news.
      if (lastRead_ <= 0) transcript_.Note("wait -> a report came, taken unread");
      break;
    case hid::WaitResult::kTimedOut:
      transcript_.Note("wait -> timed out after " + std::to_string(timeoutMs) + " ms");
      break;
    case hid::WaitResult::kFailed:
      transcript_.Note("wait -> failed");
      break;
  }
  return result;
}

void RecordingClock::Sleep(std::uint32_t milliseconds) {
  transcript_.Note("pause " + std::to_string(milliseconds) + " ms");
  inner_.Sleep(milliseconds);
}

namespace {

// What continues a name or a folder's name: "/root" is not the home
// "/ro", nor "alice2" the user "alice".
bool NameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.';
}

// Replaces `from` where it is not the middle of a longer name; `ownStart`
// asks that nothing of a name comes before it either.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to, bool ownStart) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    const std::size_t end = at + from.size();
    if ((ownStart && at > 0 && NameCharacter(text[at - 1])) ||
        (end < text.size() && NameCharacter(text[end]))) {
      at = end;
      continue;
    }
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

std::string WithoutPrivateTexts(std::string text, const PrivateTexts& privateTexts) {
  // A home of "/" would turn every path into a stand-in.
  if (privateTexts.home.size() > 1) {
    ReplaceAll(text, privateTexts.home, privateTexts.homeStandIn, false);
  }
  for (const std::string& name : privateTexts.names) {
    if (name.size() >= 3) ReplaceAll(text, name, "<private>", true);
  }
  return text;
}

}  // namespace trivexa::cli
