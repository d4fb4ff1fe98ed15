// The audio thread's diagnostic queue under a real producer and consumer: every triple
// arrives exactly once, in order and intact, or is counted as lost.
#include "diagnostics/realtime_diagnostic_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace norvo {
namespace {

constexpr std::uint32_t kTriples = 200000;

std::uint8_t severityFor(std::uint32_t code) { return static_cast<std::uint8_t>(code % 4); }
std::uint8_t phaseFor(std::uint32_t code) { return static_cast<std::uint8_t>(code % 12); }

TEST(RealtimeDiagnosticQueueThreads, NothingIsLostOrDuplicatedBeyondTheOverflowCount) {
  RealtimeDiagnosticQueue queue;
  std::vector<RealtimeDiagnosticTriple> received;
  received.reserve(kTriples);
  std::uint64_t lost = 0;
  std::uint64_t pushFailures = 0;
  std::atomic<bool> producerDone{false};

  std::thread producer([&] {
    for (std::uint32_t code = 1; code <= kTriples; ++code) {
      if (!queue.push(code, severityFor(code), phaseFor(code))) {
        ++pushFailures;
      }
      if (code % 48 == 0) {
        // Bursts longer than the queue, then let the consumer catch up: both the overflow
        // path and plain hand-overs get plenty of traffic.
        while (queue.pending() > 8) {
          std::this_thread::yield();
        }
      }
    }
    producerDone.store(true, std::memory_order_release);
  });

  auto drainOnce = [&] {
    queue.popAll([&](const RealtimeDiagnosticTriple& triple) { received.push_back(triple); });
    lost += queue.takeOverflowCount();
  };
  while (!producerDone.load(std::memory_order_acquire)) {
    drainOnce();
  }
  producer.join();
  drainOnce();

  EXPECT_EQ(queue.pending(), 0u);
  EXPECT_EQ(lost, pushFailures);
  EXPECT_EQ(received.size() + lost, kTriples);
  std::uint32_t previous = 0;
  for (const RealtimeDiagnosticTriple& triple : received) {
    ASSERT_GT(triple.code, previous) << "a triple arrived twice or out of order";
    ASSERT_EQ(triple.severity, severityFor(triple.code)) << "torn slot for code " << triple.code;
    ASSERT_EQ(triple.phase, phaseFor(triple.code)) << "torn slot for code " << triple.code;
    previous = triple.code;
  }
  EXPECT_GT(received.size(), 0u);
  RecordProperty("received", static_cast<int>(received.size()));
  RecordProperty("lost", static_cast<int>(lost));
}

}  // namespace
}  // namespace norvo
