#include "hid/windows/windows_hid_platform.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trivexa::hid {
namespace {

// A named pipe stands in for the device: the platform opens it as it opens
// a HID interface, and the test's end plays the firmware.
class PipeDevice {
 public:
  PipeDevice()
      : path_("\\\\.\\pipe\\trivexa-test-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++count_)) {}
  ~PipeDevice() {
    for (HANDLE end : ends_) CloseHandle(end);
  }

  // A fresh server end, ready for the next open of the path.
  void Listen() {
    HANDLE end = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                  PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    ASSERT_NE(end, INVALID_HANDLE_VALUE);
    ends_.push_back(end);
  }
  // Sends one report on the most recent end.
  void Send(const std::vector<std::uint8_t>& report) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(ends_.back(), report.data(), static_cast<DWORD>(report.size()), &written,
                          nullptr));
  }
  std::vector<std::uint8_t> Receive() {
    std::vector<std::uint8_t> report(128);
    DWORD got = 0;
    EXPECT_TRUE(
        ReadFile(ends_.back(), report.data(), static_cast<DWORD>(report.size()), &got, nullptr));
    report.resize(got);
    return report;
  }
  const std::string& Path() const { return path_; }

 private:
  static inline int count_ = 0;
  std::string path_;
  std::vector<HANDLE> ends_;
};

TEST(WindowsHidPlatformTest, WritesGoOutWholeThroughThePlainHandleOnly) {
  PipeDevice device;
  device.Listen();
  WindowsHidPlatform platform;
  const Handle plain = platform.Open(device.Path(), false);
  ASSERT_GT(plain, 0);
  const std::vector<std::uint8_t> report = {0x00, 0x3A, 8, 10, 5, 4, 0};
  EXPECT_TRUE(platform.Write(plain, report));
  EXPECT_EQ(device.Receive(), report);

  device.Listen();
  const Handle overlapped = platform.Open(device.Path(), true);
  ASSERT_GT(overlapped, 0);
  EXPECT_FALSE(platform.Write(overlapped, report)) << "reads only";
  EXPECT_FALSE(platform.Write(12345, report));
  EXPECT_EQ(platform.Open("\\\\.\\pipe\\trivexa-no-such-device", false), kInvalidHandle);
}

TEST(WindowsHidPlatformTest,
     AQueuedReportIsCopiedAtOnceAndAPendingReadNeverWritesTheCallersBuffer) {
  PipeDevice device;
  device.Listen();
  WindowsHidPlatform platform;
  const Handle reader = platform.Open(device.Path(), true);
  ASSERT_GT(reader, 0);
  const Handle event = platform.CreateReadEvent();
  ASSERT_GT(event, 0);
  ReadOverlapped overlapped{event};

  const std::vector<std::uint8_t> status = {0x00, 128, 127, 0, 0x5A, 4, 5, 0, 1};
  device.Send(status);
  std::array<std::uint8_t, 9> buffer{};
  EXPECT_EQ(platform.StartRead(reader, buffer, overlapped), 9);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.end()), status);
  EXPECT_EQ(platform.WaitForRead(event, 0), WaitResult::kSignalled);

  // Nothing queued: the read stays outstanding and the wait runs out.
  buffer.fill(0xEE);
  EXPECT_EQ(platform.StartRead(reader, buffer, overlapped), 0);
  EXPECT_EQ(platform.WaitForRead(event, 20), WaitResult::kTimedOut);
  // A report that arrives now ends that read, but only into the platform's
  // own storage: what the caller was given to fill stays as it was.
  device.Send({0x00, 1, 2, 3, 0x6A, 5, 6, 7, 8});
  EXPECT_EQ(platform.WaitForRead(event, 5000), WaitResult::kSignalled);
  EXPECT_EQ(buffer,
            (std::array<std::uint8_t, 9>{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(WindowsHidPlatformTest, ClosingAHandleEndsItsPendingReadAndTheEventServesTheNextDevice) {
  PipeDevice device;
  device.Listen();
  WindowsHidPlatform platform;
  const Handle first = platform.Open(device.Path(), true);
  ASSERT_GT(first, 0);
  const Handle event = platform.CreateReadEvent();
  ReadOverlapped overlapped{event};
  std::array<std::uint8_t, 9> buffer{};
  EXPECT_EQ(platform.StartRead(first, buffer, overlapped), 0);
  platform.Close(first);
  platform.Close(first);  // closing twice does nothing

  device.Listen();
  const Handle second = platform.Open(device.Path(), true);
  ASSERT_GT(second, 0);
  device.Send({0x00, 9, 9, 9, 0x5A, 0, 0, 0, 0});
  EXPECT_EQ(platform.StartRead(second, buffer, overlapped), 9);
  EXPECT_EQ(buffer[4], 0x5A);
}

}  // namespace
}  // namespace trivexa::hid
