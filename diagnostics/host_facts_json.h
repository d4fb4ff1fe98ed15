// Writers of the host object, its buses, the host delta and the "norvo.hostChanged" message,
// and the classification of a host change into a lifecycle kind name. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/host_facts.h"

namespace norvo {

// Appends the host object ({"hostName":...,"sampleRate":...,"buses":[...]}).
void writeDiagnosticHostJson(std::string& out, const HostFacts& facts);

// Appends the buses array.
void appendBusesJson(std::string& out, const HostFacts& facts);

// Appends an object with the members that differ between `before` and `after` (new values);
// appends nothing and returns false when nothing differs.
bool writeDiagnosticHostDeltaJson(std::string& out, const HostFacts& before,
                                  const HostFacts& after);

// The lifecycle kind name of the change ("sampleRateChanged", "busLayoutChanged"...), or null.
const char* diagnosticHostChangeKind(const HostFacts& before, const HostFacts& after) noexcept;

// Appends {"type":"norvo.hostChanged","host":<delta>[,"event":{"seq":..,"timeMs":..,"kind":..}]}
// and returns true, or appends nothing and returns false when the delta is empty.
bool writeDiagnosticHostChangedJson(std::string& out, const HostFacts& before,
                                    const HostFacts& after, std::uint32_t sequence, double timeMs);

}  // namespace norvo
