#include "ccmap/cc_map_store.h"

#include <gtest/gtest.h>

#include "support/allocation_counter.h"

namespace norvo {
namespace {

CcMap mapWithCc(std::uint8_t cc) {
  CcMap map;
  map.count = 1;
  map.bindings[0].cc = cc;
  return map;
}

TEST(CcMapStore, PublishHandsOverACopyAndFreesReplacedMapsTwoBlocksLater) {
  CcMapStore store;
  EXPECT_EQ(store.readForBlock().count, 0u);
  EXPECT_FALSE(store.takeChanged());

  CcMap first = mapWithCc(7);
  ASSERT_TRUE(store.publish(first));
  first.bindings[0].cc = 99;  // the store holds its own copy
  EXPECT_EQ(store.readForBlock().bindings[0].cc, 7);
  EXPECT_EQ(store.retiredCount(), 0u);  // the embedded starting map is never freed
  EXPECT_TRUE(store.takeChanged());
  EXPECT_FALSE(store.takeChanged());

  ASSERT_TRUE(store.publish(mapWithCc(8)));
  ASSERT_TRUE(store.publish(mapWithCc(9)));
  EXPECT_EQ(store.readForBlock().bindings[0].cc, 9);
  EXPECT_EQ(store.retiredCount(), 2u);
  store.endBlock();
  store.collect();
  EXPECT_EQ(store.retiredCount(), 2u);  // a block that loaded them may still be running
  store.endBlock();
  ASSERT_TRUE(store.publish(mapWithCc(10)));  // publishing sweeps as well
  EXPECT_EQ(store.retiredCount(), 1u);        // only the map replaced just now is left
  store.endBlock();
  store.endBlock();
  store.collect();
  EXPECT_EQ(store.retiredCount(), 0u);
  EXPECT_EQ(store.readForBlock().bindings[0].cc, 10);
  ASSERT_TRUE(store.publish(mapWithCc(11)));
  // Destruction frees the retired map and the current one (checked by the leak sanitizer).
}

TEST(CcMapStore, StartsFromTheGivenMap) {
  const CcMapStore store(mapWithCc(42));
  EXPECT_EQ(store.readForBlock().count, 1u);
  EXPECT_EQ(store.readForBlock().bindings[0].cc, 42);
}

TEST(CcMapStore, ReaderSideNeverAllocatesOrLocks) {
  CcMapStore store;
  ASSERT_TRUE(store.publish(mapWithCc(3)));
  std::uint32_t seen = 0;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int block = 0; block < 100; ++block) {
      seen += store.takeChanged() ? 1 : 0;
      seen += store.readForBlock().bindings[0].cc;
      store.endBlock();
    }
    counts = scope.counts();
  }
  EXPECT_EQ(seen, 301u);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
}

}  // namespace
}  // namespace norvo
