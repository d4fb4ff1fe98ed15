// Lifecycle kinds, event details and the 256-event lifecycle log.
#include "diagnostics/lifecycle_log.h"

#include <cstring>
#include <ctime>

#include "common/fixed_text.h"

namespace norvo {

namespace {

constexpr const char* kKindNames[kDiagnosticLifecycleKindCount] = {
    "created",
    "configured",
    "activated",
    "deactivated",
    "reset",
    "destroyed",
    "editorOpened",
    "editorClosed",
    "editorError",
    "stateSaved",
    "stateRestored",
    "presetLoaded",
    "presetSaved",
    "latencyChanged",
    "tailChanged",
    "tempoChanged",
    "timeSignatureChanged",
    "sampleRateChanged",
    "blockSizeChanged",
    "busLayoutChanged",
    "processModeChanged",
    "bypassChanged",
    "ccMapChanged",
    "stimulus",
    "runtimeDiagnostic",
};

// Monotonic clock in nanoseconds, 0 when it cannot be read.
std::int64_t monotonicNs() noexcept {
  timespec now{};
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
    return 0;
  }
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

const char* diagnosticLifecycleKindName(DiagnosticLifecycleKind kind) noexcept {
  const auto index = static_cast<std::uint32_t>(kind);
  return index < kDiagnosticLifecycleKindCount ? kKindNames[index] : nullptr;
}

bool diagnosticLifecycleKindFromName(const char* name, DiagnosticLifecycleKind& kind) noexcept {
  if (name == nullptr) {
    return false;
  }
  for (std::uint32_t i = 0; i < kDiagnosticLifecycleKindCount; ++i) {
    if (std::strcmp(name, kKindNames[i]) == 0) {
      kind = static_cast<DiagnosticLifecycleKind>(i);
      return true;
    }
  }
  return false;
}

DiagnosticLifecycleDetail* DiagnosticLifecycleEvent::nextDetail(const char* name,
                                                                std::uint8_t type) noexcept {
  if (detailCount >= kLifecycleDetailCapacity) {
    return nullptr;
  }
  DiagnosticLifecycleDetail& detail = details[detailCount++];
  detail = DiagnosticLifecycleDetail{};
  copyFixedText(detail.name, name);
  detail.type = type;
  return &detail;
}

void DiagnosticLifecycleEvent::addNumber(const char* name, double value) noexcept {
  if (DiagnosticLifecycleDetail* detail = nextDetail(name, kDetailNumber)) {
    detail->number = value;
  }
}

void DiagnosticLifecycleEvent::addString(const char* name, const char* text) noexcept {
  if (DiagnosticLifecycleDetail* detail = nextDetail(name, kDetailString)) {
    copyFixedText(detail->text, text);
  }
}

void DiagnosticLifecycleEvent::addBool(const char* name, bool value) noexcept {
  if (DiagnosticLifecycleDetail* detail = nextDetail(name, kDetailBool)) {
    detail->flag = value;
  }
}

void DiagnosticLifecycleEvent::addNull(const char* name) noexcept { nextDetail(name, kDetailNull); }

DiagnosticLifecycleLog::DiagnosticLifecycleLog() noexcept : epochNs_(monotonicNs()) {}

double DiagnosticLifecycleLog::nowMs() const noexcept {
  const std::int64_t now = monotonicNs();
  if (now == 0 || now <= epochNs_) {
    return 0.0;
  }
  return static_cast<double>(now - epochNs_) / 1000000.0;
}

DiagnosticLifecycleEvent& DiagnosticLifecycleLog::record(DiagnosticLifecycleKind kind,
                                                         std::int64_t atFrame) noexcept {
  if (count_ == kCapacity) {
    start_ = (start_ + 1) % kCapacity;
    count_ = kCapacity - 1;
    ++dropped_;
  }
  DiagnosticLifecycleEvent& event = events_[(start_ + count_) % kCapacity];
  event = DiagnosticLifecycleEvent{};
  event.seq = ++nextSequence_;
  event.timeMs = nowMs();
  event.atFrame = atFrame;
  event.kind = kind;
  ++count_;
  return event;
}

const DiagnosticLifecycleEvent& DiagnosticLifecycleLog::at(std::uint32_t index) const noexcept {
  if (index >= count_) {
    index = 0;
  }
  return events_[(start_ + index) % kCapacity];
}

}  // namespace norvo
