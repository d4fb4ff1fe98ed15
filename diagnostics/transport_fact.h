// TransportFact: one snapshot of the host transport, and DiagnosticTransportRing, the
// lock-free ring that hands snapshots from the audio thread (push) to the main thread
// (drainLatest, which takes only the newest).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace norvo {

enum TransportSource : std::uint8_t {
  kTransportSourceNone = 0,
  kTransportSourceHost = 1,
  kTransportSourceInternal = 2,
};

struct TransportFact {
  std::uint64_t atFrame = 0;  // sample position of the block the snapshot belongs to
  std::uint8_t source = kTransportSourceNone;
  bool playing = false;
  bool recording = false;
  bool looping = false;
  // Which of the values below the host actually supplied.
  bool hasTempo = false;
  bool hasTimeSignature = false;
  bool hasPosition = false;
  bool hasLoop = false;
  bool canSetTempo = false;
  double tempo = 120.0;
  std::int32_t numerator = 4;
  std::int32_t denominator = 4;
  double ppqPosition = 0.0;
  double barPositionPpq = 0.0;
  double loopStartPpq = 0.0;
  double loopEndPpq = 0.0;
  double sampleRate = 0.0;
  std::int64_t projectTimeSamples = 0;

  // True when any state field differs (source, the transport flags, the capability flags,
  // tempo, time signature, loop range, sample rate; doubles by ==, so NaN always differs).
  // Positions that move every block (atFrame, ppq, bar, project time) are not compared.
  // Any thread.
  bool differsFrom(const TransportFact& other) const noexcept;
};

static_assert(std::is_trivially_copyable_v<TransportFact>);

class DiagnosticTransportRing {
 public:
  static constexpr std::uint32_t kCapacity = 32;

  DiagnosticTransportRing() noexcept;
  DiagnosticTransportRing(const DiagnosticTransportRing&) = delete;
  DiagnosticTransportRing& operator=(const DiagnosticTransportRing&) = delete;

  // Audio thread only. Stores a snapshot; when 32 are waiting the oldest is dropped and
  // counted. Copies one fixed-size record: no allocation, no lock, no waiting.
  void push(const TransportFact& fact) noexcept;

  // Main thread only. Takes the newest waiting snapshot into `fact` and discards every older
  // one; returns false (leaving `fact` alone) when nothing new arrived.
  bool drainLatest(TransportFact& fact) noexcept;

  // Snapshots dropped because the ring was full. Any thread.
  std::uint32_t dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

 private:
  static constexpr std::size_t kWords = (sizeof(TransportFact) + 7) / 8;

  // A slot is copied word by word through atomics and guarded by a sequence number that is
  // odd while the producer writes it; it also carries the push index it was written for. A
  // reader that the producer laps notices either a torn copy or a newer index and retries.
  struct Slot {
    std::atomic<std::uint32_t> sequence{0};
    std::atomic<std::uint32_t> pushIndex{0};
    std::atomic<std::uint64_t> words[kWords];
  };

  void storeSlot(Slot& slot, std::uint32_t pushIndex, const TransportFact& fact) noexcept;
  bool loadSlot(const Slot& slot, std::uint32_t pushIndex, TransportFact& fact) const noexcept;

  Slot slots_[kCapacity];
  std::atomic<std::uint32_t> writeIndex_{0};
  std::atomic<std::uint32_t> readIndex_{0};
  std::atomic<std::uint32_t> dropped_{0};
};

}  // namespace norvo
