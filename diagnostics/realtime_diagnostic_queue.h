// The audio thread's diagnostic queue: 32 bare code/severity/phase triples handed to the
// thread that reports. Single producer (the audio thread, `push`), single consumer (the
// draining thread, `popAll`). Lock-free; a full queue loses the triple and counts it.
#pragma once

#include <atomic>
#include <cstdint>

namespace norvo {

struct RealtimeDiagnosticTriple {
  std::uint32_t code = 0;
  std::uint8_t severity = 0;
  std::uint8_t phase = 0;
  std::uint8_t reserved[2] = {0, 0};
};

class RealtimeDiagnosticQueue {
 public:
  static constexpr std::uint32_t kCapacity = 32;

  // Audio thread only. Never blocks, allocates or formats: a handful of loads and stores.
  // Returns false (and counts the loss in the overflow counter) when the queue is full.
  bool push(std::uint32_t code, std::uint8_t severity, std::uint8_t phase) noexcept;

  // Draining thread only. Calls `consume(const RealtimeDiagnosticTriple&)` for every queued
  // triple in push order, then frees their slots; returns how many were taken.
  template <typename Consume>
  std::uint32_t popAll(Consume&& consume) noexcept;

  // Draining thread only. Reads and clears the number of triples lost since the last call.
  std::uint32_t takeOverflowCount() noexcept {
    return overflowCount_.exchange(0, std::memory_order_acq_rel);
  }

  // Triples waiting (a snapshot; exact on the draining thread between drains).
  std::uint32_t pending() const noexcept {
    return writeIndex_.load(std::memory_order_acquire) - readIndex_.load(std::memory_order_acquire);
  }

 private:
  RealtimeDiagnosticTriple slots_[kCapacity] = {};
  std::atomic<std::uint32_t> writeIndex_{0};  // advanced only by the audio thread
  std::atomic<std::uint32_t> readIndex_{0};   // advanced only by the draining thread
  std::atomic<std::uint32_t> overflowCount_{0};
};

inline bool RealtimeDiagnosticQueue::push(std::uint32_t code, std::uint8_t severity,
                                          std::uint8_t phase) noexcept {
  const std::uint32_t w = writeIndex_.load(std::memory_order_relaxed);
  const std::uint32_t r = readIndex_.load(std::memory_order_acquire);
  if (w - r >= kCapacity) {
    overflowCount_.fetch_add(1, std::memory_order_acq_rel);
    return false;
  }
  RealtimeDiagnosticTriple& slot = slots_[w % kCapacity];
  slot.code = code;
  slot.severity = severity;
  slot.phase = phase;
  writeIndex_.store(w + 1, std::memory_order_seq_cst);
  return true;
}

template <typename Consume>
std::uint32_t RealtimeDiagnosticQueue::popAll(Consume&& consume) noexcept {
  const std::uint32_t r = readIndex_.load(std::memory_order_relaxed);
  const std::uint32_t w = writeIndex_.load(std::memory_order_acquire);
  for (std::uint32_t i = r; i != w; ++i) {
    consume(slots_[i % kCapacity]);
  }
  readIndex_.store(w, std::memory_order_seq_cst);
  return w - r;
}

}  // namespace norvo
