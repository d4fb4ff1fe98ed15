// The map store under a real audio-thread reader and a main thread that keeps publishing:
// every map the reader sees is whole, never older than the one before, and never freed while
// a block uses it (the sanitizers report a use after free or a race with the delete).
#include "ccmap/cc_map_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace norvo {
namespace {

constexpr std::uint32_t kPublishes = 20000;

CcMap generation(std::uint32_t g) {
  CcMap map;
  map.count = 1 + g % kCcMapCapacity;
  for (std::uint32_t i = 0; i < map.count; ++i) {
    map.bindings[i].cc = static_cast<std::uint8_t>(g & 127);
    map.bindings[i].min = static_cast<double>(g);
  }
  return map;
}

TEST(CcMapStoreThreads, ReaderSeesWholeIncreasingMapsWhileOldOnesAreFreed) {
  CcMapStore store;
  std::atomic<bool> done{false};
  std::uint64_t torn = 0;
  std::uint64_t older = 0;
  std::uint64_t blocks = 0;
  double last = -1;
  std::thread audio([&] {
    while (!done.load(std::memory_order_acquire)) {
      store.takeChanged();
      const CcMap& map = store.readForBlock();
      const double g = map.count == 0 ? -1 : map.bindings[0].min;
      for (std::uint32_t i = 0; i < map.count; ++i) {
        torn += (map.bindings[i].min == g &&
                 map.bindings[i].cc == (static_cast<std::uint32_t>(g) & 127))
                    ? 0
                    : 1;
      }
      torn += (map.count == 0 || map.count == 1 + static_cast<std::uint32_t>(g) % kCcMapCapacity)
                  ? 0
                  : 1;
      older += g < last ? 1 : 0;
      last = g;
      store.endBlock();
      ++blocks;
    }
  });
  std::uint32_t failed = 0;
  for (std::uint32_t g = 0; g < kPublishes; ++g) {
    failed += store.publish(generation(g)) ? 0 : 1;
    if (g % 64 == 0) {
      std::this_thread::yield();
      store.collect();
    }
  }
  done.store(true, std::memory_order_release);
  audio.join();
  store.collect();
  EXPECT_EQ(failed, 0u);
  EXPECT_EQ(torn, 0u) << "a block saw a map that was being written or freed";
  EXPECT_EQ(older, 0u) << "a block saw an older map than the block before";
  EXPECT_GT(blocks, 0u);
  EXPECT_EQ(store.readForBlock().bindings[0].min, static_cast<double>(kPublishes - 1));
  // The reader has stopped after its last block; two more epochs free everything retired.
  store.endBlock();
  store.endBlock();
  store.collect();
  EXPECT_EQ(store.retiredCount(), 0u);
}

}  // namespace
}  // namespace norvo
