// Transport snapshot comparison and the audio-to-main-thread transport ring.
#include "diagnostics/transport_fact.h"

#include <cstring>

namespace norvo {

bool TransportFact::differsFrom(const TransportFact& other) const noexcept {
  return source != other.source || playing != other.playing || recording != other.recording ||
         looping != other.looping || hasTempo != other.hasTempo ||
         hasTimeSignature != other.hasTimeSignature || hasPosition != other.hasPosition ||
         hasLoop != other.hasLoop || canSetTempo != other.canSetTempo || !(tempo == other.tempo) ||
         numerator != other.numerator || denominator != other.denominator ||
         !(loopStartPpq == other.loopStartPpq) || !(loopEndPpq == other.loopEndPpq) ||
         !(sampleRate == other.sampleRate);
}

DiagnosticTransportRing::DiagnosticTransportRing() noexcept {
  const TransportFact defaults{};
  for (std::uint32_t i = 0; i < kCapacity; ++i) {
    // Slot i first serves push index i; until then it holds the default facts.
    storeSlot(slots_[i], i - kCapacity, defaults);
  }
}

// Writer side of the slot's sequence lock. The words are stored with release ordering so a
// reader that sees any new word also sees the odd sequence that announced the write.
void DiagnosticTransportRing::storeSlot(Slot& slot, std::uint32_t pushIndex,
                                        const TransportFact& fact) noexcept {
  std::uint64_t words[kWords] = {};
  std::memcpy(words, &fact, sizeof fact);
  const std::uint32_t sequence = slot.sequence.load(std::memory_order_relaxed);
  slot.sequence.store(sequence + 1, std::memory_order_relaxed);  // odd: being written
  slot.pushIndex.store(pushIndex, std::memory_order_release);
  for (std::size_t i = 0; i < kWords; ++i) {
    slot.words[i].store(words[i], std::memory_order_release);
  }
  slot.sequence.store(sequence + 2, std::memory_order_release);
}

bool DiagnosticTransportRing::loadSlot(const Slot& slot, std::uint32_t pushIndex,
                                       TransportFact& fact) const noexcept {
  const std::uint32_t before = slot.sequence.load(std::memory_order_acquire);
  if ((before & 1u) != 0) {
    return false;
  }
  const std::uint32_t index = slot.pushIndex.load(std::memory_order_acquire);
  std::uint64_t words[kWords];
  for (std::size_t i = 0; i < kWords; ++i) {
    words[i] = slot.words[i].load(std::memory_order_acquire);
  }
  if (slot.sequence.load(std::memory_order_acquire) != before || index != pushIndex) {
    return false;
  }
  std::memcpy(&fact, words, sizeof fact);
  return true;
}

void DiagnosticTransportRing::push(const TransportFact& fact) noexcept {
  const std::uint32_t w = writeIndex_.load(std::memory_order_relaxed);
  std::uint32_t r = readIndex_.load(std::memory_order_acquire);
  if (w - r >= kCapacity) {
    // Full: drop the oldest. If the reader moved readIndex meanwhile, there is room after all.
    if (readIndex_.compare_exchange_strong(r, r + 1, std::memory_order_acq_rel,
                                           std::memory_order_acquire)) {
      dropped_.fetch_add(1, std::memory_order_relaxed);
    }
  }
  storeSlot(slots_[w % kCapacity], w, fact);
  writeIndex_.store(w + 1, std::memory_order_seq_cst);
}

bool DiagnosticTransportRing::drainLatest(TransportFact& fact) noexcept {
  // The newest slot can only be torn or already reused when the producer laps the reader
  // (32 pushes between reading writeIndex and finishing the copy); there is a newer snapshot
  // then, so look again. Give up after a few rounds rather than spin against a runaway
  // producer; the next drain finds the snapshot.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::uint32_t w = writeIndex_.load(std::memory_order_acquire);
    std::uint32_t r = readIndex_.load(std::memory_order_acquire);
    if (w == r) {
      return false;
    }
    TransportFact newest;
    if (!loadSlot(slots_[(w - 1) % kCapacity], w - 1, newest)) {
      continue;
    }
    // Release everything up to w; never move readIndex backwards past a producer drop.
    while (static_cast<std::int32_t>(w - r) > 0 &&
           !readIndex_.compare_exchange_weak(r, w, std::memory_order_acq_rel,
                                             std::memory_order_acquire)) {
    }
    fact = newest;
    return true;
  }
  return false;
}

}  // namespace norvo
