// The virtual hidraw devices' timeline: input reports put into the open
// files' queues, the firmware's timed and replayed replies, unplug and
// replug, the position stream, and the worker thread that runs what is due.
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <utility>

#include "sysfs_tree.h"
#include "vjoy_state.h"

namespace vjoy {

// Puts one input report into the queue of every file open on the device,
// as hidraw does; a full queue drops the new report.
void DeliverLocked(Device& device, const std::vector<std::uint8_t>& report) {
  unsigned taken = 0;
  for (OpenFile* file : device.files) {
    if (!Alive(*file)) continue;
    if (file->queued.load() >= device.virtualInterface.queueLimit) {
      Log("drop hidraw%u fd=%d", device.virtualInterface.number, file->fd);
      continue;
    }
    // Counted before it is sent: a reader may take it at once.
    file->queued.fetch_add(1);
    if (::send(file->peer, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(report.size())) {
      ++taken;
    } else {
      file->queued.fetch_sub(1);
    }
  }
  Log("report hidraw%u to=%u bytes=%s", device.virtualInterface.number, taken,
      Hex(report.data(), report.size()).c_str());
}

void FireTriggers(Device& device, Trigger::Kind kind, std::uint8_t command) {
  for (const PlugEvent& event : g_state->scenario.events) {
    if (event.number != device.virtualInterface.number || event.trigger.kind != kind) continue;
    if (kind == Trigger::Kind::kAfterCommand &&
        (event.trigger.command != command ||
         device.commandCounts[command] != event.trigger.count)) {
      continue;
    }
    Action action;
    action.kind = event.replug ? Action::Kind::kReplug : Action::Kind::kUnplug;
    action.atMs = NowMs() + event.trigger.delayMs;
    action.device = &device;
    Schedule(std::move(action));
  }
}

// A report's joystick answers with what the recorded one answered, and
// says so when the recording has no such step.
void ReplayLocked(Device& device, std::uint8_t command, ReplayFirmware::Answer answer) {
  const unsigned number = device.virtualInterface.number;
  if (answer.unseen) {
    Log("firmware hidraw%u replay unseen 0x%02x: %s", number, command,
        answer.step == 0
            ? "the report has no reply to it, none sent"
            : ("the last recorded reply, of step " + std::to_string(answer.step)).c_str());
  } else {
    Log("firmware hidraw%u replay step %zu 0x%02x", number, answer.step, command);
  }
  for (ReplayReply& reply : answer.replies) {
    if (reply.delayMs == 0) {
      DeliverLocked(device, reply.report);
      continue;
    }
    Action action;
    action.kind = Action::Kind::kDeliver;
    action.atMs = NowMs() + reply.delayMs;
    action.device = &device;
    action.generation = device.generation;
    action.report = std::move(reply.report);
    Schedule(std::move(action));
  }
}

void UnplugLocked(Device& device) {
  if (!device.present) return;
  device.present = false;
  device.streaming = false;
  MakeTreeLocked();
  RemoveInterface(g_state->sysRoot, device.virtualInterface);
  MirrorNodeLocked(device.virtualInterface.number, false);
  // Open files stay open but dead: reads fail once their queue is empty,
  // poll says POLLERR|POLLHUP, writes and ioctls fail with ENODEV.
  for (OpenFile* file : device.files) ::shutdown(file->peer, SHUT_RDWR);
  Log("unplug hidraw%u", device.virtualInterface.number);
  FireTriggers(device, Trigger::Kind::kAfterUnplug, 0);
}

void ReplugLocked(Device& device) {
  if (device.present) return;
  device.present = true;
  ++device.generation;
  MakeTreeLocked();
  AddInterface(g_state->sysRoot, device.virtualInterface);
  MirrorNodeLocked(device.virtualInterface.number, true);
  Log("replug hidraw%u", device.virtualInterface.number);
}

void StartStreamLocked(Device& device) {
  if (device.streaming || device.virtualInterface.streamMs == 0 || !device.firmware) return;
  device.streaming = true;
  Action action;
  action.kind = Action::Kind::kStream;
  action.atMs = NowMs() + device.virtualInterface.streamMs;
  action.device = &device;
  action.generation = device.generation;
  Schedule(std::move(action));
}

namespace {

void PerformLocked(Action& action) {
  Device& device = *action.device;
  switch (action.kind) {
    case Action::Kind::kDeliver:
      if (device.present && device.generation == action.generation) {
        DeliverLocked(device, action.report);
      }
      break;
    case Action::Kind::kUnplug:
      UnplugLocked(device);
      break;
    case Action::Kind::kReplug:
      ReplugLocked(device);
      break;
    case Action::Kind::kStream:
      if (!device.present || device.generation != action.generation) break;
      DeliverLocked(device, device.firmware->PositionReport());
      action.atMs += device.virtualInterface.streamMs;
      action.sequence = g_state->nextSequence++;
      g_state->actions.push(action);
      break;
  }
}

}  // namespace

void Work() {
  std::unique_lock lock(g_state->mutex);
  while (!g_state->stopping) {
    if (g_state->actions.empty()) {
      g_state->wake.wait(lock);
      continue;
    }
    const double due = g_state->actions.top().atMs;
    const double now = NowMs();
    if (due > now) {
      g_state->wake.wait_for(
          lock, std::chrono::microseconds(static_cast<std::int64_t>((due - now) * 1000.0) + 1));
      continue;
    }
    Action action = g_state->actions.top();
    g_state->actions.pop();
    PerformLocked(action);
  }
}

// The worker thread starts with the first timed action, so that processes
// that never touch a node (a shell, a helper) run no extra thread.
void Schedule(Action action) {
  action.sequence = g_state->nextSequence++;
  g_state->actions.push(std::move(action));
  if (!g_state->worker.joinable()) g_state->worker = std::thread(Work);
  g_state->wake.notify_one();
}

}  // namespace vjoy
