#include "ccmap/cc_activity_feed.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/allocation_counter.h"

namespace norvo {
namespace {

std::vector<CcActivityRecord> drained(CcActivityFeed& feed, std::int64_t now,
                                      std::uint32_t capacity = 128) {
  CcActivityRecord out[128];
  const std::uint32_t n = feed.drain(now, out, capacity);
  return std::vector<CcActivityRecord>(out, out + n);
}

std::string text(const std::vector<CcActivityRecord>& records) {
  std::string out;
  for (const CcActivityRecord& r : records) {
    out += std::to_string(r.cc) + "/" + std::to_string(r.channel) + "/" + std::to_string(r.value) +
           " ";
  }
  return out;
}

TEST(CcActivityFeed, NewestReportWinsAndEachControllerIsReportedAtMostEvery33Ms) {
  CcActivityFeed feed;
  EXPECT_FALSE(feed.hasPending());
  feed.record(7, 1, 10);
  feed.record(7, 3, 20);
  EXPECT_TRUE(feed.hasPending());
  EXPECT_EQ(text(drained(feed, 1000)), "7/3/20 ");
  EXPECT_FALSE(feed.hasPending());

  feed.record(7, 1, 30);
  feed.record(8, 2, 5);  // another controller is not held back by controller 7's report
  EXPECT_EQ(text(drained(feed, 1010)), "8/2/5 ");
  EXPECT_TRUE(feed.hasPending());
  EXPECT_EQ(text(drained(feed, 1032)), "");
  EXPECT_TRUE(feed.hasPending());
  EXPECT_EQ(text(drained(feed, 1033)), "7/1/30 ");
  EXPECT_FALSE(feed.hasPending());
  EXPECT_EQ(text(drained(feed, 5000)), "");
}

TEST(CcActivityFeed, FullOutputLeavesTheRestPendingInControllerOrder) {
  CcActivityFeed feed;
  feed.record(100, 1, 1);
  feed.record(5, 1, 2);
  feed.record(3, 1, 3);
  CcActivityRecord one;
  EXPECT_EQ(feed.drain(1000, nullptr, 4), 0u);
  EXPECT_EQ(feed.drain(1000, &one, 0), 0u);
  EXPECT_EQ(text(drained(feed, 1000, 2)), "3/1/3 5/1/2 ");
  EXPECT_TRUE(feed.hasPending());
  EXPECT_EQ(text(drained(feed, 1000, 2)), "100/1/1 ");
  EXPECT_FALSE(feed.hasPending());
}

TEST(CcActivityFeed, DropsUnknownControllersAndKeepsOnlyTheFieldBits) {
  CcActivityFeed feed;
  feed.record(-1, 1, 1);
  feed.record(128, 1, 1);
  EXPECT_FALSE(feed.hasPending());
  feed.record(127, 300, 200);
  feed.record(0, 0, 0);
  EXPECT_EQ(text(drained(feed, 1000)), "0/0/0 127/44/72 ");
}

TEST(CcActivityFeed, RecordNeverAllocatesOrLocks) {
  CcActivityFeed feed;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int i = 0; i < 1000; ++i) {
      feed.record(i % 130, 1 + i % 16, i);
    }
    counts = scope.counts();
  }
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
  EXPECT_EQ(drained(feed, 1000).size(), 128u);
}

TEST(CcActivityFeed, ClockIsMonotonicMilliseconds) {
  const std::int64_t first = CcActivityFeed::nowMs();
  const std::int64_t second = CcActivityFeed::nowMs();
  EXPECT_GT(first, 0);
  EXPECT_GE(second, first);
  EXPECT_LT(second - first, 1000);
}

}  // namespace
}  // namespace norvo
