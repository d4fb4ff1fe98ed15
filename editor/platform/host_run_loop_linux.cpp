// The host's run loops on Linux: the offered run loops, and the cadence clocks and file
// descriptor watches that run on the newest of them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "editor/platform/cadence_clock.h"
#include "editor/platform/host_run_loop.h"

namespace norvo {

namespace {

struct KnownRunLoop {
  NorvoHostRunLoop table;
  int offers;
};

// A cadence clock (fd < 0) or a file descriptor watch, and how it runs right now.
struct RunLoopTask {
  void (*callback)(void*);
  void* userData;
  std::uint32_t milliseconds;  // the clock's interval, or the watch's fallback interval
  int fd;
  void* runLoopContext = nullptr;  // null while dormant
  void* handle = nullptr;          // the host's timer or event handler
  bool eventDriven = false;        // `handle` comes from watchFd
};

// Main thread only; plain pointers so that nothing runs at module unload.
std::vector<KnownRunLoop>* gRunLoops = nullptr;
std::vector<RunLoopTask*>* gTasks = nullptr;

std::vector<KnownRunLoop>& runLoops() {
  if (gRunLoops == nullptr) gRunLoops = new std::vector<KnownRunLoop>();
  return *gRunLoops;
}

std::vector<RunLoopTask*>& tasks() {
  if (gTasks == nullptr) gTasks = new std::vector<RunLoopTask*>();
  return *gTasks;
}

void fireTask(void* userData) {
  RunLoopTask* task = static_cast<RunLoopTask*>(userData);
  task->callback(task->userData);  // may stop this task: nothing touches it afterwards
}

// Where a task runs: the run loop's context and the host's handle for it.
struct Placement {
  void* runLoopContext = nullptr;
  void* handle = nullptr;
  bool eventDriven = false;
};

// Starts `task` on `loop` (a file descriptor through the run loop's event handlers where it has
// them, otherwise a timer); false when the run loop refuses.
bool placeOn(RunLoopTask& task, const NorvoHostRunLoop& loop, Placement& placed) {
  if (task.fd >= 0 && loop.watchFd != nullptr && loop.unwatchFd != nullptr) {
    if (void* watch = loop.watchFd(loop.context, task.fd, &fireTask, &task)) {
      placed = {loop.context, watch, true};
      return true;
    }
  }
  void* timer = loop.startTimer(loop.context, task.milliseconds, &fireTask, &task);
  if (timer == nullptr) return false;
  placed = {loop.context, timer, false};
  return true;
}

void setPlacement(RunLoopTask& task, const Placement& placed) {
  task.runLoopContext = placed.runLoopContext;
  task.handle = placed.handle;
  task.eventDriven = placed.eventDriven;
}

// Starts a stopped task on the newest known run loop (the one offered last); it stays dormant
// when there is none or that one refuses.
void startOnNewestRunLoop(RunLoopTask& task) {
  Placement placed;
  if (!runLoops().empty()) placeOn(task, runLoops().back().table, placed);
  setPlacement(task, placed);
}

void stopOnItsRunLoop(RunLoopTask& task) {
  if (task.runLoopContext == nullptr) return;
  for (const KnownRunLoop& known : runLoops()) {
    if (known.table.context == task.runLoopContext) {
      if (task.eventDriven)
        known.table.unwatchFd(known.table.context, task.handle);
      else
        known.table.stopTimer(known.table.context, task.handle);
      break;
    }
  }
  task.runLoopContext = nullptr;
  task.handle = nullptr;
  task.eventDriven = false;
}

RunLoopTask* startTask(RunLoopTask* task) {
  tasks().push_back(task);
  startOnNewestRunLoop(*task);
  return task;
}

void stopTask(void* handle) {
  if (handle == nullptr) return;
  auto& all = tasks();
  const auto found = std::find(all.begin(), all.end(), static_cast<RunLoopTask*>(handle));
  if (found == all.end()) return;
  RunLoopTask* task = *found;
  all.erase(found);
  stopOnItsRunLoop(*task);
  delete task;
}

}  // namespace

void offerHostRunLoop(const NorvoHostRunLoop* runLoop) {
  if (runLoop == nullptr || runLoop->startTimer == nullptr || runLoop->stopTimer == nullptr) return;
  for (KnownRunLoop& known : runLoops()) {
    if (known.table.context == runLoop->context) {
      ++known.offers;
      return;
    }
  }
  runLoops().push_back({*runLoop, 1});
  // Every task moves onto the run loop offered last: a view's run loop, offered when the view
  // attaches, takes over the clocks that ran on the host context's. A task the new run loop
  // refuses stays where it was.
  const NorvoHostRunLoop newest = runLoops().back().table;
  for (RunLoopTask* task : tasks()) {
    Placement placed;
    if (!placeOn(*task, newest, placed)) continue;
    stopOnItsRunLoop(*task);
    setPlacement(*task, placed);
  }
}

void withdrawHostRunLoop(const NorvoHostRunLoop* runLoop) {
  if (runLoop == nullptr) return;
  auto& loops = runLoops();
  const auto found = std::find_if(loops.begin(), loops.end(), [&](const KnownRunLoop& known) {
    return known.table.context == runLoop->context;
  });
  if (found == loops.end() || --found->offers > 0) return;
  for (RunLoopTask* task : tasks()) {
    if (task->runLoopContext == runLoop->context) stopOnItsRunLoop(*task);
  }
  loops.erase(found);
  for (RunLoopTask* task : tasks()) {
    if (task->runLoopContext == nullptr) startOnNewestRunLoop(*task);
  }
}

bool hostRunLoopKnown() { return !runLoops().empty(); }

std::uint32_t cadenceClockMilliseconds(double intervalSeconds) {
  if (!(intervalSeconds > 0)) return 33;
  const double ms = std::round(intervalSeconds * 1000.0);
  if (ms < 1) return 1;
  if (ms > 3600000.0) return 3600000;
  return static_cast<std::uint32_t>(ms);
}

void* startFdWatch(int fd, void (*callback)(void* userData), void* userData,
                   std::uint32_t fallbackMilliseconds) {
  if (fd < 0 || callback == nullptr) return nullptr;
  return startTask(
      new RunLoopTask{callback, userData, std::max<std::uint32_t>(fallbackMilliseconds, 1), fd});
}

void stopFdWatch(void* watch) { stopTask(watch); }

bool fdWatchIsEventDriven(const void* watch) {
  for (const RunLoopTask* task : tasks()) {
    if (task == watch) return task->eventDriven;
  }
  return false;
}

}  // namespace norvo

void* norvoStartCadenceClock(void (*callback)(void* userData), void* userData,
                             double intervalSeconds) {
  if (callback == nullptr) return nullptr;
  return norvo::startTask(new norvo::RunLoopTask{
      callback, userData, norvo::cadenceClockMilliseconds(intervalSeconds), -1});
}

void norvoStopCadenceClock(void* timer) { norvo::stopTask(timer); }
