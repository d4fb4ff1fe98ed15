// `norvo-probe moduleinfo BUNDLE [-o FILE]`: loads the module like a host and writes the
// moduleinfo.json its factory describes. Main thread.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace norvo::probe {

// Writes the document to `outputPath`, or to `out` when the path is empty. The file is written
// whole or not at all: a failure leaves an existing file as it was. Throws ProbeError.
void runModuleInfo(const std::string& bundlePath, const std::string& outputPath, std::ostream& out);

// The text of the bundle's moduleinfo.json, nothing when it has none. Throws ProbeError when
// the file is there but cannot be read.
std::optional<std::string> readModuleInfoFile(const std::string& bundlePath);

}  // namespace norvo::probe
