// Names of the runtime diagnostic codes, severities and phases.
#include "diagnostics/runtime_diagnostic_codes.h"

namespace norvo {

namespace {

constexpr const char* kCodeNames[] = {
    "runtime.unknown",  // 0 is not a code
    "runtime.kernel-create-failed",
    "runtime.rate-adapter-init-failed",
    "runtime.unsupported-processing-configuration",
    "runtime.process-failed",
    "runtime.suspicious-silence",
    "preset.bank-mismatch",
    "preset.processor-apply-failed",
    "state.decode-failed",
    "state.restore-failed",
    "editor.bundle-identity-mismatch",
    "editor.bridge-timeout",
    "install.artifact-stale",
    "install.duplicate-scan-candidate",
    "runtime.invalid-configuration",
    "runtime.engine-unavailable",
    "build.dependency-missing",
    "build.artifact-missing",
    "host.validator-missing",
    "runtime.realtime-violation",
    "runtime.nonfinite-audio",
    "runtime.callback-missing",
    "runtime.event-rejected",
    "runtime.host-connection-failed",
    "runtime.closed",
    "runtime.diagnostics-overflow",
    "runtime.unknown",
    "bank.missing",
    "bank.hash-mismatch",
};

constexpr const char* kSeverityNames[] = {"info", "warning", "error", "fatal"};

constexpr const char* kPhaseNames[] = {"build",  "package",   "install",  "scan",
                                       "load",   "configure", "activate", "process",
                                       "preset", "state",     "editor",   "shutdown"};

template <typename T, unsigned long N>
constexpr unsigned long countOf(T (&)[N]) {
  return N;
}

}  // namespace

const char* runtimeDiagnosticCodeName(std::uint32_t code) noexcept {
  return code < countOf(kCodeNames) ? kCodeNames[code] : "runtime.unknown";
}

const char* runtimeDiagnosticSeverityName(std::uint8_t severity) noexcept {
  return severity < countOf(kSeverityNames) ? kSeverityNames[severity] : "error";
}

const char* runtimeDiagnosticPhaseName(std::uint8_t phase) noexcept {
  return phase < countOf(kPhaseNames) ? kPhaseNames[phase] : "process";
}

}  // namespace norvo
