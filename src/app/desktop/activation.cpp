#include "app/desktop/activation.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "host/standard_streams.h"
#include "host/text.h"

namespace trivexa::app {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kAskTime{1000};
constexpr std::chrono::milliseconds kQueueFullPause{20};
constexpr int kBacklog = 16;
// Out of descriptors: the connection waits in the queue meanwhile.
constexpr int kAcceptPauseMs = 500;

int OpenFolder(const std::string& folder) {
  return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The socket's name in the folder: its path where that fits in a socket's
// address, else the same file through the descriptor `folderFd` of the
// folder, which needs /proc.
std::string SocketName(const std::string& folder, int folderFd) {
  std::string path = folder + '/' + kActivationSocketName;
  if (path.size() < sizeof(sockaddr_un::sun_path)) return path;
  return "/proc/self/fd/" + std::to_string(folderFd) + '/' + kActivationSocketName;
}

sockaddr_un AddressOf(const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.data(), std::min(name.size(), sizeof address.sun_path - 1));
  return address;
}

// Only a process of the same user may bring the window forward, or be
// spoken to. The folder already keeps others out; this also holds where it
// is shared by mistake.
bool PeerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// Waits until `fd` is ready for `events`, or the deadline.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

// Whether the other end has closed its side, whatever it sent before.
bool HungUp(int fd) {
  pollfd entry{fd, POLLRDHUP, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace

struct ActivationListener::Connection {
  int fd = -1;
  QByteArray received;
  QSocketNotifier* notifier = nullptr;
  QTimer* deadline = nullptr;
};

ActivationListener::ActivationListener(std::string folder, Show show, Limits limits, Warn warn)
    : folder_(std::move(folder)),
      show_(std::move(show)),
      limits_(limits),
      warn_(std::move(warn)),
      folderFd_(OpenFolder(folder_)),
      checkTimer_(new QTimer(this)) {
  if (!warn_) {
    warn_ = [](const std::string& message) { PrintNotice("trivexa: warning: ", message); };
  }
  if (folderFd_ < 0) {
    warn_("a second launch cannot bring this window to the front (" + folder_ + ": " +
          ErrnoText(errno) + ")");
    return;
  }
  Listen();
  // Whatever removed the socket (a cleaner of old files, say), the window
  // comes back to listening.
  connect(checkTimer_, &QTimer::timeout, this, &ActivationListener::Check);
  checkTimer_->start(limits_.checkMs);
}

ActivationListener::~ActivationListener() {
  while (!connections_.empty()) Drop(*connections_.front());
  if (SocketIsOurs()) ::unlinkat(folderFd_, kActivationSocketName, 0);
  StopListening();
  if (folderFd_ >= 0) ::close(folderFd_);
}

void ActivationListener::Listen() {
  StopListening();
  // Whoever holds the lock owns the name: a socket left by a copy that was
  // killed is stale.
  ::unlinkat(folderFd_, kActivationSocketName, 0);
  const std::string name = SocketName(folder_, folderFd_);
  const sockaddr_un address = AddressOf(name);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  struct stat status {};
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::fchmodat(folderFd_, kActivationSocketName, 0600, 0) != 0 || ::listen(fd, kBacklog) != 0 ||
      ::fstatat(folderFd_, kActivationSocketName, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!warned_) {
      warned_ = true;
      warn_("a second launch cannot bring this window to the front (" + name + ": " +
            ErrnoText(error) + ")");
    }
    return;
  }
  listenFd_ = fd;
  socketDevice_ = status.st_dev;
  socketInode_ = status.st_ino;
  listenNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
  connect(listenNotifier_, &QSocketNotifier::activated, this, &ActivationListener::Accept);
}

void ActivationListener::StopListening() {
  if (listenFd_ < 0) return;
  listenNotifier_->setEnabled(false);
  listenNotifier_->deleteLater();
  listenNotifier_ = nullptr;
  ::close(listenFd_);
  listenFd_ = -1;
}

bool ActivationListener::SocketIsOurs() const {
  struct stat status {};
  return listenFd_ >= 0 &&
         ::fstatat(folderFd_, kActivationSocketName, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISSOCK(status.st_mode) && status.st_dev == socketDevice_ &&
         status.st_ino == socketInode_;
}

void ActivationListener::Check() {
  if (!SocketIsOurs()) Listen();
}

void ActivationListener::Accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        listenNotifier_->setEnabled(false);
        QTimer::singleShot(kAcceptPauseMs, this, [this] {
          if (listenNotifier_ != nullptr) listenNotifier_->setEnabled(true);
        });
      }
      return;
    }
    if (!PeerIsThisUser(fd)) {
      ::close(fd);
      continue;
    }
    if (connections_.size() >= limits_.openConnections) Drop(*connections_.front());
    auto connection = std::make_unique<Connection>();
    Connection* added = connection.get();
    added->fd = fd;
    added->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(added->notifier, &QSocketNotifier::activated, this, [this, added] { Read(*added); });
    added->deadline = new QTimer(this);
    added->deadline->setSingleShot(true);
    connect(added->deadline, &QTimer::timeout, this, [this, added] { Drop(*added); });
    added->deadline->start(limits_.requestMs);
    connections_.push_back(std::move(connection));
    Read(*added);  // the request may be there already
  }
}

void ActivationListener::Read(Connection& connection) {
  char buffer[512];
  for (;;) {
    const ssize_t got = ::read(connection.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) break;  // gone before its request was complete
    connection.received.append(buffer, got);
    const qsizetype end = connection.received.indexOf('\n');
    if (end < 0 && connection.received.size() < kMaxRequestSize) continue;
    // A line, or more than any request: the connection's turn is over.
    const std::optional<LaunchTokens> tokens =
        end >= 0 ? ParseRequestLine(connection.received.left(end)) : std::nullopt;
    // A launch hangs up only once it has given up waiting (this window was
    // stopped, say) and ended its busy cursor itself: its request is stale.
    const bool stale = HungUp(connection.fd);
    if (tokens && !stale && answer_) {
      // A few bytes into an empty socket buffer: this never waits.
      const std::string reply = answer_() + '\n';
      static_cast<void>(
          ::send(connection.fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT));
    }
    Drop(connection);
    if (tokens && !stale) show_(*tokens);
    return;
  }
  Drop(connection);
}

void ActivationListener::Drop(const Connection& connection) {
  const auto found =
      std::find_if(connections_.begin(), connections_.end(),
                   [&connection](const auto& open) { return open.get() == &connection; });
  if (found == connections_.end()) return;
  // Closing tells the sender its request was read.
  connection.notifier->setEnabled(false);
  connection.notifier->deleteLater();
  connection.deadline->stop();
  connection.deadline->deleteLater();
  ::close(connection.fd);
  connections_.erase(found);
}

bool AskRunningCopyToShow(const std::string& folder, const LaunchTokens& tokens,
                          std::string* answer) {
  const auto deadline = Clock::now() + kAskTime;
  const int folderFd = OpenFolder(folder);
  if (folderFd < 0) return false;
  const sockaddr_un address = AddressOf(SocketName(folder, folderFd));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  bool connected = false;
  while (fd >= 0 && !connected && Clock::now() < deadline) {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    // A full queue empties as the running copy reads it; anything else
    // means nobody listens.
    if (!connected && errno == EAGAIN) std::this_thread::sleep_for(kQueueFullPause);
    if (!connected && errno != EAGAIN && errno != EINTR) break;
  }
  bool read = false;
  if (connected && PeerIsThisUser(fd)) {
    const QByteArray request = RequestLine(tokens);
    qsizetype sent = 0;
    while (sent < request.size() && WaitFor(fd, POLLOUT, deadline)) {
      const ssize_t wrote = ::send(fd, request.constData() + sent,
                                   static_cast<std::size_t>(request.size() - sent), MSG_NOSIGNAL);
      if (wrote < 0 && errno != EAGAIN && errno != EINTR) break;
      if (wrote > 0) sent += wrote;
    }
    // The running copy answers, then closes the connection once it has
    // read the request.
    std::string received;
    char buffer[256];
    while (sent == request.size() && !read && WaitFor(fd, POLLIN, deadline)) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0 && received.size() < kMaxRequestSize) received.append(buffer, got);
      read = got == 0 || (got < 0 && errno == ECONNRESET);
      if (got < 0 && errno != EAGAIN && errno != EINTR) break;
    }
    if (read && answer != nullptr) *answer = received.substr(0, received.find('\n'));
  }
  if (fd >= 0) ::close(fd);
  ::close(folderFd);
  return read;
}

}  // namespace trivexa::app
