// The host object, its buses, the host delta, the change kind and the "norvo.hostChanged"
// message.
#include "diagnostics/host_facts_json.h"

#include <cmath>
#include <cstring>

#include "common/json_writer.h"

namespace norvo {

namespace {

// Appends the separator and the quoted key of the next member of an object being written.
class MemberWriter {
 public:
  explicit MemberWriter(std::string& out) : out_(out) {}
  std::string& key(const char* name) {
    if (written_) {
      out_ += ",";
    }
    written_ = true;
    jsonAppendQuoted(out_, name);
    out_ += ":";
    return out_;
  }
  bool any() const { return written_; }

 private:
  std::string& out_;
  bool written_ = false;
};

// Equal, with two NaNs counting as the same value so an unknown rate is not a change.
bool sameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

const char* processModeName(std::uint8_t mode) {
  switch (mode) {
    case kProcessModeOffline:
      return "offline";
    case kProcessModePrefetch:
      return "prefetch";
    default:
      return "realtime";
  }
}

void appendTail(std::string& out, const HostFacts& facts) {
  if (facts.tailKind == kTailInfinite) {
    out += "\"infinite\"";
  } else if (facts.tailKind == kTailSamples) {
    jsonAppendNumber(out, facts.tailSamples);
  } else {
    out += "\"unreported\"";
  }
}

void appendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

bool busesDiffer(const HostFacts& a, const HostFacts& b) {
  if (a.busCount != b.busCount) {
    return true;
  }
  const std::uint32_t count = a.busCount < kHostBusCapacity ? a.busCount : kHostBusCapacity;
  for (std::uint32_t i = 0; i < count; ++i) {
    const HostBusFact& x = a.buses[i];
    const HostBusFact& y = b.buses[i];
    if (x.isInput != y.isInput || x.channels != y.channels || x.active != y.active ||
        std::strncmp(x.id, y.id, sizeof x.id) != 0 ||
        std::strncmp(x.layout, y.layout, sizeof x.layout) != 0) {
      return true;
    }
  }
  return false;
}

bool tailDiffers(const HostFacts& a, const HostFacts& b) {
  return a.tailKind != b.tailKind || a.tailSamples != b.tailSamples;
}

bool bypassChanged(const HostFacts& before, const HostFacts& after) {
  return after.bypassKnown && (!before.bypassKnown || before.bypassed != after.bypassed);
}

}  // namespace

void appendBusesJson(std::string& out, const HostFacts& facts) {
  out += "[";
  const std::uint32_t count = facts.busCount < kHostBusCapacity ? facts.busCount : kHostBusCapacity;
  for (std::uint32_t i = 0; i < count; ++i) {
    const HostBusFact& bus = facts.buses[i];
    if (i != 0) {
      out += ",";
    }
    out += "{\"id\":";
    jsonAppendQuoted(out, bus.id);
    out += ",\"direction\":";
    out += bus.isInput ? "\"input\"" : "\"output\"";
    out += ",\"channels\":";
    jsonAppendNumber(out, bus.channels);
    out += ",\"active\":";
    appendBool(out, bus.active);
    if (bus.layout[0] != '\0') {
      out += ",\"layout\":";
      jsonAppendQuoted(out, bus.layout);
    }
    out += "}";
  }
  out += "]";
}

void writeDiagnosticHostJson(std::string& out, const HostFacts& facts) {
  out += "{";
  MemberWriter member(out);
  if (facts.hostName[0] != '\0') {
    jsonAppendQuoted(member.key("hostName"), facts.hostName);
  }
  if (facts.hostVersion[0] != '\0') {
    jsonAppendQuoted(member.key("hostVersion"), facts.hostVersion);
  }
  if (facts.hostPath[0] != '\0') {
    jsonAppendQuoted(member.key("hostPath"), facts.hostPath);
  }
  if (const char* validator = hostValidatorName(facts.validatorHost)) {
    jsonAppendQuoted(member.key("validatorHost"), validator);
  }
  jsonAppendNumber(member.key("sampleRate"), facts.sampleRate);
  jsonAppendNumber(member.key("maxBlockFrames"), facts.maxBlockFrames);
  if (facts.lastBlockFrames >= 0) {
    jsonAppendNumber(member.key("lastBlockFrames"), facts.lastBlockFrames);
  }
  jsonAppendQuoted(member.key("processMode"), processModeName(facts.processMode));
  jsonAppendNumber(member.key("sampleSize"), facts.sampleSize);
  jsonAppendNumber(member.key("latencySamples"), facts.latencySamples);
  appendTail(member.key("tailSamples"), facts);
  if (facts.internalSampleRate > 0) {
    jsonAppendNumber(member.key("internalSampleRate"), facts.internalSampleRate);
  }
  appendBusesJson(member.key("buses"), facts);
  if (facts.bypassKnown) {
    appendBool(member.key("bypassed"), facts.bypassed);
  }
  out += "}";
}

bool writeDiagnosticHostDeltaJson(std::string& out, const HostFacts& before,
                                  const HostFacts& after) {
  std::string members;
  MemberWriter member(members);
  if (!sameDouble(before.sampleRate, after.sampleRate)) {
    jsonAppendNumber(member.key("sampleRate"), after.sampleRate);
  }
  if (before.maxBlockFrames != after.maxBlockFrames) {
    jsonAppendNumber(member.key("maxBlockFrames"), after.maxBlockFrames);
  }
  if (before.lastBlockFrames != after.lastBlockFrames && after.lastBlockFrames >= 0) {
    jsonAppendNumber(member.key("lastBlockFrames"), after.lastBlockFrames);
  }
  if (before.processMode != after.processMode) {
    jsonAppendQuoted(member.key("processMode"), processModeName(after.processMode));
  }
  if (before.sampleSize != after.sampleSize) {
    jsonAppendNumber(member.key("sampleSize"), after.sampleSize);
  }
  if (before.latencySamples != after.latencySamples) {
    jsonAppendNumber(member.key("latencySamples"), after.latencySamples);
  }
  if (tailDiffers(before, after)) {
    appendTail(member.key("tailSamples"), after);
  }
  if (!sameDouble(before.internalSampleRate, after.internalSampleRate) &&
      after.internalSampleRate > 0) {
    jsonAppendNumber(member.key("internalSampleRate"), after.internalSampleRate);
  }
  if (busesDiffer(before, after)) {
    appendBusesJson(member.key("buses"), after);
  }
  if (bypassChanged(before, after)) {
    appendBool(member.key("bypassed"), after.bypassed);
  }
  if (!member.any()) {
    return false;
  }
  out += "{";
  out += members;
  out += "}";
  return true;
}

const char* diagnosticHostChangeKind(const HostFacts& before, const HostFacts& after) noexcept {
  if (!sameDouble(before.sampleRate, after.sampleRate)) {
    return "sampleRateChanged";
  }
  if (before.maxBlockFrames != after.maxBlockFrames) {
    return "blockSizeChanged";
  }
  if (busesDiffer(before, after)) {
    return "busLayoutChanged";
  }
  if (before.latencySamples != after.latencySamples) {
    return "latencyChanged";
  }
  if (tailDiffers(before, after)) {
    return "tailChanged";
  }
  if (before.processMode != after.processMode) {
    return "processModeChanged";
  }
  if (bypassChanged(before, after)) {
    return "bypassChanged";
  }
  if (before.lastBlockFrames != after.lastBlockFrames) {
    return "blockSizeChanged";
  }
  if (before.sampleSize != after.sampleSize) {
    return "configured";
  }
  if (!sameDouble(before.internalSampleRate, after.internalSampleRate)) {
    return "sampleRateChanged";
  }
  return nullptr;
}

bool writeDiagnosticHostChangedJson(std::string& out, const HostFacts& before,
                                    const HostFacts& after, std::uint32_t sequence, double timeMs) {
  std::string delta;
  if (!writeDiagnosticHostDeltaJson(delta, before, after)) {
    return false;
  }
  out += "{\"type\":\"norvo.hostChanged\",\"host\":";
  out += delta;
  if (const char* kind = diagnosticHostChangeKind(before, after)) {
    out += ",\"event\":{\"seq\":";
    jsonAppendNumber(out, sequence);
    out += ",\"timeMs\":";
    jsonAppendNumber(out, timeMs);
    out += ",\"kind\":";
    jsonAppendQuoted(out, kind);
    out += "}";
  }
  out += "}";
  return true;
}

}  // namespace norvo
