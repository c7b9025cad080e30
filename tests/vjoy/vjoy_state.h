// The virtual hidraw devices' shared state, for the fixture's own files:
// vjoy_core.cpp (the state, the log, the tree and the fixture's lifetime),
// vjoy_timeline.cpp (the firmware's timed replies, unplug and replug),
// vjoy_paths.cpp (the paths it answers for) and vjoy_node.cpp (the calls on
// /dev/hidrawN and its descriptors). Not part of the seam to the C wrappers
// (vjoy_core.h).
#pragma once

#include <fcntl.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "firmware.h"
#include "replay.h"
#include "scenario.h"

namespace vjoy {

constexpr int kMaxFd = 65536;

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
  std::array<unsigned, 256> commandCounts{};  // writes that reached the device
  std::array<unsigned, 256> writeAttempts{};  // failed ones too
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

extern State* g_state;
extern std::atomic<bool> g_ready;
extern std::atomic<OpenFile*> g_files[kMaxFd];
extern std::int64_t g_startNs;
extern int g_logFd;

// Milliseconds since the time origin shared by a process and all it starts.
double NowMs();
std::string Hex(const void* data, std::size_t size);
const char* ErrorName(int error);
void Log(const char* format, ...);

Device* FindDevice(unsigned number);
OpenFile* FileOf(int fd);
bool Alive(const OpenFile& file);

std::string DevMirrorLocked();
void MirrorNodeLocked(unsigned number, bool present);
void MakeTreeLocked();

void DeliverLocked(Device& device, const std::vector<std::uint8_t>& report);
void FireTriggers(Device& device, Trigger::Kind kind, std::uint8_t command);
void ReplayLocked(Device& device, std::uint8_t command, ReplayFirmware::Answer answer);
void UnplugLocked(Device& device);
void ReplugLocked(Device& device);
void StartStreamLocked(Device& device);
// The worker thread's loop over the timed actions.
void Work();
void Schedule(Action action);

}  // namespace vjoy
