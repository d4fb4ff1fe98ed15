// Writer of the "norvo.transport" message for one transport snapshot. Main thread.
#pragma once

#include <string>

#include "diagnostics/transport_fact.h"

namespace norvo {

// Appends {"type":"norvo.transport","frame":{...}}. Loop positions are null unless the host
// supplied the loop (and they are finite); a sample rate of 0 or less is null.
void writeDiagnosticTransportJson(std::string& out, const TransportFact& fact);

}  // namespace norvo
