#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

namespace trivexa::app {
namespace {

// Copies of the real program, each in its own folder, so each keeps its own
// JOYSTICK.INI; all share one private runtime folder and so one lock.
class ProgramCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime_.isValid());
    QFile::setPermissions(runtime_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // A fresh folder holding a copy of the executable, owned by `user` when
  // given.
  QString NewCopy(std::optional<uid_t> user = std::nullopt) {
    auto folder = std::make_unique<QTemporaryDir>();
    const QString executable = folder->filePath("trivexa");
    EXPECT_TRUE(QFile::copy(QStringLiteral(TRIVEXA_EXECUTABLE), executable));
    QFile::setPermissions(executable, QFile::permissions(QStringLiteral(TRIVEXA_EXECUTABLE)));
    if (user) {
      EXPECT_EQ(::chown(QFile::encodeName(folder->path()).constData(), *user, *user), 0);
    }
    folders_.push_back(std::move(folder));
    return executable;
  }

  // Starts a copy with the shared runtime folder, or with `environment`
  // changes of the test's own; as `user` when given.
  std::unique_ptr<QProcess> Start(const QString& executable,
                                  const std::function<void(QProcessEnvironment&)>& adjust = {},
                                  std::optional<uid_t> user = std::nullopt) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    if (adjust) adjust(environment);
    process->setProcessEnvironment(environment);
    if (user) {
      const QString id = QString::number(*user);
      process->start("setpriv", {"--reuid=" + id, "--regid=" + id, "--clear-groups", executable});
    } else {
      process->start(executable, {});
    }
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
  }

  static QString IniOf(const QString& executable) {
    return QFileInfo(executable).dir().filePath("JOYSTICK.INI");
  }

  // A copy that holds the lock creates its settings file at start-up, whole
  // in one replacement; TimeInterval is its last key.
  static bool WaitForIni(const QString& executable) {
    return QTest::qWaitFor(
        [&] {
          QFile ini(IniOf(executable));
          return ini.open(QIODevice::ReadOnly) && ini.readAll().contains("TimeInterval");
        },
        15000);
  }

  static void Stop(QProcess& process) {
    process.kill();
    process.waitForFinished(10000);
  }

  // The lines the program itself wrote to standard error as warnings.
  static QStringList Warnings(QProcess& process) {
    QStringList warnings;
    for (const QByteArray& line : process.readAllStandardError().split('\n')) {
      if (line.startsWith("trivexa: warning:")) warnings << QString::fromUtf8(line);
    }
    return warnings;
  }

  static void RequireRoot() {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  }

  QString LockPath() const { return QDir(runtime_.path()).filePath("trivexa.lock"); }
  QString RuntimePath() const { return runtime_.path(); }

 private:
  QTemporaryDir runtime_;
  std::vector<std::unique_ptr<QTemporaryDir>> folders_;
};

TEST_F(ProgramCopies, SecondCopyEndsAtOnceAndLeavesTheSettingsAlone) {
  const QString firstExe = NewCopy();
  auto first = Start(firstExe);
  ASSERT_TRUE(WaitForIni(firstExe));
  QFile firstIni(IniOf(firstExe));
  ASSERT_TRUE(firstIni.open(QIODevice::ReadOnly));
  const QByteArray firstContents = firstIni.readAll();
  firstIni.close();
  const QDateTime firstModified = QFileInfo(firstIni).lastModified();

  // In a folder of its own: it must not create a settings file there.
  const QString otherExe = NewCopy();
  auto other = Start(otherExe);
  ASSERT_TRUE(other->waitForFinished(15000));
  EXPECT_EQ(other->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(other->exitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(IniOf(otherExe)));

  // In the first copy's folder: the file stays as it was.
  auto same = Start(firstExe);
  ASSERT_TRUE(same->waitForFinished(15000));
  EXPECT_EQ(same->exitCode(), 0);
  ASSERT_TRUE(firstIni.open(QIODevice::ReadOnly));
  EXPECT_EQ(firstIni.readAll(), firstContents);
  EXPECT_EQ(QFileInfo(firstIni).lastModified(), firstModified);

  EXPECT_EQ(first->state(), QProcess::Running);
  Stop(*first);
}

TEST_F(ProgramCopies, LockLeftByADeadCopyDoesNotBlockStartUp) {
  const QString deadExe = NewCopy();
  auto dead = Start(deadExe);
  ASSERT_TRUE(WaitForIni(deadExe));
  Stop(*dead);  // killed: no chance to remove its lock
  ASSERT_TRUE(QFileInfo::exists(LockPath()));

  const QString nextExe = NewCopy();
  auto next = Start(nextExe);
  EXPECT_TRUE(WaitForIni(nextExe));
  EXPECT_FALSE(next->waitForFinished(500));  // it runs on
  EXPECT_EQ(next->state(), QProcess::Running);
  Stop(*next);
}

TEST_F(ProgramCopies, ALockThatCannotBeMadeStartsTheProgramWithOneWarning) {
  ASSERT_TRUE(QDir().mkdir(LockPath()));  // the lock's name is taken by a folder
  const QString exe = NewCopy();
  auto copy = Start(exe);
  EXPECT_TRUE(WaitForIni(exe));
  EXPECT_FALSE(copy->waitForFinished(500));
  EXPECT_EQ(copy->state(), QProcess::Running);
  Stop(*copy);
  const QStringList warnings = Warnings(*copy);
  ASSERT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();
  EXPECT_TRUE(warnings[0].contains(LockPath())) << warnings[0].toStdString();
}

// Without a runtime folder the lock lives in the user's cache folder, where
// no other user can create names; the shared temporary folder plays no part.
class NoRuntimeFolderCopies : public ProgramCopies {
 protected:
  void SetUp() override {
    RequireRoot();
    ProgramCopies::SetUp();
    ASSERT_TRUE(shared_.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(shared_.path()).constData(), 01777), 0);
  }
  // The environment of `user`'s copies: a home of the user's own.
  std::function<void(QProcessEnvironment&)> WithoutRuntimeFolder(uid_t user) const {
    const QString home = QDir(shared_.path()).filePath(QString::number(user));
    QDir().mkdir(home);
    EXPECT_EQ(::chown(QFile::encodeName(home).constData(), user, user), 0);
    return [this, home](QProcessEnvironment& environment) {
      environment.remove("XDG_RUNTIME_DIR");
      environment.remove("XDG_CACHE_HOME");
      environment.insert("HOME", home);
      environment.insert("TMPDIR", shared_.path());
    };
  }
  QString FolderOf(uid_t user) const {
    return QDir(shared_.path()).filePath(QStringLiteral("trivexa-%1").arg(user));
  }

 private:
  QTemporaryDir shared_;
};

constexpr uid_t kNobody = 65534;
constexpr uid_t kAnotherUser = 65533;

TEST_F(NoRuntimeFolderCopies, OnlyACopyOfTheSameUserCountsAndNoOtherUserCanStopIt) {
  // Another user has made the folder where this user's lock once lived.
  ASSERT_TRUE(QDir().mkdir(FolderOf(kNobody)));
  ASSERT_EQ(::chown(QFile::encodeName(FolderOf(kNobody)).constData(), kAnotherUser, kAnotherUser),
            0);
  const QString firstExe = NewCopy(kNobody);
  auto first = Start(firstExe, WithoutRuntimeFolder(kNobody), kNobody);
  ASSERT_TRUE(WaitForIni(firstExe));

  const QString otherExe = NewCopy(kAnotherUser);
  auto other = Start(otherExe, WithoutRuntimeFolder(kAnotherUser), kAnotherUser);
  EXPECT_TRUE(WaitForIni(otherExe));
  EXPECT_EQ(other->state(), QProcess::Running);

  // A second copy of the first user still ends at once, silently.
  auto second = Start(NewCopy(kNobody), WithoutRuntimeFolder(kNobody), kNobody);
  ASSERT_TRUE(second->waitForFinished(15000));
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(Warnings(*second).isEmpty());

  Stop(*other);
  Stop(*first);
  EXPECT_TRUE(Warnings(*other).isEmpty());
  EXPECT_TRUE(Warnings(*first).isEmpty());
}

}  // namespace
}  // namespace trivexa::app
