// The lifecycle log: the controller's ring of its last 256 lifecycle events (created,
// activated, state saved, tempo changed...), each with a sequence number, a time on the
// monotonic clock and up to six named details. Main thread only; no synchronization.
#pragma once

#include <cstdint>

namespace norvo {

enum class DiagnosticLifecycleKind : std::uint8_t {
  created,
  configured,
  activated,
  deactivated,
  reset,
  destroyed,
  editorOpened,
  editorClosed,
  editorError,
  stateSaved,
  stateRestored,
  presetLoaded,
  presetSaved,
  latencyChanged,
  tailChanged,
  tempoChanged,
  timeSignatureChanged,
  sampleRateChanged,
  blockSizeChanged,
  busLayoutChanged,
  processModeChanged,
  bypassChanged,
  ccMapChanged,
  stimulus,
  runtimeDiagnostic,
};

inline constexpr std::uint32_t kDiagnosticLifecycleKindCount = 25;

// The kind's name ("tempoChanged"), or null for a value past the last kind. Any thread.
const char* diagnosticLifecycleKindName(DiagnosticLifecycleKind kind) noexcept;

// Exact, case-sensitive lookup of a name; false for null or unknown. Any thread.
bool diagnosticLifecycleKindFromName(const char* name, DiagnosticLifecycleKind& kind) noexcept;

enum DiagnosticDetailType : std::uint8_t {
  kDetailNull = 0,
  kDetailNumber = 1,
  kDetailString = 2,
  kDetailBool = 3,
};

struct DiagnosticLifecycleDetail {
  char name[24] = {};  // at most 23 bytes
  std::uint8_t type = kDetailNull;
  double number = 0.0;
  bool flag = false;
  char text[64] = {};  // at most 63 bytes
};

inline constexpr std::uint32_t kLifecycleDetailCapacity = 6;

struct DiagnosticLifecycleEvent {
  std::uint32_t seq = 0;
  double timeMs = 0.0;        // milliseconds since the log was created
  std::int64_t atFrame = -1;  // -1 none
  DiagnosticLifecycleKind kind = DiagnosticLifecycleKind::created;
  DiagnosticLifecycleDetail details[kLifecycleDetailCapacity] = {};
  std::uint32_t detailCount = 0;

  // Append a named detail; a seventh and later detail is ignored. Null names and texts are
  // stored empty; long names and texts are cut. Main thread.
  void addNumber(const char* name, double value) noexcept;
  void addString(const char* name, const char* text) noexcept;
  void addBool(const char* name, bool value) noexcept;
  void addNull(const char* name) noexcept;

 private:
  DiagnosticLifecycleDetail* nextDetail(const char* name, std::uint8_t type) noexcept;
};

class DiagnosticLifecycleLog {
 public:
  static constexpr std::uint32_t kCapacity = 256;

  // Starts the log's clock (monotonic; 0 when it cannot be read).
  DiagnosticLifecycleLog() noexcept;

  // Milliseconds since construction (fractional); 0 when the clock cannot be read or has not
  // advanced.
  double nowMs() const noexcept;

  // Records a new event (overwriting and counting the oldest once 256 are kept) and returns it
  // for the caller to add details to.
  DiagnosticLifecycleEvent& record(DiagnosticLifecycleKind kind, std::int64_t atFrame) noexcept;

  // The index-th oldest event; the oldest for an index not below count().
  const DiagnosticLifecycleEvent& at(std::uint32_t index) const noexcept;

  std::uint32_t count() const noexcept { return count_; }
  std::uint32_t dropped() const noexcept { return dropped_; }
  std::uint32_t nextSequence() const noexcept { return nextSequence_; }  // last handed out
  std::int64_t epochNs() const noexcept { return epochNs_; }

 private:
  DiagnosticLifecycleEvent events_[kCapacity] = {};
  std::uint32_t start_ = 0;
  std::uint32_t count_ = 0;
  std::uint32_t dropped_ = 0;
  std::uint32_t nextSequence_ = 0;
  std::int64_t epochNs_ = 0;
};

}  // namespace norvo
