#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vjoy {

// The hidraw major number the fixture hands out; real systems pick one at
// boot from the dynamic range, so nothing may rely on its value.
inline constexpr unsigned kHidrawMajor = 241;

// A reply a replayed joystick sends, `delayMs` after the output report it
// answers, as hidraw hands it out.
struct ReplayReply {
  unsigned delayMs = 0;
  std::vector<std::uint8_t> report;
};

// One output report of a recording and the replies that followed it.
struct ReplayStep {
  std::uint8_t command = 0;
  std::vector<ReplayReply> replies;
  int writeError = 0;  // the recorded write failed with this errno; 0: written
};

// An output report whose write fails, as usbhid's does when the transfer
// stalls or times out: the Nth write of a command fails with `error`, and
// the firmware never sees it.
struct FailedWrite {
  std::uint8_t command = 0;
  unsigned count = 1;
  int error = 0;
};

// The errno a name ("EPIPE") or the system's text for it ("Broken pipe")
// stands for; 0 when none does.
int ErrnoNamed(std::string_view text);

// One HID interface as /sys/class/hidraw/hidrawN and /dev/hidrawN show it.
struct VirtualInterface {
  unsigned number = 0;  // the N of hidrawN
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint16_t bus = 3;  // BUS_USB
  std::string name;
  // The USB port the device is plugged into, as sysfs names its folder
  // ("1-2.3"); empty: 1-(N+1). Two interfaces may share one, as the same
  // socket does before and after a replug.
  std::string port;
  std::vector<std::uint8_t> descriptor;
  bool denied = false;  // open fails with EACCES
  std::size_t queueLimit = 64;

  // The scripted firmware of the joystick; without it the interface takes
  // every output report and never sends one.
  bool firmware = false;
  std::uint8_t reportId = 0;  // 0: the device numbers no reports
  unsigned replyDelayMs = 0;
  bool silent = false;
  unsigned streamMs = 0;  // a position report every N ms unasked, 0 for none
  std::array<std::uint8_t, 4> eeprom{4, 5, 0, 1};
  std::uint8_t statusX = 128;
  std::uint8_t statusY = 127;
  std::int16_t positionX = -300;
  std::int16_t positionY = 25;
  std::vector<FailedWrite> failedWrites;
  // A joystick replayed from a problem report answers from here instead.
  bool replayed = false;
  std::vector<ReplayStep> replay;
};

// When a plug event happens: at a time after the start, after the Nth
// output report with a command byte reached the device, or after the last
// unplug of the same interface; each plus a delay.
struct Trigger {
  enum class Kind { kAt, kAfterCommand, kAfterUnplug };
  Kind kind = Kind::kAt;
  std::uint8_t command = 0;
  unsigned count = 1;
  unsigned delayMs = 0;
};

struct PlugEvent {
  bool replug = false;
  unsigned number = 0;
  Trigger trigger;
};

struct Scenario {
  std::vector<VirtualInterface> interfaces;
  std::vector<PlugEvent> events;

  const VirtualInterface* Find(unsigned number) const;
};

// Parses the scenario text; on a fault gives nullopt and says where in
// `error` ("line 3: unknown word 'vendr'").
std::optional<Scenario> ParseScenario(std::string_view text, std::string& error);

}  // namespace vjoy
