#include "app/desktop/close_at_exit.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace trivexa::app {
namespace {

// How long Qt's thread waits for the window's thread to run the hook; and
// how long the window's thread, the hook run, then waits for the end Qt
// announced, so that it opens nothing in between.
constexpr std::chrono::seconds kWait{3};

// Cleared when the object goes, before main()'s locals are gone for good,
// so the hook never reaches a window that no longer exists.
struct PendingExit {
  std::mutex mutex;
  std::condition_variable ran;
  std::function<void()> onExit;
  std::thread::id thread;
  bool running = false;
  QtMessageHandler previous = nullptr;
};

PendingExit& Pending() {
  static auto* pending = new PendingExit();
  return *pending;
}

// Only on the window's own thread: from any other, the window's objects may
// be in use at this very moment. True when it ran the hook.
bool RunPending() {
  PendingExit& pending = Pending();
  std::function<void()> onExit;
  {
    const std::lock_guard lock(pending.mutex);
    if (pending.thread != std::this_thread::get_id()) return false;
    onExit = std::exchange(pending.onExit, nullptr);
    pending.running = static_cast<bool>(onExit);
  }
  if (onExit) onExit();
  {
    const std::lock_guard lock(pending.mutex);
    pending.running = false;
  }
  pending.ran.notify_all();
  return static_cast<bool>(onExit);
}

extern "C" void RunPendingAtExit() { RunPending(); }

bool AnnouncesLostWaylandConnection(const QString& message) {
  return message.startsWith(QLatin1String("The Wayland connection broke")) ||
         message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void WatchMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  PendingExit& pending = Pending();
  if (pending.previous != nullptr) pending.previous(type, context, message);
  if (!AnnouncesLostWaylandConnection(message)) return;
  if (RunPending()) return;
  std::unique_lock lock(pending.mutex);
  if (!pending.onExit || QCoreApplication::instance() == nullptr) return;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [] {
        if (RunPending()) std::this_thread::sleep_for(kWait);
      },
      Qt::QueuedConnection);
  pending.ran.wait_for(lock, kWait, [&pending] { return !pending.onExit && !pending.running; });
}

}  // namespace

CloseAtExit::CloseAtExit(std::function<void()> onExit) {
  static const bool registered = std::atexit(RunPendingAtExit) == 0;
  static const QtMessageHandler previous = qInstallMessageHandler(WatchMessages);
  PendingExit& pending = Pending();
  const std::lock_guard lock(pending.mutex);
  pending.previous = previous;
  if (registered) {
    pending.onExit = std::move(onExit);
    pending.thread = std::this_thread::get_id();
  }
}

CloseAtExit::~CloseAtExit() {
  PendingExit& pending = Pending();
  {
    const std::lock_guard lock(pending.mutex);
    pending.onExit = nullptr;
    pending.thread = {};
  }
  pending.ran.notify_all();
}

}  // namespace trivexa::app
