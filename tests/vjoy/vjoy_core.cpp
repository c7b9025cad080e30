// The virtual hidraw devices: state of the interfaces and of every open
// node, the firmware's timed replies, unplug and replug, and the log.
#include "vjoy_core.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <queue>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "firmware.h"
#include "replay.h"
#include "scenario.h"
#include "sysfs_tree.h"

namespace vjoy {
namespace {

constexpr int kMaxFd = 65536;
// hidraw refuses writes longer than the kernel's HID buffer, or shorter
// than a report ID and one byte.
constexpr std::size_t kMaxWrite = 16384;
constexpr std::size_t kMinWrite = 2;
constexpr std::uint8_t kCommandClose = 0xAA;
constexpr std::uint8_t kCommandWriteConfig = 0x3A;

struct Device;

struct OpenFile {
  int fd = -1;
  int peer = -1;  // the fixture's end of the socket pair
  Device* device = nullptr;
  unsigned generation = 0;  // which plug-in of the device it was opened on
  int accessMode = O_RDWR;
  std::atomic<std::size_t> queued{0};
};

struct Device {
  VirtualInterface virtualInterface;
  std::unique_ptr<JoystickFirmware> firmware;
  std::unique_ptr<ReplayFirmware> replay;
  bool present = true;
  unsigned generation = 0;
  bool streaming = false;
  std::array<unsigned, 256> commandCounts{};
  std::vector<OpenFile*> files;
};

struct Action {
  enum class Kind { kDeliver, kUnplug, kReplug, kStream };
  double atMs = 0;
  std::uint64_t sequence = 0;  // keeps actions due at once in order
  Kind kind = Kind::kDeliver;
  Device* device = nullptr;
  unsigned generation = 0;
  std::vector<std::uint8_t> report;

  bool operator>(const Action& other) const {
    return atMs != other.atMs ? atMs > other.atMs : sequence > other.sequence;
  }
};

struct State {
  Scenario scenario;
  std::deque<Device> devices;
  std::string base;  // the fixture's folder; base + "/sys" stands for /sys
  std::string sysRoot;
  bool treeMade = false;
  std::mutex mutex;
  std::priority_queue<Action, std::vector<Action>, std::greater<>> actions;
  std::uint64_t nextSequence = 0;
  std::condition_variable wake;
  std::thread worker;
  bool stopping = false;
};

State* g_state = nullptr;
std::atomic<bool> g_ready{false};
std::atomic<OpenFile*> g_files[kMaxFd];
std::int64_t g_startNs = 0;
int g_logFd = -1;

std::int64_t MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double NowMs() { return static_cast<double>(MonotonicNs() - g_startNs) / 1e6; }

std::string Hex(const void* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

// The errno's symbolic name, as the log and the tests spell it.
const char* ErrorName(int error) {
  const char* name = ::strerrorname_np(error);
  return name != nullptr ? name : "EOTHER";
}

// One line per event, "<ms since start> <pid> <what...>", written with one
// system call so lines of several processes and threads never mix.
void Log(const char* format, ...) {
  if (g_logFd < 0) return;
  char line[8192];
  int used = std::snprintf(line, sizeof(line), "%.3f %d ", NowMs(), static_cast<int>(::getpid()));
  va_list args;
  va_start(args, format);
  used +=
      std::vsnprintf(line + used, sizeof(line) - static_cast<std::size_t>(used) - 1, format, args);
  va_end(args);
  used = std::min(used, static_cast<int>(sizeof(line)) - 2);
  line[used++] = '\n';
  ::syscall(SYS_write, g_logFd, line, static_cast<std::size_t>(used));
}

Device* FindDevice(unsigned number) {
  for (Device& device : g_state->devices) {
    if (device.virtualInterface.number == number) return &device;
  }
  return nullptr;
}

OpenFile* FileOf(int fd) {
  if (fd < 0 || fd >= kMaxFd) return nullptr;
  return g_files[fd].load(std::memory_order_acquire);
}

bool Alive(const OpenFile& file) {
  return file.device->present && file.device->generation == file.generation;
}

// A process that was killed (a test run's SIGKILL, a Wine helper ended by
// wineserver) leaves its tree behind; the next one removes the trees of
// processes that are gone. Trees are named vjoy-<pid>-XXXXXX.
void RemoveStaleTrees(const std::string& parent) {
  DIR* folder = ::opendir(parent.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with("vjoy-")) continue;
    const std::size_t dash = name.find('-', 5);
    if (dash == std::string_view::npos || dash == 5) continue;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data() + 5, name.data() + dash, pid);
    if (error != std::errc() || end != name.data() + dash || pid <= 0) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    RemoveTree(parent + "/" + std::string(name));
  }
  ::closedir(folder);
}

// A folder holding an empty file per present node. A watch on /dev is moved
// onto it, so an unplug or replug reaches inotify watchers (Wine's winebus
// without udevd) as the kernel's devtmpfs would report it.
std::string DevMirrorLocked() { return g_state->base + "/dev"; }

void MirrorNodeLocked(unsigned number, bool present) {
  const std::string file = DevMirrorLocked() + "/hidraw" + std::to_string(number);
  if (present) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
  } else {
    ::unlink(file.c_str());
  }
}

void MakeTreeLocked() {
  if (g_state->treeMade) return;
  g_state->treeMade = true;
  const char* parent = std::getenv("VJOY_DIR");
  if (parent == nullptr || *parent == '\0') parent = std::getenv("TMPDIR");
  if (parent == nullptr || *parent == '\0') parent = "/tmp";
  RemoveStaleTrees(parent);
  std::string pattern = std::string(parent) + "/vjoy-" + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "vjoy: cannot make a folder in %s\n", parent);
    std::_Exit(97);
  }
  g_state->base = pattern;
  g_state->sysRoot = pattern + "/sys";
  ::mkdir(DevMirrorLocked().c_str(), 0755);
  for (const Device& device : g_state->devices) {
    if (!device.present) continue;
    AddInterface(g_state->sysRoot, device.virtualInterface);
    MirrorNodeLocked(device.virtualInterface.number, true);
  }
}

void Schedule(Action action);

// Puts one input report into the queue of every file open on the device,
// as hidraw does; a full queue drops the new report.
void DeliverLocked(Device& device, const std::vector<std::uint8_t>& report) {
  unsigned taken = 0;
  for (OpenFile* file : device.files) {
    if (!Alive(*file)) continue;
    if (file->queued.load() >= device.virtualInterface.queueLimit) {
      Log("drop hidraw%u fd=%d", device.virtualInterface.number, file->fd);
      continue;
    }
    // Counted before it is sent: a reader may take it at once.
    file->queued.fetch_add(1);
    if (::send(file->peer, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(report.size())) {
      ++taken;
    } else {
      file->queued.fetch_sub(1);
    }
  }
  Log("report hidraw%u to=%u bytes=%s", device.virtualInterface.number, taken,
      Hex(report.data(), report.size()).c_str());
}

void FireTriggers(Device& device, Trigger::Kind kind, std::uint8_t command) {
  for (const PlugEvent& event : g_state->scenario.events) {
    if (event.number != device.virtualInterface.number || event.trigger.kind != kind) continue;
    if (kind == Trigger::Kind::kAfterCommand &&
        (event.trigger.command != command ||
         device.commandCounts[command] != event.trigger.count)) {
      continue;
    }
    Action action;
    action.kind = event.replug ? Action::Kind::kReplug : Action::Kind::kUnplug;
    action.atMs = NowMs() + event.trigger.delayMs;
    action.device = &device;
    Schedule(std::move(action));
  }
}

// A report's joystick answers with what the recorded one answered, and
// says so when the recording has no such step.
void ReplayLocked(Device& device, std::uint8_t command) {
  const unsigned number = device.virtualInterface.number;
  ReplayFirmware::Answer answer = device.replay->OnCommand(command);
  if (answer.unseen) {
    Log("firmware hidraw%u replay unseen 0x%02x: %s", number, command,
        answer.step == 0
            ? "the report has no reply to it, none sent"
            : ("the last recorded reply, of step " + std::to_string(answer.step)).c_str());
  } else {
    Log("firmware hidraw%u replay step %zu 0x%02x", number, answer.step, command);
  }
  for (ReplayReply& reply : answer.replies) {
    if (reply.delayMs == 0) {
      DeliverLocked(device, reply.report);
      continue;
    }
    Action action;
    action.kind = Action::Kind::kDeliver;
    action.atMs = NowMs() + reply.delayMs;
    action.device = &device;
    action.generation = device.generation;
    action.report = std::move(reply.report);
    Schedule(std::move(action));
  }
}

void UnplugLocked(Device& device) {
  if (!device.present) return;
  device.present = false;
  device.streaming = false;
  MakeTreeLocked();
  RemoveInterface(g_state->sysRoot, device.virtualInterface);
  MirrorNodeLocked(device.virtualInterface.number, false);
  // Open files stay open but dead: reads fail once their queue is empty,
  // poll says POLLERR|POLLHUP, writes and ioctls fail with ENODEV.
  for (OpenFile* file : device.files) ::shutdown(file->peer, SHUT_RDWR);
  Log("unplug hidraw%u", device.virtualInterface.number);
  FireTriggers(device, Trigger::Kind::kAfterUnplug, 0);
}

void ReplugLocked(Device& device) {
  if (device.present) return;
  device.present = true;
  ++device.generation;
  MakeTreeLocked();
  AddInterface(g_state->sysRoot, device.virtualInterface);
  MirrorNodeLocked(device.virtualInterface.number, true);
  Log("replug hidraw%u", device.virtualInterface.number);
}

void StartStreamLocked(Device& device) {
  if (device.streaming || device.virtualInterface.streamMs == 0 || !device.firmware) return;
  device.streaming = true;
  Action action;
  action.kind = Action::Kind::kStream;
  action.atMs = NowMs() + device.virtualInterface.streamMs;
  action.device = &device;
  action.generation = device.generation;
  Schedule(std::move(action));
}

void PerformLocked(Action& action) {
  Device& device = *action.device;
  switch (action.kind) {
    case Action::Kind::kDeliver:
      if (device.present && device.generation == action.generation) {
        DeliverLocked(device, action.report);
      }
      break;
    case Action::Kind::kUnplug:
      UnplugLocked(device);
      break;
    case Action::Kind::kReplug:
      ReplugLocked(device);
      break;
    case Action::Kind::kStream:
      if (!device.present || device.generation != action.generation) break;
      DeliverLocked(device, device.firmware->PositionReport());
      action.atMs += device.virtualInterface.streamMs;
      action.sequence = g_state->nextSequence++;
      g_state->actions.push(action);
      break;
  }
}

void Work() {
  std::unique_lock lock(g_state->mutex);
  while (!g_state->stopping) {
    if (g_state->actions.empty()) {
      g_state->wake.wait(lock);
      continue;
    }
    const double due = g_state->actions.top().atMs;
    const double now = NowMs();
    if (due > now) {
      g_state->wake.wait_for(
          lock, std::chrono::microseconds(static_cast<std::int64_t>((due - now) * 1000.0) + 1));
      continue;
    }
    Action action = g_state->actions.top();
    g_state->actions.pop();
    PerformLocked(action);
  }
}

// The worker thread starts with the first timed action, so that processes
// that never touch a node (a shell, a helper) run no extra thread.
void Schedule(Action action) {
  action.sequence = g_state->nextSequence++;
  g_state->actions.push(std::move(action));
  if (!g_state->worker.joinable()) g_state->worker = std::thread(Work);
  g_state->wake.notify_one();
}

std::string ReadWhole(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void AfterFork();

void Start() {
  const char* scenarioPath = std::getenv("VJOY_SCENARIO");
  if (scenarioPath == nullptr || *scenarioPath == '\0') return;

  // One time origin for a process and all it starts, so that "at=" times
  // and log times of several processes compare.
  if (const char* start = std::getenv("VJOY_START_NS"); start != nullptr && *start != '\0') {
    g_startNs = std::strtoll(start, nullptr, 10);
  } else {
    g_startNs = MonotonicNs();
    ::setenv("VJOY_START_NS", std::to_string(g_startNs).c_str(), 1);
  }

  const std::string text = ReadWhole(scenarioPath);
  std::string error;
  auto scenario = ParseScenario(text, error);
  if (text.empty() || !scenario) {
    std::fprintf(stderr, "vjoy: scenario %s: %s\n", scenarioPath,
                 text.empty() ? "cannot read it, or it is empty" : error.c_str());
    std::_Exit(97);
  }
  if (const char* log = std::getenv("VJOY_LOG"); log != nullptr && *log != '\0') {
    g_logFd = static_cast<int>(
        ::syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    // Clear of 0 to 2: a program started with one of them closed must find
    // it closed, as it would without the fixture.
    if (g_logFd >= 0 && g_logFd <= 2) {
      const int moved = static_cast<int>(::syscall(SYS_fcntl, g_logFd, F_DUPFD_CLOEXEC, 10));
      ::syscall(SYS_close, g_logFd);
      g_logFd = moved;
    }
  }

  g_state = new State;
  g_state->scenario = std::move(*scenario);
  for (const VirtualInterface& virtualInterface : g_state->scenario.interfaces) {
    Device& device = g_state->devices.emplace_back();
    device.virtualInterface = virtualInterface;
    if (virtualInterface.firmware)
      device.firmware = std::make_unique<JoystickFirmware>(virtualInterface);
    if (virtualInterface.replayed)
      device.replay = std::make_unique<ReplayFirmware>(virtualInterface.replay);
    // An interface whose first plug event is a replug starts unplugged.
    for (const PlugEvent& event : g_state->scenario.events) {
      if (event.number != virtualInterface.number) continue;
      device.present = !event.replug;
      break;
    }
  }
  Log("start");
  {
    std::lock_guard lock(g_state->mutex);
    // A process started after a timed plug event (the next command of a
    // script) finds it done, as the machine would show it.
    const double now = NowMs();
    std::vector<const PlugEvent*> past;
    for (const PlugEvent& event : g_state->scenario.events) {
      if (event.trigger.kind == Trigger::Kind::kAt && event.trigger.delayMs <= now) {
        past.push_back(&event);
      }
    }
    std::stable_sort(past.begin(), past.end(), [](const PlugEvent* a, const PlugEvent* b) {
      return a->trigger.delayMs < b->trigger.delayMs;
    });
    for (const PlugEvent* event : past) FindDevice(event->number)->present = event->replug;
    for (const PlugEvent& event : g_state->scenario.events) {
      if (event.trigger.kind != Trigger::Kind::kAt || event.trigger.delayMs <= now) continue;
      Action action;
      action.kind = event.replug ? Action::Kind::kReplug : Action::Kind::kUnplug;
      action.atMs = event.trigger.delayMs;
      action.device = FindDevice(event.number);
      Schedule(std::move(action));
    }
  }
  ::pthread_atfork(nullptr, nullptr, AfterFork);
  g_ready.store(true, std::memory_order_release);
}

void Stop() {
  if (g_state == nullptr) return;
  g_ready.store(false);
  {
    std::lock_guard lock(g_state->mutex);
    g_state->stopping = true;
    g_state->wake.notify_all();
  }
  if (g_state->worker.joinable()) g_state->worker.join();
  std::lock_guard lock(g_state->mutex);
  if (g_state->treeMade) RemoveTree(g_state->base);
}

// A forked child has none of the parent's threads: it starts with a fresh
// lock and no worker, and starts its own worker when it has timed actions.
void AfterFork() {
  if (g_state == nullptr) return;
  new (&g_state->mutex) std::mutex;
  new (&g_state->wake) std::condition_variable;
  new (&g_state->worker) std::thread;
  if (!g_state->actions.empty()) g_state->worker = std::thread(Work);
}

struct Lifetime {
  Lifetime() { Start(); }
  ~Lifetime() { Stop(); }
} g_lifetime;

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

int vjoy_active(void) { return g_ready.load(std::memory_order_acquire) ? 1 : 0; }

enum vjoy_path_kind vjoy_classify(const char* path, char* out, size_t outSize, unsigned* node) {
  const std::string_view text(path);
  constexpr std::string_view kNode = "/dev/hidraw";
  if (text.starts_with(kNode) && text.size() > kNode.size() &&
      std::all_of(text.begin() + kNode.size(), text.end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    *node = static_cast<unsigned>(std::strtoul(path + kNode.size(), nullptr, 10));
    return VJOY_PATH_NODE;
  }
  const std::string charPrefix = "/sys/dev/char/" + std::to_string(kHidrawMajor) + ":";
  bool ours = text.starts_with(charPrefix);
  for (std::string_view prefix : {"/sys/class/hidraw", "/sys/devices/vjoy"}) {
    if (text.starts_with(prefix) && (text.size() == prefix.size() || text[prefix.size()] == '/')) {
      ours = true;
    }
  }
  if (!ours) return VJOY_PATH_OTHER;
  std::string root;
  {
    std::lock_guard lock(g_state->mutex);
    MakeTreeLocked();
    root = g_state->sysRoot;
  }
  const std::string mapped = root + std::string(text.substr(4));
  if (mapped.size() + 1 > outSize) return VJOY_PATH_OTHER;
  std::memcpy(out, mapped.c_str(), mapped.size() + 1);
  return VJOY_PATH_SYSFS;
}

int vjoy_in_tree(const char* path) {
  if (g_state == nullptr) return 0;
  std::lock_guard lock(g_state->mutex);
  const std::string& root = g_state->sysRoot;
  return g_state->treeMade && std::strncmp(path, root.c_str(), root.size()) == 0 &&
                 (path[root.size()] == '/' || path[root.size()] == '\0')
             ? 1
             : 0;
}

void vjoy_unmap(char* path) {
  if (g_state == nullptr || !g_state->treeMade) return;
  const std::string& base = g_state->base;
  if (std::strncmp(path, base.c_str(), base.size()) != 0) return;
  std::memmove(path, path + base.size(), std::strlen(path + base.size()) + 1);
}

int vjoy_is_node_fd(int fd) { return FileOf(fd) != nullptr ? 1 : 0; }

int vjoy_dev_mirror(char* out, size_t outSize) {
  std::lock_guard lock(g_state->mutex);
  MakeTreeLocked();
  const std::string folder = DevMirrorLocked();
  if (folder.size() + 1 > outSize) return -1;
  std::memcpy(out, folder.c_str(), folder.size() + 1);
  return 0;
}

int vjoy_present_nodes(unsigned* out, int max) {
  std::lock_guard lock(g_state->mutex);
  int count = 0;
  for (const Device& device : g_state->devices) {
    if (device.present && count < max) out[count++] = device.virtualInterface.number;
  }
  return count;
}

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
  Log("write hidraw%u fd=%d len=%zu -> %zu bytes=%s", number, fd, count, count, bytes.c_str());

  // As usbhid does: a zero report ID is not sent on the wire.
  std::span<const std::uint8_t> wire(static_cast<const std::uint8_t*>(buffer), count);
  if (wire[0] == 0) wire = wire.subspan(1);
  const std::uint8_t command = static_cast<const std::uint8_t*>(buffer)[1];
  ++device.commandCounts[command];
  if (device.firmware) {
    auto reply = device.firmware->OnOutput(wire);
    if (command == kCommandClose) Log("firmware hidraw%u close", number);
    if (command == kCommandWriteConfig) {
      const auto& eeprom = device.firmware->Eeprom();
      Log("firmware hidraw%u eeprom=%u,%u,%u,%u", number, eeprom[0], eeprom[1], eeprom[2],
          eeprom[3]);
    }
    if (device.replay) {
      ReplayLocked(device, command);
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
