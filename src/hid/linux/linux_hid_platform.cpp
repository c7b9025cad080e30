#include "hid/linux/linux_hid_platform.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "hid/linux/product_string.h"
#include "hid/linux/report_descriptor.h"
#include "hid/linux/sysfs_node.h"
#include "hid/system_hid_platform.h"
#include "host/text.h"

namespace trivexa::hid {
namespace {

// hidraw never hands out a report longer than the kernel's HID buffer.
constexpr std::size_t kMaxHidrawReport = 16384;
constexpr short kGoneEvents = POLLERR | POLLHUP | POLLNVAL;

template <typename Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

// How a failure names the node: its path, or what stands in for one.
std::string NodeName(const std::string& path, int fd) {
  return path.empty() ? "descriptor " + std::to_string(fd) : path;
}

std::optional<std::vector<std::uint8_t>> ReadDescriptor(int fd) {
  int size = 0;
  if (RetryOnEintr([&] { return ::ioctl(fd, HIDIOCGRDESCSIZE, &size); }) < 0) return std::nullopt;
  if (size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
    errno = EINVAL;
    return std::nullopt;
  }
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  descriptor->size = static_cast<std::uint32_t>(size);
  if (RetryOnEintr([&] { return ::ioctl(fd, HIDIOCGRDESC, descriptor.get()); }) < 0) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(descriptor->value,
                                   descriptor->value + static_cast<std::size_t>(size));
}

}  // namespace

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
  return std::make_unique<LinuxHidPlatform>();
}

LinuxHidPlatform::LinuxHidPlatform(std::string sysfsDir, std::string devDir)
    : sysfsDir_(std::move(sysfsDir)), devDir_(std::move(devDir)), scratch_(kMaxHidrawReport + 1) {}

LinuxHidPlatform::~LinuxHidPlatform() {
  for (const auto& [handle, node] : nodes_) ::close(node.fd);
}

std::vector<std::string> LinuxHidPlatform::ListInterfaces() {
  std::error_code error;
  std::filesystem::directory_iterator entry(sysfsDir_, error);
  if (error) return {};
  std::vector<std::string> names;
  for (const std::filesystem::directory_iterator end; entry != end;) {
    std::string name = entry->path().filename().string();
    if (IsHidrawName(name)) names.push_back(std::move(name));
    entry.increment(error);
    if (error) return {};
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(devDir_ + "/" + name);
  return paths;
}

Handle LinuxHidPlatform::NextId() {
  // Handles and events share one run of ids; 2^31 of them outlast any run.
  if (lastId_ == std::numeric_limits<Handle>::max()) return kInvalidHandle;
  return ++lastId_;
}

void LinuxHidPlatform::Failed(std::string what, int error) {
  lastError_.text = std::move(what) + ": " + ErrnoText(error);
  lastError_.accessDenied = error == EACCES || error == EPERM;
}

void LinuxHidPlatform::Failed(std::string what) {
  lastError_.text = std::move(what);
  lastError_.accessDenied = false;
}

Handle LinuxHidPlatform::Register(int fd, bool numberedReports, std::string path) {
  const Handle handle = NextId();
  if (!IsOpen(handle)) {
    ::close(fd);
    return kInvalidHandle;
  }
  nodes_[handle] = OpenNode{std::move(path), fd, numberedReports};
  return handle;
}

Handle LinuxHidPlatform::Open(const std::string& path, bool overlapped) {
  // Reads only ever take what is already queued, so the read handle need
  // not block; writes on the plain handle return once the report is out.
  const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | (overlapped ? O_NONBLOCK : 0);
  const int fd = RetryOnEintr([&] { return ::open(path.c_str(), flags); });
  if (fd < 0) {
    const int error = errno;  // before anything else can change it
    Failed("open " + path, error);
    return kInvalidHandle;
  }
  // Without a readable descriptor, take the common case of unnumbered reports.
  bool numbered = false;
  if (auto descriptor = ReadDescriptor(fd)) {
    numbered = ParseReportDescriptor(*descriptor).usesReportIds;
  }
  const Handle handle = Register(fd, numbered, path);
  if (IsOpen(handle)) {
    Succeeded();
  } else {
    Failed("open " + path + ": no handle left");
  }
  return handle;
}

const LinuxHidPlatform::OpenNode* LinuxHidPlatform::Find(Handle handle) const {
  auto node = nodes_.find(handle);
  return node == nodes_.end() ? nullptr : &node->second;
}

void LinuxHidPlatform::Close(Handle handle) {
  auto node = nodes_.find(handle);
  if (node == nodes_.end()) return;
  CancelIo(handle);
  // Not retried on EINTR: Linux has released the descriptor by then, and
  // closing again could hit one that was reused.
  ::close(node->second.fd);
  nodes_.erase(node);
}

std::optional<DeviceAttributes> LinuxHidPlatform::GetAttributes(Handle handle) {
  const OpenNode* node = Find(handle);
  if (node == nullptr) {
    Failed("HIDIOCGRAWINFO: handle " + std::to_string(handle) + " is not open");
    return std::nullopt;
  }
  hidraw_devinfo info{};
  if (RetryOnEintr([&] { return ::ioctl(node->fd, HIDIOCGRAWINFO, &info); }) < 0) {
    const int error = errno;
    Failed("ioctl HIDIOCGRAWINFO " + NodeName(node->path, node->fd), error);
    return std::nullopt;
  }
  Succeeded();
  // hidraw does not tell the version number; it stays 0.
  DeviceAttributes attributes;
  attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
  attributes.productId = static_cast<std::uint16_t>(info.product);
  return attributes;
}

bool LinuxHidPlatform::GetProductString(Handle handle,
                                        std::span<std::uint8_t, kProductStringBytes> buffer) {
  const OpenNode* node = Find(handle);
  if (node == nullptr) {
    Failed("HIDIOCGRAWNAME: handle " + std::to_string(handle) + " is not open");
    return false;
  }
  if (auto product = SysfsUsbProduct(sysfsDir_, node->path)) {
    EncodeProductString(*product, buffer);
    Succeeded();
    return true;
  }
  char name[256] = {};
  if (RetryOnEintr([&] { return ::ioctl(node->fd, HIDIOCGRAWNAME(sizeof(name)), name); }) < 0) {
    const int error = errno;
    Failed("ioctl HIDIOCGRAWNAME " + NodeName(node->path, node->fd), error);
    return false;
  }
  // The kernel cuts a long name without terminator; the zeroed tail bounds it.
  EncodeProductString(std::string_view(name, ::strnlen(name, sizeof(name))), buffer);
  Succeeded();
  return true;
}

std::optional<std::string> LinuxHidPlatform::UsbPort(const std::string& path) {
  return SysfsUsbPort(sysfsDir_, path);
}

std::optional<DeviceAttributes> LinuxHidPlatform::IdentifyUnopened(const std::string& path) {
  return SysfsHidIds(sysfsDir_, path);
}

InterfaceRecord LinuxHidPlatform::Describe(const std::string& path) {
  return SysfsHidRecord(sysfsDir_, path);
}

std::optional<HidCaps> LinuxHidPlatform::GetCaps(Handle handle) {
  const OpenNode* node = Find(handle);
  if (node == nullptr) {
    Failed("HIDIOCGRDESC: handle " + std::to_string(handle) + " is not open");
    return std::nullopt;
  }
  const auto descriptor = ReadDescriptor(node->fd);
  if (!descriptor) {
    const int error = errno;
    Failed("ioctl HIDIOCGRDESC " + NodeName(node->path, node->fd), error);
    return std::nullopt;
  }
  // A descriptor that does not parse leaves the caller's caps as they were,
  // as a failed query does; the kernel would not have bound such a device.
  const ReportLengths lengths = ParseReportDescriptor(*descriptor);
  if (lengths.error != DescriptorError::kNone) {
    Failed("report descriptor of " + NodeName(node->path, node->fd) + " does not parse");
    return std::nullopt;
  }
  Succeeded();
  return HidCaps{lengths.input, lengths.output};
}

Handle LinuxHidPlatform::CreateReadEvent() {
  const Handle event = NextId();
  if (!IsOpen(event)) return kNoHandle;
  events_.insert(event);
  return event;
}

bool LinuxHidPlatform::Write(Handle handle, std::span<const std::uint8_t> report) {
  const OpenNode* node = Find(handle);
  if (node == nullptr) {
    Failed("write: handle " + std::to_string(handle) + " is not open");
    return false;
  }
  if (report.empty()) {
    Failed("write " + NodeName(node->path, node->fd) + ": empty report");
    return false;
  }
  const ssize_t written =
      RetryOnEintr([&] { return ::write(node->fd, report.data(), report.size()); });
  if (written < 0) {
    const int error = errno;
    Failed("write " + NodeName(node->path, node->fd), error);
    return false;
  }
  // hidraw takes a report whole or not at all; anything short is a failure.
  if (static_cast<std::size_t>(written) != report.size()) {
    Failed("write " + NodeName(node->path, node->fd) + ": " + std::to_string(written) + " of " +
           std::to_string(report.size()) + " bytes written");
    return false;
  }
  Succeeded();
  return true;
}

void LinuxHidPlatform::CancelIo(Handle handle) {
  std::erase_if(pending_, [handle](const auto& entry) { return entry.second.handle == handle; });
}

LinuxHidPlatform::ReadOutcome LinuxHidPlatform::ReadOne(const OpenNode& node, std::size_t& length) {
  const std::size_t skip = node.numberedReports ? 0 : 1;
  scratch_[0] = 0;
  const ssize_t got =
      RetryOnEintr([&] { return ::read(node.fd, scratch_.data() + skip, scratch_.size() - skip); });
  if (got < 0) {
    return errno == EAGAIN || errno == EWOULDBLOCK ? ReadOutcome::kNothing : ReadOutcome::kFailed;
  }
  // No report is empty; reading nothing means the other end is gone.
  if (got == 0) return ReadOutcome::kFailed;
  length = static_cast<std::size_t>(got) + skip;
  return ReadOutcome::kReport;
}

std::int32_t LinuxHidPlatform::StartRead(Handle handle, std::span<std::uint8_t> buffer,
                                         ReadOverlapped& overlapped) {
  const Handle event = overlapped.hEvent;
  const bool tracked = events_.contains(event);
  // A new read replaces whatever the event was bound to.
  if (tracked) pending_.erase(event);
  auto remember = [&](bool failed) {
    if (tracked) pending_[event] = PendingRead{handle, failed};
    return 0;
  };

  const OpenNode* node = Find(handle);
  if (node == nullptr) return remember(true);

  // Polled first so that a blocking descriptor never blocks here.
  pollfd poller{node->fd, POLLIN, 0};
  const int ready = RetryOnEintr([&] { return ::poll(&poller, 1, 0); });
  if (ready < 0 || (poller.revents & kGoneEvents) != 0) return remember(true);
  if (ready == 0) return remember(false);

  std::size_t length = 0;
  switch (ReadOne(*node, length)) {
    case ReadOutcome::kNothing:
      return remember(false);
    case ReadOutcome::kFailed:
      return remember(true);
    case ReadOutcome::kReport:
      break;
  }
  const std::size_t count = std::min(length, buffer.size());
  std::copy_n(scratch_.begin(), count, buffer.begin());
  return static_cast<std::int32_t>(count);
}

WaitResult LinuxHidPlatform::WaitForRead(Handle event, std::uint32_t timeoutMs) {
  if (!events_.contains(event)) return WaitResult::kFailed;
  auto pending = pending_.find(event);
  if (pending == pending_.end()) return WaitResult::kSignalled;
  if (pending->second.failed) return WaitResult::kFailed;
  const OpenNode* node = Find(pending->second.handle);
  if (node == nullptr) return WaitResult::kFailed;

  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto fail = [&] {
    pending->second.failed = true;
    return WaitResult::kFailed;
  };

  for (;;) {
    // Rounded up, so the wait never ends before the limit.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int waitMs = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
    pollfd poller{node->fd, POLLIN, 0};
    const int ready = ::poll(&poller, 1, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    if (ready == 0) {
      if (waitMs == 0) return WaitResult::kTimedOut;
      continue;
    }
    if ((poller.revents & kGoneEvents) != 0) return fail();
    if ((poller.revents & POLLIN) == 0) continue;

    // The report that ends the read is taken from the device and dropped.
    std::size_t length = 0;
    switch (ReadOne(*node, length)) {
      case ReadOutcome::kReport:
        pending_.erase(pending);
        return WaitResult::kSignalled;
      case ReadOutcome::kNothing:
        continue;
      case ReadOutcome::kFailed:
        return fail();
    }
  }
}

}  // namespace trivexa::hid
