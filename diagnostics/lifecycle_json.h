// Writers of the "norvo.lifecycle" messages: one event, a list of events, the whole log.
// Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/lifecycle_log.h"

namespace norvo {

// Appends one event object ({"seq":..,"timeMs":..,["atFrame":..,]"kind":..,["detail":{..}]}).
void writeDiagnosticLifecycleEventJson(std::string& out, const DiagnosticLifecycleEvent& event);

// Appends {"type":"norvo.lifecycle","events":[..][,"dropped":n]} with the first min(count, 256)
// events; appends nothing and returns false for a null array or a count of 0.
bool writeDiagnosticLifecycleJson(std::string& out, const DiagnosticLifecycleEvent* events,
                                  std::uint32_t count, std::uint32_t dropped);

// The same message with every event of the log, oldest first, and the log's drop count;
// appends nothing and returns false for an empty log.
bool writeDiagnosticLifecycleReplayJson(std::string& out, const DiagnosticLifecycleLog& log);

}  // namespace norvo
