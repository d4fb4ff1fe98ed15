// Cadence clocks and file descriptor watches on host run loops: dormant without one, started
// when one is offered, moved onto the newest run loop offered and back when it is withdrawn,
// stopped on the run loop that runs them; a watch uses the run loop's event handlers where it
// has them and a timer otherwise.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "editor/platform/cadence_clock.h"
#include "editor/platform/host_run_loop.h"

namespace norvo {
namespace {

// What a fake run loop offers for file descriptors.
enum class FdSupport { kNone, kWatches, kRefuses };

// A run loop that keeps its timers and watched file descriptors in tables and fires them on
// request.
class FakeRunLoop {
 public:
  explicit FakeRunLoop(bool refuses = false, FdSupport fds = FdSupport::kNone)
      : refuses_(refuses), fdRefuses_(fds == FdSupport::kRefuses) {
    table_ = {this, &FakeRunLoop::start, &FakeRunLoop::stop, nullptr, nullptr};
    if (fds != FdSupport::kNone) {
      table_.watchFd = &FakeRunLoop::watch;
      table_.unwatchFd = &FakeRunLoop::unwatch;
    }
  }

  // Watched descriptors, and firing the handlers of one as the host does when it is readable.
  std::vector<int> watchedFds() const {
    std::vector<int> out;
    for (const auto& [id, w] : watches_) out.push_back(w.fd);
    return out;
  }
  void fdReadable(int fd) {
    const auto copy = watches_;
    for (const auto& [id, w] : copy) {
      if (w.fd == fd && watches_.count(id) != 0) w.fire(w.userData);
    }
  }
  const NorvoHostRunLoop* table() const { return &table_; }

  std::size_t running() const { return timers_.size(); }
  std::vector<std::uint32_t> intervals() const {
    std::vector<std::uint32_t> out;
    for (const auto& [id, timer] : timers_) out.push_back(timer.milliseconds);
    return out;
  }
  // Fires every timer once, as a host's loop would after their interval.
  void fireAll() {
    const auto copy = timers_;
    for (const auto& [id, timer] : copy) {
      if (timers_.count(id) != 0) timer.fire(timer.userData);
    }
  }

 private:
  struct Timer {
    std::uint32_t milliseconds;
    void (*fire)(void*);
    void* userData;
  };
  static void* start(void* context, std::uint32_t ms, void (*fire)(void*), void* userData) {
    auto* self = static_cast<FakeRunLoop*>(context);
    if (self->refuses_) return nullptr;
    const std::uintptr_t id = ++self->next_;
    self->timers_[id] = {ms, fire, userData};
    return reinterpret_cast<void*>(id);
  }
  static void stop(void* context, void* timer) {
    auto* self = static_cast<FakeRunLoop*>(context);
    EXPECT_EQ(self->timers_.erase(reinterpret_cast<std::uintptr_t>(timer)), 1u)
        << "a timer stopped on a run loop that does not run it";
  }
  struct Watch {
    int fd;
    void (*fire)(void*);
    void* userData;
  };
  static void* watch(void* context, int fd, void (*fire)(void*), void* userData) {
    auto* self = static_cast<FakeRunLoop*>(context);
    if (self->fdRefuses_) return nullptr;
    const std::uintptr_t id = ++self->next_;
    self->watches_[id] = {fd, fire, userData};
    return reinterpret_cast<void*>(id);
  }
  static void unwatch(void* context, void* handle) {
    auto* self = static_cast<FakeRunLoop*>(context);
    EXPECT_EQ(self->watches_.erase(reinterpret_cast<std::uintptr_t>(handle)), 1u)
        << "a watch stopped on a run loop that does not run it";
  }

  NorvoHostRunLoop table_{};
  bool refuses_;
  bool fdRefuses_;
  std::uintptr_t next_ = 0;
  std::map<std::uintptr_t, Timer> timers_;
  std::map<std::uintptr_t, Watch> watches_;
};

void count(void* userData) { ++*static_cast<int*>(userData); }

TEST(CadenceClockTest, IntervalsInMilliseconds) {
  const struct {
    double seconds;
    std::uint32_t ms;
  } cases[] = {{0, 33}, {-1, 33}, {1.0 / 30, 33}, {0.5, 500}, {0.0001, 1}, {0.0166, 17}};
  for (const auto& c : cases) EXPECT_EQ(cadenceClockMilliseconds(c.seconds), c.ms) << c.seconds;
  EXPECT_EQ(cadenceClockMilliseconds(0.0 / 0.0), 33u);
}

TEST(CadenceClockTest, ClockWaitsForARunLoopFollowsTheNewestAndMovesBackWhenItGoes) {
  int ticks = 0;
  EXPECT_EQ(norvoStartCadenceClock(nullptr, &ticks, 0), nullptr);
  void* clock = norvoStartCadenceClock(&count, &ticks, 0);
  ASSERT_NE(clock, nullptr);
  EXPECT_FALSE(hostRunLoopKnown());

  FakeRunLoop first, second, refusing(true);
  offerHostRunLoop(first.table());
  EXPECT_EQ(first.intervals(), std::vector<std::uint32_t>{33});
  first.fireAll();
  EXPECT_EQ(ticks, 1);

  offerHostRunLoop(second.table());  // a view attaches: the clock moves onto its run loop
  EXPECT_EQ(first.running(), 0u);
  EXPECT_EQ(second.intervals(), std::vector<std::uint32_t>{33});
  second.fireAll();
  EXPECT_EQ(ticks, 2);
  offerHostRunLoop(refusing.table());  // refused: the clock stays where it runs
  EXPECT_EQ(second.running(), 1u);
  withdrawHostRunLoop(refusing.table());

  offerHostRunLoop(second.table());     // offered twice (two views on one frame)
  withdrawHostRunLoop(second.table());  // one offer left: the clock stays
  EXPECT_EQ(second.running(), 1u);
  withdrawHostRunLoop(second.table());  // the view goes: back onto the first run loop
  EXPECT_EQ(second.running(), 0u);
  EXPECT_EQ(first.intervals(), std::vector<std::uint32_t>{33});
  first.fireAll();
  EXPECT_EQ(ticks, 3);

  withdrawHostRunLoop(first.table());
  EXPECT_EQ(first.running(), 0u);
  EXPECT_FALSE(hostRunLoopKnown());
  offerHostRunLoop(second.table());  // dormant clocks wake up
  EXPECT_EQ(second.running(), 1u);

  norvoStopCadenceClock(clock);
  EXPECT_EQ(second.running(), 0u);
  norvoStopCadenceClock(clock);  // no longer a clock: nothing happens
  norvoStopCadenceClock(nullptr);
  withdrawHostRunLoop(second.table());
}

TEST(CadenceClockTest, AClockMayStopItselfFromItsTickAndRefusalsLeaveItDormant) {
  FakeRunLoop refusing(true);
  offerHostRunLoop(refusing.table());
  struct Self {
    void* clock = nullptr;
    int ticks = 0;
  } self;
  self.clock = norvoStartCadenceClock(
      [](void* data) {
        auto* s = static_cast<Self*>(data);
        ++s->ticks;
        norvoStopCadenceClock(s->clock);
      },
      &self, 0.25);
  EXPECT_EQ(refusing.running(), 0u);
  withdrawHostRunLoop(refusing.table());

  FakeRunLoop loop;
  offerHostRunLoop(loop.table());
  EXPECT_EQ(loop.intervals(), std::vector<std::uint32_t>{250});
  loop.fireAll();
  loop.fireAll();
  EXPECT_EQ(self.ticks, 1);
  EXPECT_EQ(loop.running(), 0u);
  withdrawHostRunLoop(loop.table());
}

TEST(CadenceClockTest, FdWatchesUseEventHandlersWhereTheRunLoopHasThem) {
  int calls = 0;
  EXPECT_EQ(startFdWatch(-1, &count, &calls, 16), nullptr);
  EXPECT_EQ(startFdWatch(7, nullptr, &calls, 16), nullptr);
  void* watch = startFdWatch(7, &count, &calls, 16);
  ASSERT_NE(watch, nullptr);
  EXPECT_FALSE(fdWatchIsEventDriven(watch));  // dormant

  // Each run loop in turn runs the watch, as the newer one before it is withdrawn.
  FakeRunLoop events(false, FdSupport::kWatches), refusing(false, FdSupport::kRefuses),
      timersOnly(false, FdSupport::kNone);
  const struct {
    FakeRunLoop* loop;
    bool eventDriven;
  } steps[] = {{&events, true}, {&refusing, false}, {&timersOnly, false}};
  for (int i = 2; i >= 0; --i) offerHostRunLoop(steps[i].loop->table());
  for (const auto& step : steps) {
    SCOPED_TRACE(step.eventDriven ? "event handlers" : "timer");
    EXPECT_EQ(fdWatchIsEventDriven(watch), step.eventDriven);
    const int before = calls;
    if (step.eventDriven) {
      EXPECT_EQ(step.loop->watchedFds(), std::vector<int>{7});
      EXPECT_EQ(step.loop->running(), 0u);
      step.loop->fdReadable(8);
      EXPECT_EQ(calls, before);
      step.loop->fdReadable(7);
    } else {
      EXPECT_TRUE(step.loop->watchedFds().empty());
      EXPECT_EQ(step.loop->intervals(), std::vector<std::uint32_t>{16});
      step.loop->fireAll();
    }
    EXPECT_EQ(calls, before + 1);
    withdrawHostRunLoop(step.loop->table());
    EXPECT_TRUE(step.loop->watchedFds().empty());
    EXPECT_EQ(step.loop->running(), 0u);
  }
  EXPECT_FALSE(fdWatchIsEventDriven(watch));

  offerHostRunLoop(events.table());
  EXPECT_TRUE(fdWatchIsEventDriven(watch));
  stopFdWatch(watch);
  EXPECT_TRUE(events.watchedFds().empty());
  EXPECT_FALSE(fdWatchIsEventDriven(watch));
  stopFdWatch(watch);  // no longer a watch: nothing happens
  withdrawHostRunLoop(events.table());
}

TEST(CadenceClockTest, AWatchMayStopItselfFromItsCallback) {
  FakeRunLoop loop(false, FdSupport::kWatches);
  offerHostRunLoop(loop.table());
  struct Self {
    void* watch = nullptr;
    int calls = 0;
  } self;
  self.watch = startFdWatch(
      5,
      [](void* data) {
        auto* s = static_cast<Self*>(data);
        ++s->calls;
        stopFdWatch(s->watch);  // as the glue does once the socket has hung up
      },
      &self, 16);
  loop.fdReadable(5);
  loop.fdReadable(5);
  EXPECT_EQ(self.calls, 1);
  EXPECT_TRUE(loop.watchedFds().empty());
  withdrawHostRunLoop(loop.table());
}

}  // namespace
}  // namespace norvo
