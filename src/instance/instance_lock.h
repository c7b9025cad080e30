#pragma once

#include <functional>
#include <string>

#include "host/clock.h"
#include "host/instance_guard.h"

namespace trivexa::instance {

// Where the single-copy lock lives. On POSIX systems `name` is a folder that
// holds the lock file; on Windows it is the name of a mutex.
struct LockPlace {
  std::string name;
  // POSIX: the folder is this user's own and is made (0700) when missing.
  bool createFolder = false;
};

// POSIX: a folder in which no other user can create a name, so that nobody
// can take this user's lock, or its place, first. The first that applies:
// - $XDG_RUNTIME_DIR, when it is a folder of this user's that no one else
//   can write into (one that fails is passed over, not used);
// - the login's runtime folder /run/user/<uid>, when it is such a folder (a
//   shell from sudo or su, or cron, has no XDG_RUNTIME_DIR, but the user's
//   desktop session may have that folder, and so its window's lock);
// - for root, /run/trivexa, made when missing: only root can add to /run;
// - else "trivexa-<host>" in the user's cache folder ($XDG_CACHE_HOME or
//   ~/.cache), made when missing: the home is the user's own. The host's
//   name keeps copies on two machines apart where the home is shared.
// Windows: a mutex in this session's namespace, named for the user.
LockPlace DefaultLockPlace();

#if !defined(_WIN32)
// The system's runtime folders, which tests replace.
struct RuntimeRoots {
  std::string loginRuntime = "/run/user";
  std::string systemRuntime = "/run";
};
LockPlace DefaultLockPlace(const RuntimeRoots& roots);
#endif

enum class LockOutcome {
  kTaken,          // this process holds the lock
  kHeldByAnother,  // a live copy run by this same user holds it
  kUnavailable,    // no lock could be made; the reason says why
};

struct LockAttempt {
  LockOutcome outcome;
  std::string reason;
};

enum class InstanceState { kNotRunning, kRunning, kUnknown };

// The lock that keeps a second copy of the window from starting. It is held
// from the first successful Take() until the object goes away (or the
// process ends, however it ends). On POSIX it is a kernel lock (flock) on a
// file, so a copy that died never leaves a lock behind. A lock found taken
// is tried again for 40 ms before it counts as another copy's: trivexactl's
// probe holds it for a moment, and a window starting just then must wait
// that out.
class InstanceLock final : public InstanceGuard {
 public:
  using Warn = std::function<void(const std::string&)>;

  // `warn` hears, once, why no lock could be made. By default it goes to
  // standard error. The pauses between tries go through `clock`, the
  // system's when none is given.
  explicit InstanceLock(LockPlace place = DefaultLockPlace(), Warn warn = {},
                        Clock* clock = nullptr);
  ~InstanceLock() override;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  LockAttempt Take();
  bool Held() const;
  const LockPlace& Place() const { return place_; }

  // Only a live copy of this user's counts as another copy. When no lock can
  // be made at all the program starts anyway, after one warning.
  bool AnotherInstanceRunning() override;

 private:
  LockPlace place_;
  Warn warn_;
  SystemClock systemClock_;
  Clock& clock_;
  bool warned_ = false;
#if defined(_WIN32)
  void* mutex_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// One device command of trivexactl at a time for a user: `watch` in one
// terminal and `status` in another would otherwise open the joystick
// together and take each other's replies. Held while the object lives: a
// kernel lock (flock) on POSIX, a mutex on Windows, so a command that died
// never leaves it behind. Apart from the window's lock, which trivexactl
// only probes.
class JoystickLock final {
 public:
  explicit JoystickLock(LockPlace place = DefaultLockPlace());
  ~JoystickLock();
  JoystickLock(const JoystickLock&) = delete;
  JoystickLock& operator=(const JoystickLock&) = delete;

  // Tries once, without waiting. Once taken, `holder` (who this is) is left
  // where another command finds it: when held by another, the reason is
  // that command's holder text (empty when it could not be read).
  LockAttempt TryTake(const std::string& holder);

 private:
  LockPlace place_;
#if defined(_WIN32)
  void* mutex_ = nullptr;
  void* holderText_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// Whether a copy of the window is running for this user, asked without
// taking the lock and without creating anything.
InstanceState ProbeInstance(const LockPlace& place = DefaultLockPlace());

}  // namespace trivexa::instance
