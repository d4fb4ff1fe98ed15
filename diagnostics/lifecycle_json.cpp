// The "norvo.lifecycle" messages.
#include "diagnostics/lifecycle_json.h"

#include "common/json_writer.h"

namespace norvo {

namespace {

void appendDetailValue(std::string& out, const DiagnosticLifecycleDetail& detail) {
  switch (detail.type) {
    case kDetailNumber:
      jsonAppendNumber(out, detail.number);  // null when not finite
      break;
    case kDetailString:
      jsonAppendQuoted(out, detail.text);
      break;
    case kDetailBool:
      out += detail.flag ? "true" : "false";
      break;
    default:
      out += "null";
      break;
  }
}

template <typename EventAt>
void appendEnvelope(std::string& out, std::uint32_t count, std::uint32_t dropped, EventAt eventAt) {
  out += "{\"type\":\"norvo.lifecycle\",\"events\":[";
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i != 0) {
      out += ",";
    }
    writeDiagnosticLifecycleEventJson(out, eventAt(i));
  }
  out += "]";
  if (dropped != 0) {
    out += ",\"dropped\":";
    jsonAppendNumber(out, dropped);
  }
  out += "}";
}

}  // namespace

void writeDiagnosticLifecycleEventJson(std::string& out, const DiagnosticLifecycleEvent& event) {
  out += "{\"seq\":";
  jsonAppendNumber(out, event.seq);
  out += ",\"timeMs\":";
  jsonAppendNumber(out, event.timeMs);
  if (event.atFrame >= 0) {
    out += ",\"atFrame\":";
    jsonAppendNumber(out, static_cast<double>(event.atFrame));
  }
  out += ",\"kind\":";
  const char* kind = diagnosticLifecycleKindName(event.kind);
  jsonAppendQuoted(out, kind != nullptr ? kind : "runtimeDiagnostic");
  const std::uint32_t details =
      event.detailCount < kLifecycleDetailCapacity ? event.detailCount : kLifecycleDetailCapacity;
  if (details > 0) {
    out += ",\"detail\":{";
    for (std::uint32_t i = 0; i < details; ++i) {
      if (i != 0) {
        out += ",";
      }
      jsonAppendQuoted(out, event.details[i].name);
      out += ":";
      appendDetailValue(out, event.details[i]);
    }
    out += "}";
  }
  out += "}";
}

bool writeDiagnosticLifecycleJson(std::string& out, const DiagnosticLifecycleEvent* events,
                                  std::uint32_t count, std::uint32_t dropped) {
  if (events == nullptr || count == 0) {
    return false;
  }
  const std::uint32_t written =
      count < DiagnosticLifecycleLog::kCapacity ? count : DiagnosticLifecycleLog::kCapacity;
  appendEnvelope(
      out, written, dropped,
      [events](std::uint32_t i) -> const DiagnosticLifecycleEvent& { return events[i]; });
  return true;
}

bool writeDiagnosticLifecycleReplayJson(std::string& out, const DiagnosticLifecycleLog& log) {
  if (log.count() == 0) {
    return false;
  }
  appendEnvelope(out, log.count(), log.dropped(),
                 [&log](std::uint32_t i) -> const DiagnosticLifecycleEvent& { return log.at(i); });
  return true;
}

}  // namespace norvo
