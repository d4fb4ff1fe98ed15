// CcActivityFeed: the audio thread reports controller activity (record), the main thread
// drains it (drain) into at most one record per controller per 33 ms for the editor page's
// "norvo.midiCc" messages. One word per controller number; the newest report replaces an
// older pending one. One recording (audio) thread, one draining (main) thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "ccmap/cc_activity_record.h"

namespace norvo {

class CcActivityFeed {
 public:
  static constexpr int kControllers = 128;
  // Minimum time between two reports of the same controller.
  static constexpr std::int64_t kReportIntervalMs = 33;

  CcActivityFeed() noexcept;
  CcActivityFeed(const CcActivityFeed&) = delete;
  CcActivityFeed& operator=(const CcActivityFeed&) = delete;

  // Notes that controller `cc` (0..127; others are dropped) moved to `value` on `channel`.
  // Audio thread only; never allocates, locks or blocks.
  void record(int cc, int channel, int value) noexcept;

  // Writes up to `capacity` pending records to `out`, lowest controller first, skipping
  // controllers reported within the last 32 ms (they stay pending). `nowMs` is the time in
  // nowMs() milliseconds. Returns the number written. Main thread only.
  std::uint32_t drain(std::int64_t nowMs, CcActivityRecord* out, std::uint32_t capacity) noexcept;

  // Whether some controller may still be pending (so drain has work). Any thread.
  bool hasPending() const noexcept { return hasPending_.load(std::memory_order_acquire); }

  // The steady (monotonic) clock in whole milliseconds. Any thread.
  static std::int64_t nowMs() noexcept;

 private:
  bool anySlotPending() const noexcept;

  std::atomic<std::uint32_t> slots_[kControllers];  // bit 16 pending, 8..15 channel, 0..6 value
  std::atomic<bool> hasPending_{false};
  std::int64_t lastReportMs_[kControllers] = {};  // main thread only
};

}  // namespace norvo
