// The engine's audio-thread operations allocate nothing and take no lock: queueing, every
// processBlock path, parameter changes and the realtime diagnostic queue.
#include "engine/kernel_engine.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "support/allocation_counter.h"

namespace norvo {
namespace {

using test::AllocationScope;

// Pushes one busy block's worth of events: parameter ramps, notes, a controller.
void queueBusyBlock(KernelEngine& engine, int block) {
  for (int i = 0; i < 4; ++i) {
    engine.pushParamNormalized(static_cast<std::uint32_t>(i), i * 100, (block % 5) * 0.2);
  }
  for (int n = 0; n < 16; ++n) {
    const int pitch = 36 + (block * 16 + n) % 61;
    if (n % 2 == 0) {
      engine.pushNoteOn(pitch, 0.7, n * 30, 0, n);
    } else {
      engine.pushNoteOff(pitch, n * 30, 0, n);
    }
  }
  engine.pushController(1, 64, 5, 0, 0);
}

TEST(KernelEngineRealtime, CounterSeesAllocationsAndLocksInThisBinary) {
  std::mutex mutex;
  AllocationScope scope;
  std::vector<int> grown(100, 1);
  { std::lock_guard<std::mutex> lock(mutex); }
  EXPECT_GE(scope.counts().allocations, 1u);
  EXPECT_EQ(scope.counts().locks, test::allocationHooksCoverMalloc() ? 1u : 0u);
  EXPECT_EQ(grown.size(), 100u);
}

TEST(KernelEngineRealtime, BlockPathAndQueueingNeitherAllocateNorLock) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  KernelEngine notReady;
  queueBusyBlock(engine, 0);
  engine.processBlock(nullptr, 0, nullptr, 0, 512);  // first block outside the scope

  int outputs = 0;
  test::AllocationCounts counts;
  {
    AllocationScope scope;
    for (int block = 1; block < 40; ++block) {
      queueBusyBlock(engine, block);
      engine.setParamValue(1, block % 6);
      engine.processBlock(nullptr, 0, nullptr, 0, 512);
      outputs += engine.midiOutCount();

      engine.pushParamNormalized(2, 0, 0.75);
      engine.processBlock(nullptr, 0, nullptr, 0, 0);  // parameter flush
      engine.pushNoteOn(60, 1.0, 0, 0, 0);
      engine.processBlock(nullptr, 0, nullptr, 0, 513);  // larger than declared: fails
      engine.pushNoteOff(255, 0, 0, 0);                  // refused by the kernel: code 22
      engine.processBlock(nullptr, 0, nullptr, 0, 64);
      for (int n = 0; n < 100; ++n) engine.pushNoteOff(n, 9, 0, 0);  // several kernel calls
      engine.processBlock(nullptr, 0, nullptr, 0, 64);
      notReady.processBlock(nullptr, 0, nullptr, 0, 64);  // not set up: fails every time
    }
    for (int i = 0; i <= kEngineEventCapacity; ++i) engine.pushNoteOn(60, 1.0, 0, 0, 0);
    engine.flushParameterEvents();
    counts = scope.counts();
  }
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
  EXPECT_GT(outputs, 0);  // the blocks really produced chords
}

}  // namespace
}  // namespace norvo
