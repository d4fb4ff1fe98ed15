// `norvo-probe info BUNDLE`: lists the factory, its classes, the processor's buses, the
// controller's parameters and the bundle's moduleinfo.json. Main thread.
#pragma once

#include <ostream>
#include <string>

namespace norvo::probe {

// Throws ProbeError on any failure; writes the listing to `out`.
void runInfo(const std::string& bundlePath, std::ostream& out);

}  // namespace norvo::probe
