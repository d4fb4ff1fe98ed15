// The transport ring under a real audio-thread producer and main-thread consumer: every
// snapshot taken is whole, newer than the last one taken, and the newest is never lost.
#include "diagnostics/transport_fact.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace norvo {
namespace {

constexpr std::uint64_t kSnapshots = 100000;

TransportFact snapshot(std::uint64_t i) {
  TransportFact fact;
  fact.atFrame = i;
  fact.tempo = static_cast<double>(i);
  fact.numerator = static_cast<std::int32_t>(i % 13);
  fact.projectTimeSamples = -static_cast<std::int64_t>(i);
  fact.playing = (i % 2) == 0;
  return fact;
}

bool isWhole(const TransportFact& fact) {
  return fact.tempo == static_cast<double>(fact.atFrame) &&
         fact.numerator == static_cast<std::int32_t>(fact.atFrame % 13) &&
         fact.projectTimeSamples == -static_cast<std::int64_t>(fact.atFrame) &&
         fact.playing == ((fact.atFrame % 2) == 0);
}

TEST(DiagnosticTransportRingThreads, DrainsWholeAndIncreasingSnapshots) {
  DiagnosticTransportRing ring;
  std::atomic<bool> done{false};
  std::thread audio([&] {
    for (std::uint64_t i = 1; i <= kSnapshots; ++i) {
      ring.push(snapshot(i));
      if (i % 128 == 0) {
        std::this_thread::yield();
      }
    }
    done.store(true, std::memory_order_release);
  });

  std::uint64_t last = 0;
  std::uint64_t taken = 0;
  std::uint64_t torn = 0;
  std::uint64_t stale = 0;
  TransportFact fact;
  auto take = [&] {
    if (!ring.drainLatest(fact)) {
      return;
    }
    torn += isWhole(fact) ? 0 : 1;
    stale += fact.atFrame > last ? 0 : 1;
    last = fact.atFrame;
    ++taken;
  };
  // The consumer pauses now and then so the producer also fills the ring and drops.
  for (std::uint32_t round = 1; !done.load(std::memory_order_acquire); ++round) {
    take();
    if (round % 256 == 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  audio.join();
  take();
  EXPECT_EQ(torn, 0u) << "a snapshot was taken while it was being overwritten";
  EXPECT_EQ(stale, 0u) << "a drain returned a snapshot that was not newer than the last one";
  EXPECT_EQ(last, kSnapshots) << "the newest snapshot must always be available";
  EXPECT_FALSE(ring.drainLatest(fact));
  EXPECT_GT(taken, 0u);
  RecordProperty("taken", static_cast<int>(taken));
  RecordProperty("dropped", static_cast<int>(ring.dropped()));
  EXPECT_LE(ring.dropped(), kSnapshots);
}

}  // namespace
}  // namespace norvo
