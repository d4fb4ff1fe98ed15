// `norvo-probe ui BUNDLE [--port N]`: the editor page in any browser. Loads the bundle like a
// host (processor and controller connected both ways, processing set up), serves the bundle's
// UI root on 127.0.0.1 and joins the page to the controller through the module's diagnostic
// bridge. A cadence tick runs every 1/30 s, and each tick also processes one empty block so
// the processor receives the edits the page makes. Runs until SIGINT or SIGTERM. Main thread.
#pragma once

#include <ostream>
#include <string>

namespace norvo::probe {

struct UiOptions {
  std::string bundlePath;
  int port = 0;  // 0: any free port
};

// Prints the page's URL to `out` as soon as the server listens. Throws ProbeError when the
// bundle cannot be loaded, has no UI root or no diagnostic bridge, or the port is taken.
void runUi(const UiOptions& options, std::ostream& out);

}  // namespace norvo::probe
