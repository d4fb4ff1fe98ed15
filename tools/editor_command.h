// `norvo-probe editor BUNDLE`: opens the plug-in's editor in a plain X11 window of the probe's
// own, as a host would (the probe's IPlugFrame and run loop), so the editor can be seen and
// used without a DAW. Main thread.
#pragma once

#include <ostream>
#include <string>

namespace norvo::probe {

struct EditorOptions {
  std::string bundlePath;
  // How long the editor stays open, in ms; negative: until the window is closed (or, with a
  // script, until one second after its last line).
  int afterMs = -1;
  // Written as PNG after `afterMs`, just before the editor is removed.
  std::string screenshotPath;
  // Page messages, one JSON text per line, delivered to the controller through its diagnostic
  // bridge once the page has sent its first message, one line per cadence tick; the processor
  // runs one block per line carrying the pending edits. Lines starting with "!" are the bridge
  // command's probe lines ("!play", "!host-edit", ...), "#" lines are skipped.
  std::string scriptPath;
  // Prints how long attaching and the first page message took, on standard error.
  bool timings = false;
};

// Prints every text crossing the page bridge as one line: "page: <text>" for what the page
// sends, "host: <text>" for what is delivered to the page. Throws ProbeError on failure.
void runEditor(const EditorOptions& options, std::ostream& out);

}  // namespace norvo::probe
