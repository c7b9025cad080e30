#include "hid/linux/linux_hid_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fakes/temp_dir.h"
#include "hid/system_hid_platform.h"

namespace trivexa::hid {

// Registers a descriptor as if Open had opened a node: a SOCK_SEQPACKET
// socket keeps report boundaries as hidraw does, and its peer plays the
// device.
struct LinuxHidPlatformPeer {
  static Handle Adopt(LinuxHidPlatform& platform, int fd, bool numberedReports) {
    return platform.Register(fd, numberedReports, {});
  }
};

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(LinuxHidEnumerationTest, ListsHidrawNodesInNaturalOrderAndNothingElse) {
  fakes::TempDir temp;
  const fs::path sys = temp.path() / "sys";
  fs::create_directories(sys / "devices" / "hidraw10");
  for (const char* dir : {"hidraw2", "hidraw0", "hidraw100", "junk", "hidraw", "hidrawX",
                          "hidraw1a", "hidraw01", "xhidraw3"}) {
    fs::create_directory(sys / dir);
  }
  fakes::WriteFile(sys / "hidraw9", "");  // entry kind does not matter
  fakes::WriteFile(sys / "hidraw1", "");
  fs::create_directory_symlink(sys / "devices" / "hidraw10", sys / "hidraw10");

  LinuxHidPlatform platform(sys.string(), "/fake/dev");
  const std::vector<std::string> expected = {"/fake/dev/hidraw0",  "/fake/dev/hidraw1",
                                             "/fake/dev/hidraw2",  "/fake/dev/hidraw9",
                                             "/fake/dev/hidraw10", "/fake/dev/hidraw100"};
  EXPECT_EQ(platform.ListInterfaces(), expected);
  EXPECT_EQ(platform.ListInterfaces(), expected);  // the same on every scan

  EXPECT_TRUE(LinuxHidPlatform((temp.path() / "missing").string()).ListInterfaces().empty());
  EXPECT_TRUE(LinuxHidPlatform((sys / "hidraw1").string()).ListInterfaces().empty());
  fs::create_directory(temp.path() / "empty");
  EXPECT_TRUE(LinuxHidPlatform((temp.path() / "empty").string()).ListInterfaces().empty());

  // The system backend looks at the real folders; only its kind is checked.
  EXPECT_NE(dynamic_cast<LinuxHidPlatform*>(MakeSystemHidPlatform().get()), nullptr);
}

TEST(LinuxHidHandleTest, OpenFailsCleanlyAndQueriesFailOnNodesThatAreNotHidraw) {
  fakes::TempDir temp;
  LinuxHidPlatform platform(temp.path().string(), temp.path().string());
  EXPECT_EQ(platform.Open((temp.path() / "hidraw7").string(), false), kInvalidHandle);
  EXPECT_EQ(platform.Open(temp.path().string(), true), kInvalidHandle);  // a folder

  fakes::WriteFile(temp.path() / "plain", "not a device");
  const Handle handle = platform.Open((temp.path() / "plain").string(), false);
  ASSERT_TRUE(IsOpen(handle));
  EXPECT_FALSE(platform.GetAttributes(handle).has_value());
  EXPECT_FALSE(platform.GetCaps(handle).has_value());
  std::array<std::uint8_t, kProductStringBytes> product{};
  product.fill(0xEE);
  EXPECT_FALSE(platform.GetProductString(handle, product));
  EXPECT_EQ(product[0], 0xEE);
  platform.Close(handle);

  // Queries on handles that are not open fail without touching anything.
  for (Handle bad : {kInvalidHandle, kNoHandle, handle, Handle{4242}}) {
    EXPECT_FALSE(platform.GetAttributes(bad).has_value());
    EXPECT_FALSE(platform.GetCaps(bad).has_value());
    EXPECT_FALSE(platform.GetProductString(bad, product));
    EXPECT_FALSE(platform.Write(bad, Bytes{0, 1}));
  }
}

TEST(LinuxHidHandleTest, CloseReleasesTheDescriptorExactlyOnce) {
  LinuxHidPlatform platform;
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  const int fd = pair[0];
  const Handle handle = LinuxHidPlatformPeer::Adopt(platform, fd, false);
  ASSERT_TRUE(IsOpen(handle));

  for (Handle bad : {kInvalidHandle, kNoHandle, Handle{4242}}) platform.Close(bad);
  EXPECT_NE(::fcntl(fd, F_GETFD), -1) << "closing an unknown handle closed a descriptor";

  platform.Close(handle);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  std::uint8_t byte = 0;
  EXPECT_EQ(::recv(pair[1], &byte, 1, MSG_DONTWAIT), 0);  // the peer sees the end

  // The number comes back for something else; a second close must spare it.
  ASSERT_EQ(::dup2(pair[1], fd), fd);
  platform.Close(handle);
  EXPECT_NE(::fcntl(fd, F_GETFD), -1) << "a handle closed twice closed a reused descriptor";
  ::close(fd);
  ::close(pair[1]);
}

TEST(LinuxHidHandleTest, DescriptorZeroStillGetsAnOpenHandle) {
  LinuxHidPlatform platform;
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  const int savedStdin = ::dup(0);
  ASSERT_GE(savedStdin, 0);
  ASSERT_EQ(::dup2(pair[0], 0), 0);
  ::close(pair[0]);

  const Handle handle = LinuxHidPlatformPeer::Adopt(platform, 0, false);
  EXPECT_TRUE(IsOpen(handle));
  const Bytes report = {0x00, 0x5A};
  EXPECT_TRUE(platform.Write(handle, report));
  std::array<std::uint8_t, 8> got{};
  EXPECT_EQ(::recv(pair[1], got.data(), got.size(), MSG_DONTWAIT), 2);
  platform.Close(handle);
  EXPECT_EQ(::fcntl(0, F_GETFD), -1);

  ::dup2(savedStdin, 0);
  ::close(savedStdin);
  ::close(pair[1]);
}

// The platform's end of a socket pair stands in for an open hidraw node; the
// test plays the device on the other end.
class LinuxHidIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Where a gone hidraw device fails a write with ENODEV, a socket whose
    // peer is gone raises SIGPIPE: it must fail the write here too.
    ::signal(SIGPIPE, SIG_IGN);
    Connect(false);
  }
  void TearDown() override { ClosePeer(); }

  void Connect(bool numberedReports) {
    ClosePeer();
    if (IsOpen(device_)) platform_.Close(device_);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
    device_ = LinuxHidPlatformPeer::Adopt(platform_, pair[0], numberedReports);
    peer_ = pair[1];
    ASSERT_TRUE(IsOpen(device_));
  }
  void ClosePeer() {
    if (peer_ >= 0) ::close(peer_);
    peer_ = -1;
  }
  void DeviceSends(const Bytes& report) {
    ASSERT_EQ(::send(peer_, report.data(), report.size(), 0), static_cast<ssize_t>(report.size()));
  }
  std::int32_t Read(std::span<std::uint8_t> buffer) {
    return platform_.StartRead(device_, buffer, overlapped_);
  }

  LinuxHidPlatform platform_;
  Handle device_ = kNoHandle;
  int peer_ = -1;
  Handle event_ = platform_.CreateReadEvent();
  ReadOverlapped overlapped_{event_};
};

TEST_F(LinuxHidIoTest, QueuedReportsAreReturnedAtOnceWithTheIdByteFirst) {
  const Bytes status = {0x11, 0x22, 0x33, 0x5A, 0x44, 0x55, 0x66, 0x77};
  const Bytes position = {0x01, 0x02, 0x03, 0x6A, 0x05};
  DeviceSends(status);
  DeviceSends(position);

  std::array<std::uint8_t, 16> bytes{};
  bytes.fill(0xEE);
  EXPECT_EQ(Read(std::span(bytes).first(9)), 9);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 9),
            (Bytes{0x00, 0x11, 0x22, 0x33, 0x5A, 0x44, 0x55, 0x66, 0x77}));
  EXPECT_EQ(bytes[4], 0x5A);  // where the reply tag is looked for
  EXPECT_EQ(bytes[9], 0xEE);
  const auto start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 50), WaitResult::kSignalled);
  EXPECT_LT(MsSince(start), 25);

  // The next report keeps its own boundary.
  EXPECT_EQ(Read(std::span(bytes).first(9)), 6);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0x00, 0x01, 0x02, 0x03, 0x6A, 0x05}));
  EXPECT_EQ(Read(std::span(bytes).first(9)), 0);  // queue drained

  // A report longer than the buffer is cut to it, and taken whole.
  bytes.fill(0xEE);
  DeviceSends(status);
  DeviceSends(position);
  EXPECT_EQ(Read(std::span(bytes).first(5)), 5);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0x00, 0x11, 0x22, 0x33, 0x5A, 0xEE}));
  EXPECT_EQ(Read(std::span(bytes).first(9)), 6);
  EXPECT_EQ(bytes[4], 0x6A);
}

TEST_F(LinuxHidIoTest, NumberedReportsAreReturnedAsTheyCome) {
  Connect(true);
  DeviceSends({0x02, 0xA0, 0xA1, 0xA2});
  std::array<std::uint8_t, 9> bytes{};
  EXPECT_EQ(Read(bytes), 4);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5), (Bytes{0x02, 0xA0, 0xA1, 0xA2, 0x00}));
}

TEST_F(LinuxHidIoTest, ASilentDeviceTimesOutAndTheReadStaysPendingUntilCancelled) {
  std::array<std::uint8_t, 9> bytes{};
  EXPECT_EQ(Read(bytes), 0);

  auto start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 30), WaitResult::kTimedOut);
  long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 30);
  EXPECT_LT(elapsed, 500);

  // Cancelling another handle's I/O leaves this read alone.
  int other[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, other), 0);
  const Handle otherHandle = LinuxHidPlatformPeer::Adopt(platform_, other[0], false);
  platform_.CancelIo(otherHandle);
  start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kTimedOut);
  EXPECT_GE(MsSince(start), 20);
  platform_.Close(otherHandle);
  ::close(other[1]);

  platform_.CancelIo(device_);
  start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 200), WaitResult::kSignalled);
  EXPECT_LT(MsSince(start), 100);

  // A handle being closed ends its pending read too.
  EXPECT_EQ(Read(bytes), 0);
  platform_.Close(device_);
  device_ = kNoHandle;
  EXPECT_EQ(platform_.WaitForRead(event_, 200), WaitResult::kSignalled);
}

TEST_F(LinuxHidIoTest, AReportEndingAPendingReadIsTakenAndDropped) {
  std::array<std::uint8_t, 9> bytes{};
  EXPECT_EQ(Read(bytes), 0);
  std::thread device([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    DeviceSends({0x01, 0x02, 0x03, 0x5A});
  });
  const auto start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 2000), WaitResult::kSignalled);
  EXPECT_LT(MsSince(start), 1000);
  device.join();
  // The read has ended: the event stays signalled until the next read.
  const auto again = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 200), WaitResult::kSignalled);
  EXPECT_LT(MsSince(again), 100);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 9>{}));  // never seen by the caller
  EXPECT_EQ(Read(bytes), 0);                          // and gone from the queue

  // The same when it arrived between the start of the read and the wait,
  // and also after a wait that timed out.
  EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kTimedOut);
  DeviceSends({0x01, 0x02, 0x03, 0x6A});
  EXPECT_EQ(platform_.WaitForRead(event_, 2000), WaitResult::kSignalled);
  EXPECT_EQ(Read(bytes), 0);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 9>{}));
}

TEST_F(LinuxHidIoTest, AGoneDeviceFailsTheWaitAndTheWrite) {
  std::array<std::uint8_t, 9> bytes{};
  {
    // Gone during the wait.
    EXPECT_EQ(Read(bytes), 0);
    std::thread unplug([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      ClosePeer();
    });
    const auto start = Clock::now();
    EXPECT_EQ(platform_.WaitForRead(event_, 2000), WaitResult::kFailed);
    EXPECT_LT(MsSince(start), 1000);
    unplug.join();
    // It stays failed until the read is cancelled.
    EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kFailed);
  }
  {
    // Already gone when the read starts: the read fails at once and the wait
    // says so without waiting.
    EXPECT_EQ(Read(bytes), 0);
    const auto start = Clock::now();
    EXPECT_EQ(platform_.WaitForRead(event_, 2000), WaitResult::kFailed);
    EXPECT_LT(MsSince(start), 100);
  }
  EXPECT_FALSE(platform_.Write(device_, Bytes{0x00, 0x5A, 0, 0, 0, 0}));
}

TEST_F(LinuxHidIoTest, ReadsOnAHandleThatIsNotOpenFailTheWait) {
  std::array<std::uint8_t, 9> bytes{};
  bytes.fill(0xEE);
  for (Handle bad : {kInvalidHandle, kNoHandle, Handle{4242}}) {
    EXPECT_EQ(platform_.StartRead(bad, bytes, overlapped_), 0);
    EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kFailed);
  }
  EXPECT_EQ(bytes[0], 0xEE);
  // A fresh read on the good handle clears the failure bound to the event.
  DeviceSends({0x07});
  EXPECT_EQ(Read(bytes), 2);
  EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kSignalled);
}

TEST_F(LinuxHidIoTest, EventsAreDistinctAndOnlyRealEventsCanBeWaitedOn) {
  const Handle second = platform_.CreateReadEvent();
  EXPECT_TRUE(IsOpen(event_));
  EXPECT_TRUE(IsOpen(second));
  EXPECT_NE(event_, second);
  EXPECT_NE(second, device_);
  EXPECT_EQ(platform_.WaitForRead(second, 20), WaitResult::kSignalled);  // created signalled
  EXPECT_EQ(platform_.WaitForRead(kNoHandle, 20), WaitResult::kFailed);
  EXPECT_EQ(platform_.WaitForRead(device_, 20), WaitResult::kFailed);

  // A read bound to one event leaves the other signalled.
  std::array<std::uint8_t, 9> bytes{};
  EXPECT_EQ(Read(bytes), 0);
  EXPECT_EQ(platform_.WaitForRead(second, 20), WaitResult::kSignalled);
  EXPECT_EQ(platform_.WaitForRead(event_, 20), WaitResult::kTimedOut);
}

TEST_F(LinuxHidIoTest, WritesGoOutWholeAsGiven) {
  const Bytes report = {0x00, 0x3A, 0x04, 0x05, 0x00, 0x01};
  EXPECT_TRUE(platform_.Write(device_, report));
  std::array<std::uint8_t, 80> got{};
  ASSERT_EQ(::recv(peer_, got.data(), got.size(), MSG_DONTWAIT),
            static_cast<ssize_t>(report.size()));
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 6), report);

  Bytes full(65, 0);
  full[1] = 0x5A;
  EXPECT_TRUE(platform_.Write(device_, full));
  EXPECT_EQ(::recv(peer_, got.data(), got.size(), MSG_DONTWAIT), 65);
  EXPECT_EQ(got[0], 0x00);
  EXPECT_EQ(got[1], 0x5A);

  EXPECT_FALSE(platform_.Write(device_, Bytes{}));
}

void IgnoreSignal(int) {}

TEST_F(LinuxHidIoTest, ASignalDuringTheWaitDoesNotEndItEarly) {
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = IgnoreSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

  std::array<std::uint8_t, 9> bytes{};
  EXPECT_EQ(Read(bytes), 0);
  const pthread_t waiter = ::pthread_self();
  std::thread interrupter([waiter] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::pthread_kill(waiter, SIGUSR1);
  });
  const auto start = Clock::now();
  EXPECT_EQ(platform_.WaitForRead(event_, 60), WaitResult::kTimedOut);
  const long elapsed = MsSince(start);
  interrupter.join();
  EXPECT_GE(elapsed, 60);
  EXPECT_LT(elapsed, 500);  // the remaining time, not the whole limit again and again

  ::sigaction(SIGUSR1, &previous, nullptr);
}

// Real hidraw calls against the virtual joystick (tests/vjoy): run only by
// the LinuxHidOverVjoy test, which starts this program under it with
// two_joysticks.scenario. The report descriptor the node gives decides
// whether reads bring the report ID first or get a 0 put in front.
TEST(DISABLED_LinuxHidOverVjoyTest, TheNodesDescriptorGivesTheLengthsAndTheReportIdByte) {
  LinuxHidPlatform platform;
  const std::vector<std::string> paths = platform.ListInterfaces();
  ASSERT_EQ(paths, (std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw1"}));
  EXPECT_EQ(platform.UsbPort(paths[0]), "1-2.3");
  EXPECT_EQ(platform.UsbPort(paths[1]), std::nullopt);  // not on USB
  const Handle event = platform.CreateReadEvent();
  for (const std::uint8_t reportId : {std::uint8_t{0}, std::uint8_t{2}}) {
    SCOPED_TRACE("report ID " + std::to_string(reportId));
    const std::string& path = paths[reportId == 0 ? 0 : 1];
    const Handle writer = platform.Open(path, false);
    const Handle reader = platform.Open(path, true);
    ASSERT_TRUE(IsOpen(writer) && IsOpen(reader)) << platform.LastError().text;

    const std::optional<HidCaps> caps = platform.GetCaps(writer);
    ASSERT_TRUE(caps) << platform.LastError().text;
    EXPECT_EQ(caps->inputReportByteLength, 9);  // 8 bytes and the ID byte
    EXPECT_EQ(caps->outputReportByteLength, 65);
    EXPECT_TRUE(platform.LastError().text.empty());
    // The USB device's product string, or the kernel's name where there is
    // no USB device.
    std::array<std::uint8_t, kProductStringBytes> product{};
    ASSERT_TRUE(platform.GetProductString(writer, product)) << platform.LastError().text;
    const std::string name = reportId == 0 ? "USB Joystick" : "Pad over the air";
    for (std::size_t i = 0; i <= name.size(); ++i) {
      EXPECT_EQ(product[2 * i], i < name.size() ? name[i] : 0) << i;
    }

    Bytes query(caps->outputReportByteLength, 0);
    query[0] = reportId;
    query[1] = 0x5A;
    ASSERT_TRUE(platform.Write(writer, query)) << platform.LastError().text;
    ReadOverlapped overlapped{event};
    std::array<std::uint8_t, 9> reply{};
    std::int32_t count = platform.StartRead(reader, reply, overlapped);
    if (count == 0) {
      ASSERT_EQ(platform.WaitForRead(event, 1000), WaitResult::kSignalled);
      count = platform.StartRead(reader, reply, overlapped);
    }
    EXPECT_EQ(count, 9);
    // The ID byte, then X, Y, a zero and the tag of the status reply.
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), (Bytes{reportId, 128, 127, 0, 0x5A}));
    platform.Close(reader);
    platform.Close(writer);
  }
}

}  // namespace
}  // namespace trivexa::hid
