// The calls on /dev/hidrawN and on its open descriptors, as hidraw answers
// them: open, stat, access, read, write, ioctl, close and poll.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "firmware.h"
#include "sysfs_tree.h"
#include "vjoy_core.h"
#include "vjoy_state.h"

namespace vjoy {
namespace {

// hidraw refuses writes longer than the kernel's HID buffer, or shorter
// than a report ID and one byte.
constexpr std::size_t kMaxWrite = 16384;
constexpr std::size_t kMinWrite = 2;

template <typename Stat>
void FillNodeStat(unsigned number, Stat& out) {
  std::memset(&out, 0, sizeof(out));
  out.st_mode = S_IFCHR | 0660;
  out.st_rdev = makedev(kHidrawMajor, number);
  out.st_dev = makedev(0, 5);
  out.st_ino = 100000 + number;
  out.st_nlink = 1;
  out.st_blksize = 4096;
}

void FillNodeStatx(unsigned number, struct statx& out) {
  std::memset(&out, 0, sizeof(out));
  out.stx_mask = STATX_BASIC_STATS;
  out.stx_mode = S_IFCHR | 0660;
  out.stx_rdev_major = kHidrawMajor;
  out.stx_rdev_minor = number;
  out.stx_dev_minor = 5;
  out.stx_ino = 100000 + number;
  out.stx_nlink = 1;
  out.stx_blksize = 4096;
}

int Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace
}  // namespace vjoy

using namespace vjoy;

extern "C" {

int vjoy_is_node_fd(int fd) { return FileOf(fd) != nullptr ? 1 : 0; }

int vjoy_open_node(unsigned number, const char* path, int flags) {
  std::unique_lock lock(g_state->mutex);
  Device* device = FindDevice(number);
  const char* mode = (flags & O_ACCMODE) == O_RDONLY   ? "ro"
                     : (flags & O_ACCMODE) == O_WRONLY ? "wo"
                                                       : "rw";
  const char* blocking = (flags & O_NONBLOCK) != 0 ? ",nonblock" : "";
  auto refuse = [&](int error) {
    Log("open %s flags=%s%s -> err=%s", path, mode, blocking, ErrorName(error));
    return Fail(error);
  };
  if (device == nullptr || !device->present) return refuse(ENOENT);
  if (device->virtualInterface.denied) return refuse(EACCES);

  int ends[2];
  const int cloexec = (flags & O_CLOEXEC) != 0 ? SOCK_CLOEXEC : 0;
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | cloexec, 0, ends) != 0) return refuse(errno);
  if (ends[0] >= kMaxFd) {
    ::syscall(SYS_close, ends[0]);
    ::syscall(SYS_close, ends[1]);
    return refuse(EMFILE);
  }
  ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  if ((flags & O_NONBLOCK) != 0) ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
  // Room for a full queue of the longest reports.
  const int buffer = 1 << 20;
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof(buffer));

  auto* file = new OpenFile;
  file->fd = ends[0];
  file->peer = ends[1];
  file->device = device;
  file->generation = device->generation;
  file->accessMode = flags & O_ACCMODE;
  device->files.push_back(file);
  g_files[file->fd].store(file, std::memory_order_release);
  StartStreamLocked(*device);
  Log("open %s flags=%s%s -> fd=%d", path, mode, blocking, file->fd);
  return file->fd;
}

int vjoy_node_stat(unsigned number, struct stat* out) {
  std::lock_guard lock(g_state->mutex);
  const Device* device = FindDevice(number);
  if (device == nullptr || !device->present) return Fail(ENOENT);
  FillNodeStat(number, *out);
  return 0;
}

int vjoy_node_statx(unsigned number, struct statx* out) {
  std::lock_guard lock(g_state->mutex);
  const Device* device = FindDevice(number);
  if (device == nullptr || !device->present) return Fail(ENOENT);
  FillNodeStatx(number, *out);
  return 0;
}

int vjoy_node_access(unsigned number, int mode) {
  std::lock_guard lock(g_state->mutex);
  const Device* device = FindDevice(number);
  if (device == nullptr || !device->present) return Fail(ENOENT);
  if (device->virtualInterface.denied && (mode & (R_OK | W_OK)) != 0) return Fail(EACCES);
  return 0;
}

int vjoy_fd_stat(int fd, struct stat* out) {
  const OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  FillNodeStat(file->device->virtualInterface.number, *out);
  return 0;
}

int vjoy_fd_statx(int fd, struct statx* out) {
  const OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  FillNodeStatx(file->device->virtualInterface.number, *out);
  return 0;
}

ssize_t vjoy_read(int fd, void* buffer, size_t count) {
  OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  const unsigned number = file->device->virtualInterface.number;
  bool alive = false;
  {
    std::lock_guard lock(g_state->mutex);
    alive = Alive(*file);
  }
  auto fail = [&](int error) {
    Log("read hidraw%u fd=%d len=%zu -> err=%s", number, fd, count, ErrorName(error));
    return Fail(error);
  };
  if (file->accessMode == O_WRONLY) return fail(EBADF);
  // hidraw hands out what was queued before the unplug, then fails.
  if (!alive && file->queued.load() == 0) return fail(EIO);
  const ssize_t got = ::syscall(SYS_read, fd, buffer, count);
  if (got < 0) return fail(errno);
  if (got == 0) return fail(EIO);  // the fixture's end shut down: unplugged
  file->queued.fetch_sub(1);
  Log("read hidraw%u fd=%d len=%zu -> %zd bytes=%s", number, fd, count, got,
      Hex(buffer, static_cast<std::size_t>(got)).c_str());
  return got;
}

ssize_t vjoy_write(int fd, const void* buffer, size_t count) {
  OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  std::lock_guard lock(g_state->mutex);
  Device& device = *file->device;
  const unsigned number = device.virtualInterface.number;
  const std::string bytes = Hex(buffer, std::min(count, kMaxWrite));
  auto fail = [&](int error) {
    Log("write hidraw%u fd=%d len=%zu -> err=%s bytes=%s", number, fd, count, ErrorName(error),
        bytes.c_str());
    return Fail(error);
  };
  if (file->accessMode == O_RDONLY) return fail(EBADF);
  if (!Alive(*file)) return fail(ENODEV);
  if (count < kMinWrite || count > kMaxWrite) return fail(EINVAL);

  // A write the scenario or the recording has fail never reaches the
  // firmware.
  const std::uint8_t command = static_cast<const std::uint8_t*>(buffer)[1];
  const unsigned attempt = ++device.writeAttempts[command];
  std::optional<ReplayFirmware::Answer> answer;
  if (device.replay) answer = device.replay->OnCommand(command);
  int failure = answer ? answer->writeError : 0;
  for (const FailedWrite& failed : device.virtualInterface.failedWrites) {
    if (failed.command == command && failed.count == attempt) failure = failed.error;
  }
  if (failure != 0) {
    if (answer) {
      Log("firmware hidraw%u replay step %zu 0x%02x failed", number, answer->step, command);
    }
    return fail(failure);
  }
  Log("write hidraw%u fd=%d len=%zu -> %zu bytes=%s", number, fd, count, count, bytes.c_str());

  // As usbhid does: a zero report ID is not sent on the wire.
  std::span<const std::uint8_t> wire(static_cast<const std::uint8_t*>(buffer), count);
  if (wire[0] == 0) wire = wire.subspan(1);
  ++device.commandCounts[command];
  if (device.firmware) {
    auto reply = device.firmware->OnOutput(wire);
    if (command == kClose) Log("firmware hidraw%u close", number);
    if (command == kWriteConfig) {
      const auto& eeprom = device.firmware->Eeprom();
      Log("firmware hidraw%u eeprom=%u,%u,%u,%u", number, eeprom[0], eeprom[1], eeprom[2],
          eeprom[3]);
    }
    if (answer) {
      ReplayLocked(device, command, std::move(*answer));
    } else if (reply) {
      if (device.virtualInterface.replyDelayMs == 0) {
        DeliverLocked(device, *reply);
      } else {
        Action action;
        action.kind = Action::Kind::kDeliver;
        action.atMs = NowMs() + device.virtualInterface.replyDelayMs;
        action.device = &device;
        action.generation = device.generation;
        action.report = std::move(*reply);
        Schedule(std::move(action));
      }
    }
  }
  FireTriggers(device, Trigger::Kind::kAfterCommand, command);
  return static_cast<ssize_t>(count);
}

int vjoy_ioctl(int fd, unsigned long request, void* argument) {
  OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  std::lock_guard lock(g_state->mutex);
  const VirtualInterface& virtualInterface = file->device->virtualInterface;
  const unsigned number = virtualInterface.number;
  const char* name = "other";
  int result = 0;
  int error = 0;
  auto copyText = [&](const std::string& text) {
    // As the kernel: the text with its terminator, cut to the buffer.
    const std::size_t length = std::min<std::size_t>(text.size() + 1, _IOC_SIZE(request));
    std::memcpy(argument, text.c_str(), length);
    return static_cast<int>(length);
  };
  if (!Alive(*file)) {
    error = ENODEV;
  } else if (_IOC_TYPE(request) != 'H') {
    error = ENOTTY;
  } else {
    switch (_IOC_NR(request)) {
      case _IOC_NR(HIDIOCGRDESCSIZE):
        name = "HIDIOCGRDESCSIZE";
        *static_cast<int*>(argument) = static_cast<int>(virtualInterface.descriptor.size());
        break;
      case _IOC_NR(HIDIOCGRDESC): {
        name = "HIDIOCGRDESC";
        auto* descriptor = static_cast<hidraw_report_descriptor*>(argument);
        if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
          error = EINVAL;
          break;
        }
        std::memcpy(descriptor->value, virtualInterface.descriptor.data(),
                    std::min<std::size_t>(descriptor->size, virtualInterface.descriptor.size()));
        break;
      }
      case _IOC_NR(HIDIOCGRAWINFO): {
        name = "HIDIOCGRAWINFO";
        auto* info = static_cast<hidraw_devinfo*>(argument);
        info->bustype = virtualInterface.bus;
        info->vendor = static_cast<__s16>(virtualInterface.vendor);
        info->product = static_cast<__s16>(virtualInterface.product);
        break;
      }
      case _IOC_NR(HIDIOCGRAWNAME(0)):
        name = "HIDIOCGRAWNAME";
        result = copyText(virtualInterface.name);
        break;
      case _IOC_NR(HIDIOCGRAWPHYS(0)):
        name = "HIDIOCGRAWPHYS";
        result = copyText("usb-vjoy-" + std::to_string(number + 1) + "/input0");
        break;
      default:
        // Feature and get/set report requests: this device has no such reports.
        error = EIO;
        break;
    }
  }
  if (error != 0) {
    Log("ioctl hidraw%u fd=%d %s -> err=%s", number, fd, name, ErrorName(error));
    return Fail(error);
  }
  Log("ioctl hidraw%u fd=%d %s -> %d", number, fd, name, result);
  return result;
}

int vjoy_close(int fd) {
  OpenFile* file = FileOf(fd);
  if (file == nullptr) return Fail(EBADF);
  {
    std::lock_guard lock(g_state->mutex);
    std::erase(file->device->files, file);
    g_files[fd].store(nullptr, std::memory_order_release);
    ::syscall(SYS_close, file->peer);
    Log("close hidraw%u fd=%d", file->device->virtualInterface.number, fd);
  }
  delete file;
  return static_cast<int>(::syscall(SYS_close, fd));
}

int vjoy_fix_poll(struct pollfd* fds, nfds_t count, int result) {
  if (result < 0) return result;
  bool touched = false;
  for (nfds_t i = 0; i < count; ++i) {
    OpenFile* file = FileOf(fds[i].fd);
    if (file == nullptr) continue;
    touched = true;
    std::lock_guard lock(g_state->mutex);
    // hidraw: always writable; readable while reports are queued; an
    // unplugged node adds POLLERR|POLLHUP.
    short events = POLLOUT | POLLWRNORM;
    if (file->queued.load() > 0) events |= POLLIN | POLLRDNORM;
    events &= fds[i].events;
    if (!Alive(*file)) events |= POLLERR | POLLHUP;
    fds[i].revents = events;
  }
  if (!touched) return result;
  int ready = 0;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents != 0) ++ready;
  }
  return ready;
}

}  // extern "C"
