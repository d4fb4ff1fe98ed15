// The `bridge` command.
#include "tools/bridge_command.h"

#include "tools/bridged_plugin.h"
#include "tools/diagnostic_bridge.h"
#include "tools/factory_classes.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/probe_script_line.h"
#include "tools/state_file.h"
#include "tools/vst3_module.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

// One page-bound text as one output line: raw line breaks (which a JSON text may only carry
// inside strings, and then as escapes) are written as escapes.
extern "C" void printPageText(void* stream, const char* text, std::size_t length) {
  auto& out = *static_cast<std::ostream*>(stream);
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\n')
      out << "\\n";
    else if (text[i] == '\r')
      out << "\\r";
    else
      out << text[i];
  }
  out << '\n' << std::flush;
}

// Keeps the controller's sink pointing at `out` while the command runs.
class PrintingSink {
 public:
  PrintingSink(const DiagnosticBridge& bridge, Vst::IEditController* controller, std::ostream& out)
      : bridge_(bridge), controller_(controller) {
    if (bridge_.installSink(controller_, printPageText, &out) != 1)
      throw ProbeError("the module's diagnostic bridge refused the controller");
  }
  ~PrintingSink() { bridge_.installSink(controller_, nullptr, nullptr); }
  PrintingSink(const PrintingSink&) = delete;
  PrintingSink& operator=(const PrintingSink&) = delete;

 private:
  const DiagnosticBridge& bridge_;
  Vst::IEditController* controller_;
};

}  // namespace

void runBridge(const BridgeOptions& options, std::istream& in, std::ostream& out) {
  Vst3Module module(options.bundlePath);
  const DiagnosticBridge bridge = findDiagnosticBridge(module);
  const std::vector<FactoryClass> classes = readFactoryClasses(*module.factory());
  const std::vector<char> state =
      options.statePath.empty() ? std::vector<char>() : readStateFile(options.statePath);
  const std::vector<char> controllerState = options.controllerStatePath.empty()
                                                ? std::vector<char>()
                                                : readStateFile(options.controllerStatePath);
  PluginInstance instance(*module.factory(), findProcessorClass(classes).cid);
  if (!instance.controller()) throw ProbeError("the plug-in has no edit controller");
  if (!options.statePath.empty()) instance.restoreState(state, options.statePath);
  if (!options.controllerStatePath.empty())
    instance.restoreControllerState(controllerState, options.controllerStatePath);
  instance.startProcessing(
      {Vst::kRealtime, Vst::kSample32, BridgedPlugin::kBlockFrames, BridgedPlugin::kSampleRate});
  BridgedPlugin plugin(instance, bridge);
  {
    PrintingSink sink(bridge, instance.controller(), out);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      if (line[0] == '!')
        runProbeLine(instance, plugin, line, out);
      else
        plugin.deliverPageMessage(line);
      plugin.tick();
      const std::vector<ParameterEdit> edits = plugin.takeForwardedEdits();
      if (!edits.empty()) out << editsJson(edits) << '\n' << std::flush;
    }
  }
  instance.stopProcessing();
}

}  // namespace norvo::probe
