#include "app/qt/lock_file_guard.h"

#include <QDir>
#include <QStandardPaths>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace trivexa::app {
namespace {

QString UserId() {
#if defined(Q_OS_UNIX)
  return QString::number(::getuid());
#else
  return QDir::home().dirName();
#endif
}

}  // namespace

LockFileGuard::LockFileGuard(QString lockPath) : lockPath_(std::move(lockPath)) {}

QString LockFileGuard::DefaultLockPath() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!runtime.isEmpty() && QDir().mkpath(runtime)) {
    return QDir(runtime).filePath(QStringLiteral("trivexa.lock"));
  }
  return QDir(QDir::tempPath()).filePath(QStringLiteral("trivexa-%1.lock").arg(UserId()));
}

bool LockFileGuard::AnotherInstanceRunning() {
  if (lock_ && lock_->isLocked()) return false;  // this copy holds it already
  lock_ = std::make_unique<QLockFile>(lockPath_);
  // No age limit: a copy that runs for hours keeps its lock. A lock whose
  // process is gone is still recognised as stale and removed.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return false;
  // Only a live holder counts as another copy; a lock that cannot be made
  // at all (folder not writable) must not keep the tool from starting.
  return lock_->error() == QLockFile::LockFailedError;
}

}  // namespace trivexa::app
