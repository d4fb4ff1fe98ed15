// The "norvo.transport" message.
#include "diagnostics/transport_json.h"

#include <cmath>

#include "common/json_writer.h"

namespace norvo {

namespace {

const char* transportSourceName(std::uint8_t source) {
  switch (source) {
    case kTransportSourceHost:
      return "host";
    case kTransportSourceInternal:
      return "internal";
    default:
      return "none";
  }
}

void appendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

void appendLoopPosition(std::string& out, bool hasLoop, double value) {
  if (hasLoop && std::isfinite(value)) {
    jsonAppendNumber(out, value);
  } else {
    out += "null";
  }
}

}  // namespace

void writeDiagnosticTransportJson(std::string& out, const TransportFact& fact) {
  out += "{\"type\":\"norvo.transport\",\"frame\":{\"atFrame\":";
  jsonAppendNumber(out, static_cast<double>(fact.atFrame));
  out += ",\"source\":";
  jsonAppendQuoted(out, transportSourceName(fact.source));
  out += ",\"state\":{\"playing\":";
  appendBool(out, fact.playing);
  out += ",\"recording\":";
  appendBool(out, fact.recording);
  out += ",\"looping\":";
  appendBool(out, fact.looping);
  out += ",\"tempo\":";
  jsonAppendNumber(out, fact.tempo);
  out += ",\"timeSignature\":{\"numerator\":";
  jsonAppendNumber(out, fact.numerator);
  out += ",\"denominator\":";
  jsonAppendNumber(out, fact.denominator);
  out += "},\"ppqPosition\":";
  jsonAppendNumber(out, fact.ppqPosition);
  out += ",\"barPositionPpq\":";
  jsonAppendNumber(out, fact.barPositionPpq);
  out += ",\"loopStartPpq\":";
  appendLoopPosition(out, fact.hasLoop, fact.loopStartPpq);
  out += ",\"loopEndPpq\":";
  appendLoopPosition(out, fact.hasLoop, fact.loopEndPpq);
  out += ",\"sampleRate\":";
  if (fact.sampleRate > 0.0 && std::isfinite(fact.sampleRate)) {
    jsonAppendNumber(out, fact.sampleRate);
  } else {
    out += "null";
  }
  out += ",\"projectTimeSamples\":";
  jsonAppendNumber(out, static_cast<double>(fact.projectTimeSamples));
  out += "},\"capabilities\":{\"tempo\":";
  appendBool(out, fact.hasTempo);
  out += ",\"timeSignature\":";
  appendBool(out, fact.hasTimeSignature);
  out += ",\"position\":";
  appendBool(out, fact.hasPosition);
  out += ",\"loop\":";
  appendBool(out, fact.hasLoop);
  out += ",\"canSetTempo\":";
  appendBool(out, fact.canSetTempo);
  out += "}}}";
}

}  // namespace norvo
