// The virtual hidraw devices: the state of the interfaces, the log, the
// fixture's sysfs tree and /dev mirror, and the fixture's lifetime in a
// process (start, stop, fork).
#include "vjoy_core.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "sysfs_tree.h"
#include "vjoy_state.h"

namespace vjoy {

State* g_state = nullptr;
std::atomic<bool> g_ready{false};
std::atomic<OpenFile*> g_files[kMaxFd];
std::int64_t g_startNs = 0;
int g_logFd = -1;

namespace {

std::int64_t MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

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

namespace {

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

std::string ReadWhole(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void AfterFork();

}  // namespace

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

namespace {

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

}  // namespace
}  // namespace vjoy

using namespace vjoy;

extern "C" {

int vjoy_active(void) { return g_ready.load(std::memory_order_acquire) ? 1 : 0; }

}  // extern "C"
