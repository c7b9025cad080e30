#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop/launch_request.h"

class QSocketNotifier;
class QTimer;

namespace trivexa::app {

// A second launch of the window brings the running one to the front. The
// running copy listens on a local socket beside its single-copy lock, in a
// folder only its user can enter; a second copy of the same user finds the
// lock taken, hands its launcher's tokens over on the socket and ends. A copy
// of another user never reaches it.
//
// Folders are byte paths, as the lock has them: a name that is not UTF-8
// stays the same folder. A path too long for a socket's address is reached
// through the process's descriptor of the folder instead.

inline constexpr char kActivationSocketName[] = "trivexa.socket";

class ActivationListener final : public QObject {
 public:
  // How long a connection may take to send its request, how many may be
  // open at once (a new one beyond that drops the oldest), and how often the
  // listener checks that its socket is still in place.
  struct Limits {
    int requestMs = 2000;
    std::size_t openConnections = 8;
    int checkMs = 5000;
  };
  using Show = std::function<void(const LaunchTokens&)>;
  using Warn = std::function<void(const std::string&)>;
  // The running window's answer to a request, sent back before the
  // connection closes: which joystick it is for.
  using Answer = std::function<std::string()>;

  // `show` runs on the window's thread for each complete, well-formed
  // request. `warn` hears, once, why no second launch can reach the window;
  // by default it goes to standard error.
  ActivationListener(std::string folder, Show show, Limits limits, Warn warn = {});
  ActivationListener(std::string folder, Show show)
      : ActivationListener(std::move(folder), std::move(show), Limits{}) {}
  void SetAnswer(Answer answer) { answer_ = std::move(answer); }
  ~ActivationListener() override;
  ActivationListener(const ActivationListener&) = delete;
  ActivationListener& operator=(const ActivationListener&) = delete;

  bool Listening() const { return listenFd_ >= 0; }

 private:
  struct Connection;

  void Listen();
  void StopListening();
  bool SocketIsOurs() const;
  void Accept();
  void Read(Connection& connection);
  void Drop(const Connection& connection);
  void Check();

  std::string folder_;
  Show show_;
  Limits limits_;
  Warn warn_;
  Answer answer_;
  bool warned_ = false;
  int folderFd_ = -1;
  int listenFd_ = -1;
  unsigned long socketDevice_ = 0;
  unsigned long socketInode_ = 0;
  QSocketNotifier* listenNotifier_ = nullptr;
  QTimer* checkTimer_ = nullptr;
  std::vector<std::unique_ptr<Connection>> connections_;
};

// Tells the running copy in `folder` to come to the front, with `tokens`.
// Waits at most about a second, until the running copy has read the request
// (it reads it when its handler in progress ends); false when nobody
// listens or the request was not read. `answer`, when given, receives what
// the running copy answered (empty from a copy that answers nothing).
bool AskRunningCopyToShow(const std::string& folder, const LaunchTokens& tokens,
                          std::string* answer = nullptr);

}  // namespace trivexa::app
