// `norvo-probe bridge BUNDLE`: the controller without an editor. Loads the bundle like a host
// (processor and controller connected both ways, processing set up), installs a sink through
// the module's diagnostic bridge, and reads standard input line by line:
//   - a JSON text is a page message: it is delivered to the controller;
//   - "!tick [N]" runs N cadence ticks (each also processes one block carrying pending edits);
//   - "!play NOTE [VELOCITY]" plays a note-on and its note-off in one block and prints what the
//     processor sent as {"probe":"notes","events":[{"on":true,"pitch":..,"velocity":..}..]};
//   - "!host-edit ID NORMALIZED" is host automation of a parameter;
//   - "!controller" prints the controller's parameters and MIDI-mapping answers;
//   - "!processor-state" prints {"probe":"processorState","state":<the component state>};
//   - "!controller-state" prints {"probe":"controllerState","state":<the controller's state>};
//   - empty lines and lines starting with "#" are skipped.
// After every line one cadence tick runs; when its block carried edits the controller performed,
// {"probe":"edits","edits":[{"id":..,"normalized":..}..]} follows. Every text the controller
// sends to the page is printed as one line on standard output, as it arrives.
// --state and --controller-state restore saved states first, in a host's order: the component
// state to the processor and the controller, then the controller's own state. Main thread.
#pragma once

#include <istream>
#include <ostream>
#include <string>

namespace norvo::probe {

struct BridgeOptions {
  std::string bundlePath;
  std::string statePath;            // a saved component state to restore first (optional)
  std::string controllerStatePath;  // a saved controller state to restore next (optional)
};

// Throws ProbeError when the bundle cannot be loaded or has no diagnostic bridge, when a state
// file cannot be read or is refused, and on a malformed "!" line.
void runBridge(const BridgeOptions& options, std::istream& in, std::ostream& out);

}  // namespace norvo::probe
