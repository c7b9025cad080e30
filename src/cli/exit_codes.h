#pragma once

namespace trivexa::cli {

// What trivexactl tells the shell. Scripts depend on these numbers: never
// renumber one.
enum ExitCode : int {
  kExitOk = 0,
  kExitNotFound = 1,       // no joystick among the HID interfaces
  kExitUsage = 2,          // bad command line or a value not in its table
  kExitCannotOpen = 3,     // the joystick is there but cannot be opened
  kExitNoReply = 4,        // no reply, a failed write, or the read-back differs
  kExitWindowRunning = 5,  // the window holds the joystick
  kExitSaveFailed = 6,     // the device took the values, the settings file did not
  kExitOutputFailed = 7,   // what was printed did not reach standard output
  kExitBusy = 8,           // another trivexactl kept the joystick past kBusyWaitMs
  kExitInterrupted = 130,  // Ctrl+C or SIGTERM before the command was done
};

}  // namespace trivexa::cli
