// Two plug-in instances setting up at the same time on different threads each get their own
// slot, and an instance keeps processing undisturbed while others come and go.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "kernel/kernel_test_support.h"

namespace norvo::test {
namespace {

TEST(InstanceTableThreadsTest, ConcurrentCreatesNeverShareASlot) {
  ASSERT_EQ(K(runtime_init)(), 0.0);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::uint32_t> first(16);
    std::vector<std::uint32_t> second(16);
    std::thread a([&] {
      for (auto& handle : first) handle = createDefault();
    });
    std::thread b([&] {
      for (auto& handle : second) handle = createDefault();
    });
    a.join();
    b.join();
    std::vector<std::uint32_t> all = first;
    all.insert(all.end(), second.begin(), second.end());
    std::vector<std::uint32_t> slots;
    for (std::uint32_t handle : all) {
      ASSERT_NE(handle, 0u);
      slots.push_back((handle - 1) % 32);
    }
    std::sort(slots.begin(), slots.end());
    ASSERT_EQ(std::unique(slots.begin(), slots.end()), slots.end()) << "round " << round;
    for (std::uint32_t handle : all) ASSERT_EQ(K(destroy)(handle), 0.0);
  }
}

TEST(InstanceTableThreadsTest, ProcessingContinuesWhileOtherInstancesComeAndGo) {
  ASSERT_EQ(K(runtime_init)(), 0.0);
  const std::uint32_t playing = createDefault();
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop.load()) {
      const std::uint32_t other = createDefault();
      if (other != 0) K(destroy)(other);
    }
  });
  int good = 0;
  for (int block = 0; block < 2000; ++block) {
    K(push_event)(playing, 2, 0, 60, 1.0);
    K(push_event)(playing, 3, 64, 60, 0.0);
    if (K(process)(playing, 128) == 0.0 && K(event_output_count)(playing) == 4.0) ++good;
  }
  stop.store(true);
  churn.join();
  EXPECT_EQ(good, 2000);
}

}  // namespace
}  // namespace norvo::test
