// Cadence clocks on the host's run loops (Linux).
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

struct CadenceClock {
  void (*callback)(void*);
  void* userData;
  std::uint32_t milliseconds;
  void* runLoopContext;  // null while dormant
  void* timer;
};

// Main thread only; plain pointers so that nothing runs at module unload.
std::vector<KnownRunLoop>* gRunLoops = nullptr;
std::vector<CadenceClock*>* gClocks = nullptr;

std::vector<KnownRunLoop>& runLoops() {
  if (gRunLoops == nullptr) gRunLoops = new std::vector<KnownRunLoop>();
  return *gRunLoops;
}

std::vector<CadenceClock*>& clocks() {
  if (gClocks == nullptr) gClocks = new std::vector<CadenceClock*>();
  return *gClocks;
}

void fireClock(void* userData) {
  CadenceClock* clock = static_cast<CadenceClock*>(userData);
  clock->callback(clock->userData);  // may stop this clock: nothing touches it afterwards
}

void startOnFirstRunLoop(CadenceClock& clock) {
  clock.runLoopContext = nullptr;
  clock.timer = nullptr;
  if (runLoops().empty()) return;
  const NorvoHostRunLoop& loop = runLoops().front().table;
  void* timer = loop.startTimer(loop.context, clock.milliseconds, &fireClock, &clock);
  if (timer == nullptr) return;  // refused: stays dormant
  clock.runLoopContext = loop.context;
  clock.timer = timer;
}

void stopOnItsRunLoop(CadenceClock& clock) {
  if (clock.runLoopContext == nullptr) return;
  for (const KnownRunLoop& known : runLoops()) {
    if (known.table.context == clock.runLoopContext) {
      known.table.stopTimer(known.table.context, clock.timer);
      break;
    }
  }
  clock.runLoopContext = nullptr;
  clock.timer = nullptr;
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
  for (CadenceClock* clock : clocks()) {
    if (clock->runLoopContext == nullptr) startOnFirstRunLoop(*clock);
  }
}

void withdrawHostRunLoop(const NorvoHostRunLoop* runLoop) {
  if (runLoop == nullptr) return;
  auto& loops = runLoops();
  const auto found = std::find_if(loops.begin(), loops.end(), [&](const KnownRunLoop& known) {
    return known.table.context == runLoop->context;
  });
  if (found == loops.end() || --found->offers > 0) return;
  for (CadenceClock* clock : clocks()) {
    if (clock->runLoopContext == runLoop->context) stopOnItsRunLoop(*clock);
  }
  loops.erase(found);
  for (CadenceClock* clock : clocks()) {
    if (clock->runLoopContext == nullptr) startOnFirstRunLoop(*clock);
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

}  // namespace norvo

void* norvoStartCadenceClock(void (*callback)(void* userData), void* userData,
                             double intervalSeconds) {
  if (callback == nullptr) return nullptr;
  auto* clock = new norvo::CadenceClock{
      callback, userData, norvo::cadenceClockMilliseconds(intervalSeconds), nullptr, nullptr};
  norvo::clocks().push_back(clock);
  norvo::startOnFirstRunLoop(*clock);
  return clock;
}

void norvoStopCadenceClock(void* timer) {
  if (timer == nullptr) return;
  auto& all = norvo::clocks();
  const auto found = std::find(all.begin(), all.end(), static_cast<norvo::CadenceClock*>(timer));
  if (found == all.end()) return;
  norvo::CadenceClock* clock = *found;
  all.erase(found);
  norvo::stopOnItsRunLoop(*clock);
  delete clock;
}
