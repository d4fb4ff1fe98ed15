// `norvo-probe soak BUNDLE --seconds N`: random playing and automation through the plug-in for
// N seconds, checking on every block that process neither allocates nor locks, that the output
// is sorted by frame and that every output note-on is released by exactly one note-off; at the
// end every key is released and nothing may be left sounding. Prints a one-line summary.
// Main thread (process runs on this thread too, one call at a time).
#pragma once

#include <ostream>
#include <string>

namespace norvo::probe {

struct SoakOptions {
  std::string bundlePath;
  double seconds = 10;
  unsigned seed = 1;
  double sampleRate = 48000;
  int blockSize = 512;
};

// Throws ProbeError on a bad option or a plug-in that cannot be loaded; returns false (after
// writing the summary and the first broken rule) when an invariant failed.
bool runSoak(const SoakOptions& options, std::ostream& out);

}  // namespace norvo::probe
