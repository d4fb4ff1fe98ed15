// `norvo-probe state save BUNDLE FILE [--state IN] [--set NAME=VALUE ...]`: creates the
// plug-in as a host does, restores a saved state when given, sets parameters the way a host
// does (a parameter change in one processed block), then saves the processor's component state
// to FILE and prints it. Main thread (process runs on this thread too).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace norvo::probe {

struct StateSaveOptions {
  std::string bundlePath;
  std::string outputPath;
  std::string statePath;                 // a saved state to restore first (optional)
  std::vector<std::string> assignments;  // NAME=PLAIN, applied after the state
};

// Throws ProbeError on any failure; prints the saved state (and a line feed) to `out`.
void runStateSave(const StateSaveOptions& options, std::ostream& out);

}  // namespace norvo::probe
