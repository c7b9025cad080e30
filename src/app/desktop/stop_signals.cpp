#include "app/desktop/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace trivexa::app {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, so a plain global of a lock-free type.
volatile std::sig_atomic_t g_writeFd = -1;

extern "C" void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(signal);
  // A full pipe already holds a request to close; losing this one is fine.
  [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
  errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  int fds[2];
  if (g_writeFd != -1 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readFd_ = fds[0];
  writeFd_ = fds[1];
  g_writeFd = writeFd_;

  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);

  notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
}

StopSignals::~StopSignals() {
  if (writeFd_ == -1) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
  g_writeFd = -1;
  delete notifier_;
  ::close(readFd_);
  ::close(writeFd_);
}

void StopSignals::Drain() {
  unsigned char byte = 0;
  while (::read(readFd_, &byte, 1) == 1) onSignal_(byte);
}

}  // namespace trivexa::app
