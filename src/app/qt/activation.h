#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace trivexa::app {

// A second launch of the window brings the running one to the front. The
// running copy listens on a local socket in its single-copy lock's folder,
// which only its user can enter; a second copy of the same user finds the
// lock taken, says so on the socket (with the activation token its launcher
// gave it, if any) and ends. A copy of another user never reaches it.

// The socket beside the lock file in `lockFolder`.
QString ActivationSocketPath(const QString& lockFolder);

class ActivationListener final : public QObject {
 public:
  // `show` runs on the window's thread for every request, with the
  // requester's activation token (empty when it had none).
  ActivationListener(const QString& socketPath, std::function<void(const QByteArray&)> show);
  ~ActivationListener() override;

  bool Listening() const;

 private:
  void Accept();

  QLocalServer* server_;
  std::function<void(const QByteArray&)> show_;
};

// Tells the running copy to come to the front. Waits at most about a second
// (the running copy reads the request when its handler in progress ends);
// false when nobody listens.
bool AskRunningCopyToShow(const QString& socketPath, const QByteArray& activationToken);

}  // namespace trivexa::app
