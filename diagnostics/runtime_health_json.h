// Writers of the runtime health report ("norvo-runtime-health/v1") and of its diagnostic
// entries ("norvo-plugin-runtime-diagnostic/v1"). Main thread (they allocate).
#pragma once

#include <string>

#include "diagnostics/runtime_diagnostic_ring.h"

namespace norvo {

// The whole health document for a snapshot of the ring. `moduleId`/`version` null are
// written "unknown"; `failed` marks a report sent because the engine could not be set up.
std::string writeRuntimeHealthJson(const norvo_runtime_diagnostic_ring& ring, const char* moduleId,
                                   const char* version, double sampleRate, int maxBlockFrames,
                                   bool failed);

// Appends one diagnostic object (used by the health writer).
void appendRuntimeDiagnosticJson(std::string& out, const norvo_runtime_diagnostic& diagnostic,
                                 const char* moduleId, const char* version, double sampleRate,
                                 int maxBlockFrames);

}  // namespace norvo
