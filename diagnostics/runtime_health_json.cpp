// The runtime health document and its diagnostic objects, written by hand in a fixed order.
#include "diagnostics/runtime_health_json.h"

#include "common/json_writer.h"
#include "diagnostics/runtime_diagnostic_codes.h"

namespace norvo {

namespace {

void appendDecimal(std::string& out, long long value) { out += std::to_string(value); }

std::uint32_t storedCount(const norvo_runtime_diagnostic_ring& ring) {
  return ring.count < kRuntimeDiagnosticCapacity ? ring.count : kRuntimeDiagnosticCapacity;
}

const char* healthStatus(const norvo_runtime_diagnostic_ring& ring, bool failed) {
  bool anyWarning = false;
  bool anyError = false;
  for (std::uint32_t i = 0; i < storedCount(ring); ++i) {
    const std::uint8_t severity = ring.entries[i].severity;
    anyError = anyError || severity >= kSeverityError;
    anyWarning = anyWarning || severity == kSeverityWarning;
  }
  if (failed || anyError) {
    return "failed";
  }
  if (anyWarning || ring.dropped != 0) {
    return "degraded";
  }
  return "healthy";
}

}  // namespace

void appendRuntimeDiagnosticJson(std::string& out, const norvo_runtime_diagnostic& diagnostic,
                                 const char* moduleId, const char* version, double sampleRate,
                                 int maxBlockFrames) {
  out += "{\"format\":\"norvo-plugin-runtime-diagnostic/v1\",\"schemaVersion\":1,\"sequence\":";
  appendDecimal(out, diagnostic.sequence);
  out += ",\"code\":";
  jsonAppendQuoted(out, runtimeDiagnosticCodeName(diagnostic.code));
  out += ",\"severity\":";
  jsonAppendQuoted(out, runtimeDiagnosticSeverityName(diagnostic.severity));
  out += ",\"phase\":";
  jsonAppendQuoted(out, runtimeDiagnosticPhaseName(diagnostic.phase));
  out += ",\"component\":\"shell\",\"message\":";
  jsonAppendQuoted(out, diagnostic.message);
  out += ",\"recoverable\":";
  out += isRecoverableSeverity(diagnostic.severity) ? "true" : "false";
  out += ",\"identity\":{\"moduleId\":";
  jsonAppendQuoted(out, moduleId != nullptr ? moduleId : "unknown");
  out += ",\"version\":";
  jsonAppendQuoted(out, version != nullptr ? version : "unknown");
  out += ",\"target\":\"vst3\"}";
  out += ",\"configuration\":{\"sampleRate\":";
  jsonAppendNumber(out, sampleRate);
  out += ",\"maxBlockFrames\":";
  appendDecimal(out, maxBlockFrames);
  out += "}";
  out += ",\"occurrence\":{\"count\":1}";
  if (diagnostic.detail[0] != '\0') {
    out += ",\"context\":{\"detail\":";
    jsonAppendQuoted(out, diagnostic.detail);
    out += "}";
  }
  out += "}";
}

std::string writeRuntimeHealthJson(const norvo_runtime_diagnostic_ring& ring, const char* moduleId,
                                   const char* version, double sampleRate, int maxBlockFrames,
                                   bool failed) {
  std::string out;
  out +=
      "{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,\"instanceId\":\"vst3\","
      "\"lifecycle\":";
  jsonAppendQuoted(out, failed ? "failed" : "configured");
  out += ",\"status\":";
  jsonAppendQuoted(out, healthStatus(ring, failed));
  out += ",\"counters\":{\"diagnostics\":";
  appendDecimal(out, ring.count);
  out += ",\"diagnostics.dropped\":";
  appendDecimal(out, ring.dropped);
  out += "},\"diagnostics\":[";
  for (std::uint32_t i = 0; i < storedCount(ring); ++i) {
    if (i != 0) {
      out += ",";
    }
    appendRuntimeDiagnosticJson(out, ring.entries[i], moduleId, version, sampleRate,
                                maxBlockFrames);
  }
  out += "]";
  if (ring.firstErrorSequence != 0) {
    if (const norvo_runtime_diagnostic* first =
            findRuntimeDiagnostic(ring, ring.firstErrorSequence)) {
      out += ",\"firstError\":";
      appendRuntimeDiagnosticJson(out, *first, moduleId, version, sampleRate, maxBlockFrames);
    }
  }
  out += "}";
  return out;
}

}  // namespace norvo
