// Codes, severities and phases of the runtime diagnostics, and the names the reports write.
// Plain constants and pure functions: any thread.
#pragma once

#include <cstdint>

namespace norvo {

// Stable diagnostic codes. 0 and anything above 28 are reported as "runtime.unknown".
enum RuntimeDiagnosticCode : std::uint32_t {
  kDiagKernelCreateFailed = 1,
  kDiagRateAdapterInitFailed = 2,
  kDiagUnsupportedProcessingConfiguration = 3,
  kDiagProcessFailed = 4,
  kDiagSuspiciousSilence = 5,
  kDiagPresetBankMismatch = 6,
  kDiagPresetProcessorApplyFailed = 7,
  kDiagStateDecodeFailed = 8,
  kDiagStateRestoreFailed = 9,
  kDiagEditorBundleIdentityMismatch = 10,
  kDiagEditorBridgeTimeout = 11,
  kDiagInstallArtifactStale = 12,
  kDiagInstallDuplicateScanCandidate = 13,
  kDiagInvalidConfiguration = 14,
  kDiagEngineUnavailable = 15,
  kDiagBuildDependencyMissing = 16,
  kDiagBuildArtifactMissing = 17,
  kDiagHostValidatorMissing = 18,
  kDiagRealtimeViolation = 19,
  kDiagNonfiniteAudio = 20,
  kDiagCallbackMissing = 21,
  kDiagEventRejected = 22,
  kDiagHostConnectionFailed = 23,
  kDiagClosed = 24,
  kDiagDiagnosticsOverflow = 25,
  kDiagUnknown = 26,
  kDiagBankMissing = 27,
  kDiagBankHashMismatch = 28,
};

// Severities; a diagnostic is recoverable below kSeverityError. Values above 3 read as "error".
enum RuntimeDiagnosticSeverity : std::uint8_t {
  kSeverityInfo = 0,
  kSeverityWarning = 1,
  kSeverityError = 2,
  kSeverityFatal = 3,
};

// Lifecycle phases; values above 11 read as "process".
enum RuntimeDiagnosticPhase : std::uint8_t {
  kPhaseBuild = 0,
  kPhasePackage = 1,
  kPhaseInstall = 2,
  kPhaseScan = 3,
  kPhaseLoad = 4,
  kPhaseConfigure = 5,
  kPhaseActivate = 6,
  kPhaseProcess = 7,
  kPhasePreset = 8,
  kPhaseState = 9,
  kPhaseEditor = 10,
  kPhaseShutdown = 11,
};

// Report names ("runtime.process-failed", "warning", "configure"), with the fallbacks above.
const char* runtimeDiagnosticCodeName(std::uint32_t code) noexcept;
const char* runtimeDiagnosticSeverityName(std::uint8_t severity) noexcept;
const char* runtimeDiagnosticPhaseName(std::uint8_t phase) noexcept;

// True when a diagnostic of this severity leaves the plug-in usable (info or warning).
constexpr bool isRecoverableSeverity(std::uint8_t severity) noexcept {
  return severity < kSeverityError;
}

}  // namespace norvo
