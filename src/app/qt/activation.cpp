#include "app/qt/activation.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <utility>

namespace trivexa::app {
namespace {

constexpr int kWaitMs = 1000;
// A token is a short opaque text; anything longer is no request of ours.
constexpr qsizetype kMaxRequest = 4096;

// Only a process of the same user may bring the window forward. The folder
// already keeps others out; this also holds where it is shared by mistake.
bool SameUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  const auto fd = static_cast<int>(socket.socketDescriptor());
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

}  // namespace

QString ActivationSocketPath(const QString& lockFolder) {
  return QDir(lockFolder).filePath(QStringLiteral("trivexa.socket"));
}

ActivationListener::ActivationListener(const QString& socketPath,
                                       std::function<void(const QByteArray&)> show)
    : server_(new QLocalServer(this)), show_(std::move(show)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Whoever holds the lock owns the name: a socket left by a copy that was
  // killed is stale.
  QLocalServer::removeServer(socketPath);
  if (server_->listen(socketPath)) {
    connect(server_, &QLocalServer::newConnection, this, &ActivationListener::Accept);
  }
}

// The server closes with its owner, which also removes the socket file.
ActivationListener::~ActivationListener() = default;

bool ActivationListener::Listening() const { return server_->isListening(); }

void ActivationListener::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!SameUser(*socket)) {
      socket->abort();
      continue;
    }
    // The request is one line; it is complete when the line ends or the
    // sender has gone.
    auto handle = [this, socket] {
      const QByteArray data = socket->peek(kMaxRequest + 1);
      const qsizetype end = data.indexOf('\n');
      const bool gone = socket->state() != QLocalSocket::ConnectedState;
      if (end < 0 && !gone && data.size() <= kMaxRequest) return;
      socket->disconnect(this);
      socket->abort();
      if (data.size() <= kMaxRequest) show_(end < 0 ? data : data.left(end));
    };
    connect(socket, &QLocalSocket::readyRead, this, handle);
    connect(socket, &QLocalSocket::disconnected, this, handle);
    if (socket->bytesAvailable() > 0) handle();
  }
}

bool AskRunningCopyToShow(const QString& socketPath, const QByteArray& activationToken) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(activationToken.left(kMaxRequest) + '\n');
  const bool sent = socket.waitForBytesWritten(kWaitMs);
  socket.disconnectFromServer();
  return sent;
}

}  // namespace trivexa::app
