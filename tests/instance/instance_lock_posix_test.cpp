#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/child_process.h"
#include "fakes/temp_dir.h"
#include "instance/instance_lock.h"

namespace trivexa::instance {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;  // nobody

// Another process that takes the lock at `place` (as `user`, when given) and
// holds it until it is killed.
class HolderProcess {
 public:
  explicit HolderProcess(LockPlace place, std::optional<uid_t> user = std::nullopt) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      if (user && (::setgroups(0, nullptr) != 0 || ::setresgid(*user, *user, *user) != 0 ||
                   ::setresuid(*user, *user, *user) != 0)) {
        ::_exit(2);
      }
      InstanceLock lock(std::move(place), [](const std::string&) {});
      const char outcome = static_cast<char>(lock.Take().outcome);
      if (::write(ready[1], &outcome, 1) != 1) ::_exit(3);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char outcome = -1;
    if (::read(ready[0], &outcome, 1) == 1) outcome_ = static_cast<LockOutcome>(outcome);
    ::close(ready[0]);
  }
  ~HolderProcess() { Kill(); }
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  std::optional<LockOutcome> Outcome() const { return outcome_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::optional<LockOutcome> outcome_;
};

// The lock's pauses, passed without sleeping: a probe's shared lock on
// `probe` goes once `releaseAtMs` have passed.
class ProbeClock final : public Clock {
 public:
  ProbeClock(int probe, std::int64_t releaseAtMs) : probe_(probe), releaseAtMs_(releaseAtMs) {}
  void Sleep(std::uint32_t milliseconds) override {
    if ((nowMs_ += milliseconds) >= releaseAtMs_) ::flock(probe_, LOCK_UN);
  }
  std::int64_t NowMs() const override { return nowMs_; }

 private:
  int probe_;
  std::int64_t releaseAtMs_;
  std::int64_t nowMs_ = 0;
};

class InstanceLockTest : public ::testing::Test {
 protected:
  std::unique_ptr<InstanceLock> MakeLock(LockPlace place) {
    return std::make_unique<InstanceLock>(
        std::move(place), [this](const std::string& message) { warnings.push_back(message); });
  }
  LockPlace Place() const { return {dir.path().string(), false}; }
  fs::path LockFile() const { return dir.path() / "trivexa.lock"; }

  static void RequireRoot() {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  }

  fakes::TempDir dir;
  std::vector<std::string> warnings;
};

TEST_F(InstanceLockTest, OnlyOneProcessHoldsTheLockAndADeadHolderFreesIt) {
  HolderProcess holder(Place());
  ASSERT_EQ(holder.Outcome(), LockOutcome::kTaken);
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kRunning);

  auto lock = MakeLock(Place());
  EXPECT_TRUE(lock->AnotherInstanceRunning());
  EXPECT_FALSE(lock->Held());

  holder.Kill();  // no chance to clean up: the kernel drops its lock
  EXPECT_TRUE(fs::exists(LockFile()));
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kNotRunning);
  EXPECT_FALSE(lock->AnotherInstanceRunning());
  EXPECT_TRUE(lock->Held());
  EXPECT_FALSE(lock->AnotherInstanceRunning());  // asking again keeps it

  // Within one process too, a second lock object is a second copy.
  EXPECT_EQ(MakeLock(Place())->Take().outcome, LockOutcome::kHeldByAnother);
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kRunning);
  EXPECT_TRUE(warnings.empty());

  lock.reset();
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kNotRunning);
}

TEST_F(InstanceLockTest, ProbeTakesNothingAndCreatesNothing) {
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kNotRunning);
  EXPECT_FALSE(fs::exists(LockFile()));
  const LockPlace missing{(dir.path() / "missing").string(), true};
  EXPECT_EQ(ProbeInstance(missing), InstanceState::kNotRunning);
  EXPECT_FALSE(fs::exists(missing.name));

  fakes::WriteFile(LockFile(), "");
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kNotRunning);
  // A copy that starts right after a probe takes the lock.
  EXPECT_EQ(MakeLock(Place())->Take().outcome, LockOutcome::kTaken);
  // trivexactl's probe holds a shared lock for a moment: a window starting
  // just then waits it out instead of ending as if a copy ran.
  const int probe = ::open(LockFile().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  ASSERT_EQ(::flock(probe, LOCK_SH | LOCK_NB), 0);
  std::thread release([probe] {
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    ::close(probe);
  });
  auto window = MakeLock(Place());
  EXPECT_FALSE(window->AnotherInstanceRunning());
  release.join();
  EXPECT_TRUE(window->Held());
  window.reset();
  // It waits 40 ms, no longer: a lock still taken then is another copy's.
  for (const auto& [releaseAtMs, expected] :
       {std::pair{40, LockOutcome::kTaken}, std::pair{41, LockOutcome::kHeldByAnother}}) {
    const int shared = ::open(LockFile().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(shared, LOCK_SH | LOCK_NB), 0);
    ProbeClock clock(shared, releaseAtMs);
    EXPECT_EQ(InstanceLock(Place(), {}, &clock).Take().outcome, expected) << releaseAtMs;
    ::close(shared);
  }
}

TEST_F(InstanceLockTest, TrivexactlCommandsTakeTheirOwnLockOneAtATimeAndNameTheHolder) {
  {
    JoystickLock first(Place());
    ASSERT_EQ(first.TryTake("trivexactl watch (pid 1234)").outcome, LockOutcome::kTaken);
    EXPECT_EQ(first.TryTake("again").outcome, LockOutcome::kTaken);  // held, and kept
    const LockAttempt second = JoystickLock(Place()).TryTake("trivexactl status");
    EXPECT_EQ(second.outcome, LockOutcome::kHeldByAnother);
    EXPECT_EQ(second.reason, "trivexactl watch (pid 1234)");
    EXPECT_EQ(ProbeInstance(Place()), InstanceState::kNotRunning);  // not the window's lock
  }
  // Free once its holder goes; a shorter holder text replaces the longer one
  // whole.
  JoystickLock next(Place());
  ASSERT_EQ(next.TryTake("trivexactl list").outcome, LockOutcome::kTaken);
  EXPECT_EQ(JoystickLock(Place()).TryTake("").reason, "trivexactl list");
}

TEST_F(InstanceLockTest, ALockThatCannotBeMadeStartsTheProgramWithOneWarning) {
  fs::create_directory(LockFile());
  auto lock = MakeLock(Place());
  const LockAttempt attempt = lock->Take();
  EXPECT_EQ(attempt.outcome, LockOutcome::kUnavailable);
  EXPECT_NE(attempt.reason.find(LockFile().string()), std::string::npos) << attempt.reason;

  EXPECT_FALSE(lock->AnotherInstanceRunning());
  EXPECT_FALSE(lock->AnotherInstanceRunning());
  ASSERT_EQ(warnings.size(), 1U);
  EXPECT_NE(warnings[0].find("starting without it"), std::string::npos) << warnings[0];
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kUnknown);

  // Said on standard error by default, the folder's name (from the
  // environment) escaped, so that it cannot retitle the terminal.
  const fs::path hostile = dir.path() / "\x1b]2;owned\x07";
  fs::create_directory(hostile);
  fs::permissions(hostile, fs::perms::all);
  std::ostringstream said;
  std::streambuf* const standardError = std::cerr.rdbuf(said.rdbuf());
  InstanceLock({hostile.string(), false}).AnotherInstanceRunning();
  std::cerr.rdbuf(standardError);
  EXPECT_EQ(said.str(), "trivexa: warning: no single-copy lock (" + dir.path().string() +
                            "/\\x1b]2;owned\\x07 can be written by other users); starting "
                            "without it\n");
}

TEST_F(InstanceLockTest, ALinkInPlaceOfTheLockFileIsNeitherFollowedNorCreatedThrough) {
  const fs::path target = dir.path() / "elsewhere";
  fs::create_symlink(target, LockFile());
  EXPECT_EQ(MakeLock(Place())->Take().outcome, LockOutcome::kUnavailable);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(ProbeInstance(Place()), InstanceState::kUnknown);
}

TEST_F(InstanceLockTest, PrivateFolderIsMadeForThisUserOnly) {
  const LockPlace place{(dir.path() / "trivexa-private").string(), true};
  auto lock = MakeLock(place);
  EXPECT_EQ(lock->Take().outcome, LockOutcome::kTaken);
  EXPECT_EQ(fs::status(place.name).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(ProbeInstance(place), InstanceState::kRunning);
}

TEST_F(InstanceLockTest, AFolderOthersCanWriteIntoOrThatIsALinkIsRefused) {
  const fs::path open = dir.path() / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all);
  EXPECT_EQ(MakeLock({open.string(), true})->Take().outcome, LockOutcome::kUnavailable);
  EXPECT_FALSE(fs::exists(open / "trivexa.lock"));

  const fs::path real = dir.path() / "real";
  fs::create_directory(real);
  fs::permissions(real, fs::perms::owner_all);
  const fs::path link = dir.path() / "link";
  fs::create_directory_symlink(real, link);
  EXPECT_EQ(MakeLock({link.string(), true})->Take().outcome, LockOutcome::kUnavailable);
  EXPECT_FALSE(fs::exists(real / "trivexa.lock"));
}

// The shared temporary folder, where every user may create names.
class SharedTempTest : public InstanceLockTest {
 protected:
  void SetUp() override {
    RequireRoot();
    fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
  }
  LockPlace PlaceOf(uid_t user) const {
    return {(dir.path() / ("trivexa-" + std::to_string(user))).string(), true};
  }
};

TEST_F(SharedTempTest, AnotherUsersRunningCopyDoesNotCount) {
  HolderProcess other(PlaceOf(kOtherUser), kOtherUser);
  ASSERT_EQ(other.Outcome(), LockOutcome::kTaken);
  auto lock = MakeLock(PlaceOf(::geteuid()));
  EXPECT_FALSE(lock->AnotherInstanceRunning());
  EXPECT_TRUE(lock->Held());
  EXPECT_TRUE(warnings.empty());
}

TEST_F(SharedTempTest, AnotherUserTakingOurFolderNameFirstCannotStopUs) {
  const LockPlace ours = PlaceOf(::geteuid());
  {
    // Another user makes our folder (and a lock in it) and holds that lock.
    HolderProcess squatter({ours.name, true}, kOtherUser);
    ASSERT_EQ(squatter.Outcome(), LockOutcome::kTaken);
    auto lock = MakeLock(ours);
    EXPECT_FALSE(lock->AnotherInstanceRunning());
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_NE(warnings[0].find("another user"), std::string::npos) << warnings[0];
    EXPECT_EQ(ProbeInstance(ours), InstanceState::kUnknown);
  }
  // A lock file of another user's in a folder of ours is not ours either.
  fs::remove_all(ours.name);
  ASSERT_TRUE(fs::create_directory(ours.name));
  fs::permissions(ours.name, fs::perms::owner_all);
  fakes::WriteFile(fs::path(ours.name) / "trivexa.lock", "");
  ASSERT_EQ(::chown((fs::path(ours.name) / "trivexa.lock").c_str(), kOtherUser, kOtherUser), 0);
  EXPECT_EQ(MakeLock(ours)->Take().outcome, LockOutcome::kUnavailable);
}

// Restores one environment variable when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(InstanceLockTest, DefaultPlaceIsOneWhereNoOtherUserCanCreateNames) {
  RequireRoot();
  // Stand-ins for /run/user and /run, which (like the test's folder) are
  // root's and closed to others' writes.
  const RuntimeRoots roots{(dir.path() / "run" / "user").string(), (dir.path() / "run").string()};
  fs::create_directories(roots.loginRuntime);
  const fs::path home = dir.path() / "home";  // another user's, who has no runtime folder
  fs::create_directory(home);
  ASSERT_EQ(::chown(home.c_str(), kOtherUser, kOtherUser), 0);
  const LockPlace rootsOwn{roots.systemRuntime + "/trivexa", true};
  ScopedEnv shared("TMPDIR", dir.path().c_str());  // the temporary folder plays no part
  const fs::path everyones = dir.path() / "tmp";   // root's, but open to all, as /tmp
  fs::create_directory(everyones);
  fs::permissions(everyones, fs::perms(01777));
  // Relative names are no places: they would follow the current folder.
  const std::pair<const char*, LockPlace> cases[] = {{dir.path().c_str(), Place()},
                                                     {home.c_str(), rootsOwn},
                                                     {everyones.c_str(), rootsOwn},
                                                     {"relative", rootsOwn},
                                                     {nullptr, rootsOwn}};
  for (const auto& [runtime, expected] : cases) {
    ScopedEnv variable("XDG_RUNTIME_DIR", runtime);
    const LockPlace place = DefaultLockPlace(roots);
    EXPECT_EQ(place.name, expected.name) << (runtime ? runtime : "unset");
    EXPECT_EQ(place.createFolder, expected.createFolder) << (runtime ? runtime : "unset");
  }
  ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
  // Another user cannot make root's folder first.
  EXPECT_EQ(HolderProcess(rootsOwn, kOtherUser).Outcome(), LockOutcome::kUnavailable);
  EXPECT_EQ(MakeLock(rootsOwn)->Take().outcome, LockOutcome::kTaken);
  // A login's runtime folder is shared with the user's desktop session.
  fs::create_directory(fs::path(roots.loginRuntime) / "0");
  EXPECT_EQ(DefaultLockPlace(roots).name, roots.loginRuntime + "/0");

  // Any other user: a folder in their cache folder, made with its parent,
  // which a third user cannot make first.
  ScopedEnv homeVariable("HOME", home.c_str());
  ScopedEnv cache("XDG_CACHE_HOME", nullptr);
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  const LockPlace users{home.string() + "/.cache/trivexa-" + host, true};
  EXPECT_EQ(HolderProcess(users, kOtherUser - 1).Outcome(), LockOutcome::kUnavailable);
  EXPECT_EQ(fakes::InChildWithoutPrivileges([&] {
              const LockPlace place = DefaultLockPlace(roots);
              if (place.name != users.name || !place.createFolder) return 1;
              return InstanceLock(place).Take().outcome == LockOutcome::kTaken ? 0 : 2;
            }),
            0);
  // A slash in the host's name would make a folder path of it; a host
  // without a name is "localhost".
  for (const auto& [hostName, folder] :
       {std::pair{"pc/2", "trivexa-pc_2"}, std::pair{"", "trivexa-localhost"}}) {
    EXPECT_EQ(fakes::InChild([&] {
                const bool renamed = ::unshare(CLONE_NEWUTS) == 0 &&
                                     ::sethostname(hostName, std::strlen(hostName)) == 0;
                if (!renamed || ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0) return 3;
                return DefaultLockPlace(roots).name == home.string() + "/.cache/" + folder ? 0 : 1;
              }),
              0)
        << hostName;
  }
}

}  // namespace
}  // namespace trivexa::instance
