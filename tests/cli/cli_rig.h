#pragma once

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "fakes/fake_hid_platform.h"
#include "fakes/temp_dir.h"
#include "fakes/timeline.h"

namespace trivexa::cli {

// trivexactl over the fake platform and the fake clock: what it prints,
// what it sends and when, without a device and without sleeping.
struct CliRig {
  fakes::Timeline timeline;
  fakes::FakeClock clock{timeline};
  fakes::FakeHidPlatform platform{timeline, clock};
  std::ostringstream out;
  std::ostringstream err;
  fakes::TempDir dir;
  std::filesystem::path settingsFolder = dir.path();
  bool windowRunning = false;
  // Asked at every stop check; may change the scene as time passes.
  std::function<bool()> stopWhen = [] { return false; };

  Environment environment{
      platform,
      clock,
      out,
      err,
      [this] { return windowRunning; },
      [this] { return stopWhen(); },
      [this] { return settingsFolder; },
      [] { return std::string("the fix"); },
  };

  int Run(std::vector<std::string_view> arguments) {
    return RunCommandLine(arguments, environment);
  }

  // Every output report's first six bytes, as "write 00 5A 00 00 00 00 /65".
  std::vector<std::string> Writes() const { return timeline.Texts({"write"}); }
  // Whether the close command went out.
  bool SentClose() const {
    for (const std::string& write : Writes()) {
      if (write.starts_with("write 00 AA")) return true;
    }
    return false;
  }
};

}  // namespace trivexa::cli
