// CcActivityFeed: record (audio thread) and drain (main thread).
//
// The pending flag and the slots form a store-then-check pair on each side (record: slot then
// flag; drain: clear flag then rescan the slots). Those four accesses are sequentially
// consistent so a report that lands while drain clears the flag is always seen by the rescan
// or leaves the flag set; plain stores and loads either way, nothing that can block.
#include "ccmap/cc_activity_feed.h"

#include <chrono>

namespace norvo {
namespace {

constexpr std::uint32_t kPendingBit = 0x10000;

}  // namespace

CcActivityFeed::CcActivityFeed() noexcept {
  for (auto& slot : slots_) {
    slot.store(0, std::memory_order_relaxed);
  }
}

void CcActivityFeed::record(int cc, int channel, int value) noexcept {
  if (cc < 0 || cc >= kControllers) {
    return;
  }
  const std::uint32_t word = kPendingBit | (static_cast<std::uint32_t>(channel) & 255u) << 8 |
                             (static_cast<std::uint32_t>(value) & 127u);
  slots_[cc].store(word, std::memory_order_seq_cst);
  hasPending_.store(true, std::memory_order_seq_cst);
}

std::uint32_t CcActivityFeed::drain(std::int64_t nowMs, CcActivityRecord* out,
                                    std::uint32_t capacity) noexcept {
  if (out == nullptr || capacity == 0) {
    return 0;
  }
  std::uint32_t written = 0;
  bool morePending = false;
  for (int cc = 0; cc < kControllers; ++cc) {
    if ((slots_[cc].load(std::memory_order_relaxed) & kPendingBit) == 0) {
      continue;
    }
    if (written == capacity || nowMs - lastReportMs_[cc] < kReportIntervalMs) {
      morePending = true;
      continue;
    }
    const std::uint32_t taken = slots_[cc].exchange(0, std::memory_order_acquire);
    if ((taken & kPendingBit) == 0) {
      continue;
    }
    out[written++] = CcActivityRecord{static_cast<std::uint8_t>(cc),
                                      static_cast<std::uint8_t>((taken >> 8) & 255u),
                                      static_cast<std::uint8_t>(taken & 127u)};
    lastReportMs_[cc] = nowMs;
  }
  hasPending_.store(morePending, std::memory_order_seq_cst);
  if (!morePending && anySlotPending()) {
    hasPending_.store(true, std::memory_order_seq_cst);
  }
  return written;
}

bool CcActivityFeed::anySlotPending() const noexcept {
  for (const auto& slot : slots_) {
    if ((slot.load(std::memory_order_seq_cst) & kPendingBit) != 0) {
      return true;
    }
  }
  return false;
}

std::int64_t CcActivityFeed::nowMs() noexcept {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

}  // namespace norvo
