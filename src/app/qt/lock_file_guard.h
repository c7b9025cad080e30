#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

#include "app/logic/mainfrm_logic.h"

namespace trivexa::app {

// One copy per user: the first copy holds a lock file for as long as it
// runs. A lock left behind by a copy that died is taken over.
class LockFileGuard final : public InstanceGuard {
 public:
  // `lockPath` empty: the per-user default location.
  explicit LockFileGuard(QString lockPath = DefaultLockPath());

  bool AnotherInstanceRunning() override;

  // In the user's runtime folder, or in the temporary folder with the
  // user's id in the name where there is none.
  static QString DefaultLockPath();

 private:
  QString lockPath_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace trivexa::app
