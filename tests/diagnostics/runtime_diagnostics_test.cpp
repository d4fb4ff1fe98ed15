// Runtime diagnostics: ring recording, realtime hand-over, draining and the health report.
#include "diagnostics/runtime_diagnostics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "diagnostics/runtime_health_json.h"
#include "support/allocation_counter.h"

namespace norvo {
namespace {

std::string report(const RuntimeDiagnostics& diagnostics, bool failed = false,
                   double sampleRate = 48000.0, int maxBlockFrames = 512) {
  norvo_runtime_diagnostic_ring copy = diagnostics.ring();
  return writeRuntimeHealthJson(copy, "music.norvo.chord", "0.1.0", sampleRate, maxBlockFrames,
                                failed);
}

const char* const kEntryPrefix =
    "{\"format\":\"norvo-plugin-runtime-diagnostic/v1\",\"schemaVersion\":1,\"sequence\":";
const char* const kIdentityAndConfig =
    ",\"identity\":{\"moduleId\":\"music.norvo.chord\",\"version\":\"0.1.0\",\"target\":\"vst3\"},"
    "\"configuration\":{\"sampleRate\":48000,\"maxBlockFrames\":512},\"occurrence\":{\"count\":1}";

TEST(RuntimeDiagnosticsReport, FreshEngineIsHealthyAndEmpty) {
  RuntimeDiagnostics diagnostics;
  EXPECT_EQ(report(diagnostics),
            "{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,\"instanceId\":\"vst3\","
            "\"lifecycle\":\"configured\",\"status\":\"healthy\",\"counters\":{\"diagnostics\":0,"
            "\"diagnostics.dropped\":0},\"diagnostics\":[]}");
  EXPECT_EQ(diagnostics.ring().version, 1u);
  EXPECT_EQ(diagnostics.ring().nextSequence, 1u);
}

TEST(RuntimeDiagnosticsReport, FailedFlagMarksLifecycleAndStatus) {
  RuntimeDiagnostics diagnostics;
  EXPECT_EQ(report(diagnostics, true),
            "{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,\"instanceId\":\"vst3\","
            "\"lifecycle\":\"failed\",\"status\":\"failed\",\"counters\":{\"diagnostics\":0,"
            "\"diagnostics.dropped\":0},\"diagnostics\":[]}");
}

TEST(RuntimeDiagnosticsReport, WarningsAloneDegradeAndInfoStaysHealthy) {
  RuntimeDiagnostics diagnostics;
  diagnostics.record(kDiagSuspiciousSilence, kSeverityInfo, kPhaseProcess, "note", nullptr);
  EXPECT_NE(report(diagnostics).find("\"lifecycle\":\"configured\",\"status\":\"healthy\","),
            std::string::npos);
  diagnostics.record(kDiagSuspiciousSilence, kSeverityWarning, kPhaseProcess, "quiet", nullptr);
  EXPECT_NE(report(diagnostics).find("\"lifecycle\":\"configured\",\"status\":\"degraded\","),
            std::string::npos);
  EXPECT_EQ(report(diagnostics).find("\"firstError\""), std::string::npos)
      << "a warning is no error";
}

TEST(RuntimeDiagnosticsReport, WarningThenErrorsReportFirstErrorOnce) {
  RuntimeDiagnostics diagnostics;
  diagnostics.record(kDiagSuspiciousSilence, kSeverityWarning, kPhaseProcess, "quiet", nullptr);
  diagnostics.record(kDiagInvalidConfiguration, kSeverityError, kPhaseConfigure,
                     "host processing configuration is invalid", nullptr);
  diagnostics.record(kDiagKernelCreateFailed, kSeverityFatal, kPhaseConfigure, "second", "x\"y");
  const std::string warning = std::string(kEntryPrefix) +
                              "1,\"code\":\"runtime.suspicious-silence\",\"severity\":\"warning\","
                              "\"phase\":\"process\",\"component\":\"shell\",\"message\":\"quiet\","
                              "\"recoverable\":true" +
                              kIdentityAndConfig + "}";
  const std::string error =
      std::string(kEntryPrefix) +
      "2,\"code\":\"runtime.invalid-configuration\",\"severity\":\"error\",\"phase\":\"configure\","
      "\"component\":\"shell\",\"message\":\"host processing configuration is invalid\","
      "\"recoverable\":false" +
      kIdentityAndConfig + "}";
  const std::string fatal =
      std::string(kEntryPrefix) +
      "3,\"code\":\"runtime.kernel-create-failed\",\"severity\":\"fatal\",\"phase\":\"configure\","
      "\"component\":\"shell\",\"message\":\"second\",\"recoverable\":false" +
      kIdentityAndConfig + ",\"context\":{\"detail\":\"x\\\"y\"}}";
  EXPECT_EQ(report(diagnostics),
            "{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,\"instanceId\":\"vst3\","
            "\"lifecycle\":\"configured\",\"status\":\"failed\",\"counters\":{\"diagnostics\":3,"
            "\"diagnostics.dropped\":0},\"diagnostics\":[" +
                warning + "," + error + "," + fatal + "],\"firstError\":" + error + "}");
}

TEST(RuntimeDiagnosticsReport, UnknownValuesUseFallbackNamesAndOddConfigurations) {
  RuntimeDiagnostics diagnostics;
  diagnostics.record(0, kSeverityInfo, 12, "a", nullptr);
  diagnostics.record(29, 7, kPhaseShutdown, "b", "");
  norvo_runtime_diagnostic_ring ring = diagnostics.ring();
  const std::string text = writeRuntimeHealthJson(ring, nullptr, nullptr, NAN, -3, false);
  EXPECT_EQ(
      text,
      "{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,\"instanceId\":\"vst3\","
      "\"lifecycle\":\"configured\",\"status\":\"failed\",\"counters\":{\"diagnostics\":2,"
      "\"diagnostics.dropped\":0},\"diagnostics\":["
      "{\"format\":\"norvo-plugin-runtime-diagnostic/v1\",\"schemaVersion\":1,\"sequence\":1,"
      "\"code\":\"runtime.unknown\",\"severity\":\"info\",\"phase\":\"process\",\"component\":"
      "\"shell\",\"message\":\"a\",\"recoverable\":true,\"identity\":{\"moduleId\":\"unknown\","
      "\"version\":\"unknown\",\"target\":\"vst3\"},\"configuration\":{\"sampleRate\":null,"
      "\"maxBlockFrames\":-3},\"occurrence\":{\"count\":1}},"
      "{\"format\":\"norvo-plugin-runtime-diagnostic/v1\",\"schemaVersion\":1,\"sequence\":2,"
      "\"code\":\"runtime.unknown\",\"severity\":\"error\",\"phase\":\"shutdown\",\"component\":"
      "\"shell\",\"message\":\"b\",\"recoverable\":false,\"identity\":{\"moduleId\":\"unknown\","
      "\"version\":\"unknown\",\"target\":\"vst3\"},\"configuration\":{\"sampleRate\":null,"
      "\"maxBlockFrames\":-3},\"occurrence\":{\"count\":1}}],"
      "\"firstError\":{\"format\":\"norvo-plugin-runtime-diagnostic/v1\",\"schemaVersion\":1,"
      "\"sequence\":2,\"code\":\"runtime.unknown\",\"severity\":\"error\",\"phase\":\"shutdown\","
      "\"component\":\"shell\",\"message\":\"b\",\"recoverable\":false,\"identity\":{\"moduleId\":"
      "\"unknown\",\"version\":\"unknown\",\"target\":\"vst3\"},\"configuration\":{\"sampleRate\":"
      "null,\"maxBlockFrames\":-3},\"occurrence\":{\"count\":1}}}");
}

TEST(RuntimeDiagnosticsNames, EveryTableEntryAndFallback) {
  EXPECT_STREQ(runtimeDiagnosticCodeName(1), "runtime.kernel-create-failed");
  EXPECT_STREQ(runtimeDiagnosticCodeName(14), "runtime.invalid-configuration");
  EXPECT_STREQ(runtimeDiagnosticCodeName(22), "runtime.event-rejected");
  EXPECT_STREQ(runtimeDiagnosticCodeName(25), "runtime.diagnostics-overflow");
  EXPECT_STREQ(runtimeDiagnosticCodeName(28), "bank.hash-mismatch");
  EXPECT_STREQ(runtimeDiagnosticCodeName(29), "runtime.unknown");
  EXPECT_STREQ(runtimeDiagnosticCodeName(0xFFFFFFFFu), "runtime.unknown");
  EXPECT_STREQ(runtimeDiagnosticSeverityName(3), "fatal");
  EXPECT_STREQ(runtimeDiagnosticSeverityName(4), "error");
  EXPECT_STREQ(runtimeDiagnosticPhaseName(11), "shutdown");
  EXPECT_STREQ(runtimeDiagnosticPhaseName(12), "process");
  EXPECT_STREQ(runtimeDiagnosticPhaseName(255), "process");
}

TEST(RuntimeDiagnosticsRing, FullRingCountsDropsAndNeverOverwrites) {
  RuntimeDiagnostics diagnostics;
  for (int i = 0; i < 32; ++i) {
    diagnostics.record(kDiagSuspiciousSilence, kSeverityInfo, kPhaseProcess,
                       std::to_string(i).c_str(), nullptr);
  }
  EXPECT_EQ(diagnostics.record(kDiagInvalidConfiguration, kSeverityError, kPhaseConfigure, "late",
                               nullptr),
            33u);
  const norvo_runtime_diagnostic_ring& ring = diagnostics.ring();
  EXPECT_EQ(ring.count, 32u);
  EXPECT_EQ(ring.dropped, 1u);
  EXPECT_EQ(ring.nextSequence, 34u);
  EXPECT_EQ(ring.firstErrorSequence, 0u) << "a dropped error is not the first stored error";
  EXPECT_STREQ(ring.entries[0].message, "0");
  EXPECT_STREQ(ring.entries[31].message, "31");
  EXPECT_EQ(ring.entries[31].sequence, 32u);
  const std::string text = report(diagnostics);
  EXPECT_NE(text.find("\"status\":\"degraded\",\"counters\":{\"diagnostics\":32,"
                      "\"diagnostics.dropped\":1}"),
            std::string::npos);
}

TEST(RuntimeDiagnosticsRing, LongTextsAreCutToTheirFields) {
  RuntimeDiagnostics diagnostics;
  const std::string message(300, 'm');
  const std::string detail(200, 'd');
  diagnostics.record(kDiagBankMissing, kSeverityError, kPhaseLoad, message.c_str(), detail.c_str());
  // A two-byte character straddling the limit is left out whole.
  const std::string accented = std::string(190, 'a') + "\xC3\xA9" + "tail";
  diagnostics.record(kDiagBankMissing, kSeverityError, kPhaseLoad, accented.c_str(), nullptr);
  const norvo_runtime_diagnostic_ring& ring = diagnostics.ring();
  EXPECT_EQ(std::string(ring.entries[0].message), std::string(191, 'm'));
  EXPECT_EQ(std::string(ring.entries[0].detail), std::string(127, 'd'));
  EXPECT_EQ(std::string(ring.entries[1].message), std::string(190, 'a'));
  EXPECT_STREQ(ring.entries[1].detail, "");
}

TEST(RuntimeDiagnosticsDrain, TriplesGetTheirDrainMessages) {
  RuntimeDiagnostics diagnostics;
  diagnostics.recordRealtime(kDiagProcessFailed, kSeverityFatal, kPhaseProcess);
  diagnostics.recordRealtime(kDiagRateAdapterInitFailed, kSeverityError, kPhaseProcess);
  diagnostics.recordRealtime(kDiagEventRejected, kSeverityError, kPhaseProcess);
  EXPECT_EQ(diagnostics.ring().count, 0u) << "nothing reaches the ring before a drain";
  diagnostics.drain();
  const norvo_runtime_diagnostic_ring& ring = diagnostics.ring();
  ASSERT_EQ(ring.count, 3u);
  EXPECT_STREQ(ring.entries[0].message, "audio process callback failed; output was cleared");
  EXPECT_STREQ(ring.entries[1].message, "sample-rate adapter failed; output was cleared");
  EXPECT_STREQ(ring.entries[2].message, "runtime diagnostic observed on the audio callback");
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(ring.entries[i].detail, "audio callback");
    EXPECT_EQ(ring.entries[i].sequence, i + 1);
  }
  EXPECT_EQ(ring.entries[2].code, static_cast<std::uint32_t>(kDiagEventRejected));
  EXPECT_EQ(ring.firstErrorSequence, 1u);
  diagnostics.drain();
  EXPECT_EQ(diagnostics.ring().count, 3u) << "a second drain finds nothing new";
}

TEST(RuntimeDiagnosticsDrain, QueueOverflowIsReportedWithTheNumberLost) {
  RuntimeDiagnostics diagnostics;
  for (int i = 0; i < 40; ++i) {
    diagnostics.recordRealtime(kDiagProcessFailed, kSeverityError, kPhaseProcess);
  }
  diagnostics.drain();
  const norvo_runtime_diagnostic_ring& ring = diagnostics.ring();
  // 32 triples were queued; 8 were lost. The last ring slot is kept for the overflow entry,
  // so the 32nd triple is counted as dropped.
  ASSERT_EQ(ring.count, 32u);
  EXPECT_EQ(ring.dropped, 1u);
  EXPECT_EQ(ring.nextSequence, 34u);
  EXPECT_STREQ(ring.entries[30].message, "audio process callback failed; output was cleared");
  const norvo_runtime_diagnostic& overflow = ring.entries[31];
  EXPECT_EQ(overflow.sequence, 33u);
  EXPECT_EQ(overflow.code, static_cast<std::uint32_t>(kDiagDiagnosticsOverflow));
  EXPECT_EQ(overflow.severity, kSeverityWarning);
  EXPECT_EQ(overflow.phase, kPhaseProcess);
  EXPECT_STREQ(overflow.message, "audio diagnostic queue overflowed");
  EXPECT_STREQ(overflow.detail, "dropped=8; source=audio callback");
}

TEST(RuntimeDiagnosticsDrain, FullQueueWithoutLossFillsTheRingThenDrops) {
  RuntimeDiagnostics diagnostics;
  for (int i = 0; i < 32; ++i) {
    diagnostics.recordRealtime(kDiagEventRejected, kSeverityError, kPhaseProcess);
  }
  diagnostics.drain();
  EXPECT_EQ(diagnostics.ring().count, 32u);
  EXPECT_EQ(diagnostics.ring().dropped, 0u);
  diagnostics.recordRealtime(kDiagEventRejected, kSeverityError, kPhaseProcess);
  diagnostics.drain();
  EXPECT_EQ(diagnostics.ring().dropped, 1u) << "a full ring drops drained triples";
  EXPECT_EQ(diagnostics.ring().nextSequence, 34u);
}

TEST(RuntimeDiagnosticsDrain, ResetEmptiesRingAndQueue) {
  RuntimeDiagnostics diagnostics;
  diagnostics.record(kDiagKernelCreateFailed, kSeverityFatal, kPhaseConfigure, "x", nullptr);
  for (int i = 0; i < 33; ++i) {
    diagnostics.recordRealtime(kDiagProcessFailed, kSeverityError, kPhaseProcess);
  }
  diagnostics.reset();
  diagnostics.drain();
  EXPECT_EQ(diagnostics.ring().count, 0u);
  EXPECT_EQ(diagnostics.ring().nextSequence, 1u);
  EXPECT_EQ(diagnostics.ring().firstErrorSequence, 0u);
}

TEST(RuntimeDiagnosticsRealtime, RecordingOnTheAudioPathNeitherAllocatesNorLocks) {
  RuntimeDiagnostics diagnostics;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int i = 0; i < 100; ++i) {  // past the queue capacity: the overflow path too
      diagnostics.recordRealtime(kDiagEventRejected, kSeverityError, kPhaseProcess);
    }
    counts = scope.counts();
  }
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
  diagnostics.drain();
  EXPECT_STREQ(diagnostics.ring().entries[31].detail, "dropped=68; source=audio callback");
}

}  // namespace
}  // namespace norvo
