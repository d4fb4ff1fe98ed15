// The activity feed under a real audio-thread recorder and a main thread that drains only when
// the feed says something is pending: reports of each controller arrive in order, whole, and
// the newest report of every controller is never lost.
#include "ccmap/cc_activity_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace norvo {
namespace {

constexpr int kControllers = 16;
constexpr std::uint32_t kReportsPerController = 20000;

// A 15-bit counter carried in the channel (high bits) and value (low 7 bits).
std::uint32_t counterOf(const CcActivityRecord& r) {
  return (std::uint32_t{r.channel} << 7) | r.value;
}

TEST(CcActivityFeedThreads, DrainsEveryControllersNewestReportInOrder) {
  CcActivityFeed feed;
  std::atomic<bool> done{false};
  std::thread audio([&] {
    for (std::uint32_t counter = 1; counter <= kReportsPerController; ++counter) {
      for (int cc = 0; cc < kControllers; ++cc) {
        feed.record(cc, static_cast<int>(counter >> 7), static_cast<int>(counter & 127));
      }
      if (counter % 64 == 0) {
        std::this_thread::yield();
      }
    }
    done.store(true, std::memory_order_release);
  });

  std::uint32_t last[kControllers] = {};
  std::uint64_t outOfOrder = 0;
  std::uint64_t strangers = 0;
  std::uint64_t records = 0;
  std::int64_t now = 1000;
  CcActivityRecord out[8];  // smaller than the controllers in use: full drains happen too
  auto drainOnce = [&] {
    if (!feed.hasPending()) {
      return;
    }
    now += 33;
    const std::uint32_t n = feed.drain(now, out, 8);
    for (std::uint32_t i = 0; i < n; ++i) {
      if (out[i].cc >= kControllers) {
        ++strangers;
        continue;
      }
      const std::uint32_t counter = counterOf(out[i]);
      outOfOrder += counter > last[out[i].cc] ? 0 : 1;
      last[out[i].cc] = counter;
      ++records;
    }
  };
  while (!done.load(std::memory_order_acquire)) {
    drainOnce();
  }
  audio.join();
  for (int round = 0; round < 4 && feed.hasPending(); ++round) {
    drainOnce();
  }
  EXPECT_FALSE(feed.hasPending());
  EXPECT_EQ(outOfOrder, 0u);
  EXPECT_EQ(strangers, 0u);
  EXPECT_GE(records, static_cast<std::uint64_t>(kControllers));
  for (int cc = 0; cc < kControllers; ++cc) {
    EXPECT_EQ(last[cc], kReportsPerController) << "controller " << cc << " lost its newest report";
  }
}

}  // namespace
}  // namespace norvo
