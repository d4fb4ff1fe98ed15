// Cadence clocks on host run loops: dormant without one, started when one is offered, moved
// when it is withdrawn, stopped on the run loop that runs them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "editor/platform/cadence_clock.h"
#include "editor/platform/host_run_loop.h"

namespace norvo {
namespace {

// A run loop that keeps its timers in a table and fires them on request.
class FakeRunLoop {
 public:
  explicit FakeRunLoop(bool refuses = false) : refuses_(refuses) {
    table_ = {this, &FakeRunLoop::start, &FakeRunLoop::stop};
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

  NorvoHostRunLoop table_{};
  bool refuses_;
  std::uintptr_t next_ = 0;
  std::map<std::uintptr_t, Timer> timers_;
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

TEST(CadenceClockTest, ClockWaitsForARunLoopAndMovesWhenItGoes) {
  int ticks = 0;
  EXPECT_EQ(norvoStartCadenceClock(nullptr, &ticks, 0), nullptr);
  void* clock = norvoStartCadenceClock(&count, &ticks, 0);
  ASSERT_NE(clock, nullptr);
  EXPECT_FALSE(hostRunLoopKnown());

  FakeRunLoop first, second;
  offerHostRunLoop(first.table());
  offerHostRunLoop(second.table());
  EXPECT_EQ(first.intervals(), std::vector<std::uint32_t>{33});
  EXPECT_EQ(second.running(), 0u);
  first.fireAll();
  first.fireAll();
  EXPECT_EQ(ticks, 2);

  offerHostRunLoop(first.table());     // offered twice (two views on one frame)
  withdrawHostRunLoop(first.table());  // one offer left: the clock stays
  EXPECT_EQ(first.running(), 1u);
  withdrawHostRunLoop(first.table());
  EXPECT_EQ(first.running(), 0u);
  EXPECT_EQ(second.intervals(), std::vector<std::uint32_t>{33});
  second.fireAll();
  EXPECT_EQ(ticks, 3);

  withdrawHostRunLoop(second.table());
  EXPECT_EQ(second.running(), 0u);
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

}  // namespace
}  // namespace norvo
