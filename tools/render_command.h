// `norvo-probe render BUNDLE IN.mid -o OUT.mid [--state FILE]`: plays a MIDI file's notes
// through the plug-in (after restoring a saved component state) block by block, writes the
// notes it sends out to a MIDI file and prints both as a table. Main thread (process runs on this
// thread too, one call at a time).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace norvo::probe {

struct RenderOptions {
  std::string bundlePath;
  std::string inputPath;
  std::string outputPath;
  std::string statePath;                 // a saved component state to restore first
  std::vector<std::string> assignments;  // NAME=PLAIN, applied after the state
  double sampleRate = 48000;
  int blockSize = 512;
  bool offline = false;
};

// Throws ProbeError on any failure; writes the table to `out`.
void runRender(const RenderOptions& options, std::ostream& out);

}  // namespace norvo::probe
