#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt/lock_file_guard.h"

namespace trivexa::app {
namespace {

TEST(LockFileGuard, OneHolderAtATime) {
  QTemporaryDir folder;
  const QString path = folder.filePath("trivexa.lock");
  {
    LockFileGuard first(path);
    EXPECT_FALSE(first.AnotherInstanceRunning());
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(first.AnotherInstanceRunning());  // asking again keeps the lock

    LockFileGuard second(path);
    EXPECT_TRUE(second.AnotherInstanceRunning());

    // A copy that has run for an hour still holds its lock.
    QFile lockFile(path);
    ASSERT_TRUE(lockFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    lockFile.close();
    LockFileGuard later(path);
    EXPECT_TRUE(later.AnotherInstanceRunning());
  }
  // The holder has gone: the next one takes the lock.
  LockFileGuard third(path);
  EXPECT_FALSE(third.AnotherInstanceRunning());
}

TEST(LockFileGuard, DefaultLockIsPerUser) {
  const QString path = LockFileGuard::DefaultLockPath();
  EXPECT_TRUE(path.endsWith(QStringLiteral(".lock")));
  EXPECT_TRUE(QFileInfo(path).dir().exists());
}

// Copies of the real program, each in its own folder, so each keeps its own
// JOYSTICK.INI; all share one private runtime folder and so one lock.
class ProgramCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime_.isValid());
    QFile::setPermissions(runtime_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // A fresh folder holding a copy of the executable.
  QString NewCopy() {
    auto folder = std::make_unique<QTemporaryDir>();
    const QString executable = folder->filePath("trivexa");
    EXPECT_TRUE(QFile::copy(QStringLiteral(TRIVEXA_EXECUTABLE), executable));
    QFile::setPermissions(executable, QFile::permissions(QStringLiteral(TRIVEXA_EXECUTABLE)));
    folders_.push_back(std::move(folder));
    return executable;
  }

  std::unique_ptr<QProcess> Start(const QString& executable) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", runtime_.path());
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(executable, {});
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
  }

  static QString IniOf(const QString& executable) {
    return QFileInfo(executable).dir().filePath("JOYSTICK.INI");
  }

  // A copy that holds the lock creates its settings file, key by key; the
  // last key is TimeInterval.
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

  QString LockPath() const { return QDir(runtime_.path()).filePath("trivexa.lock"); }

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

}  // namespace
}  // namespace trivexa::app
