// The `bridge` command.
#include "tools/bridge_command.h"

#include "tools/bridged_plugin.h"
#include "tools/diagnostic_bridge.h"
#include "tools/factory_classes.h"
#include "tools/number_text.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/state_file.h"
#include "tools/vst3_module.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <sstream>

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

std::string editsJson(const std::vector<ParameterEdit>& edits) {
  std::string json = "{\"probe\":\"edits\",\"edits\":[";
  for (size_t i = 0; i < edits.size(); ++i) {
    if (i > 0) json += ",";
    json += "{\"id\":" + std::to_string(edits[i].id) +
            ",\"normalized\":" + shortestText(edits[i].normalized) + "}";
  }
  return json + "]}";
}

std::string notesJson(const std::vector<SentNote>& notes) {
  std::string json = "{\"probe\":\"notes\",\"events\":[";
  for (size_t i = 0; i < notes.size(); ++i) {
    const SentNote& n = notes[i];
    if (i > 0) json += ",";
    json += std::string("{\"on\":") + (n.on ? "true" : "false") +
            ",\"pitch\":" + std::to_string(n.pitch) +
            ",\"velocity\":" + std::to_string(n.velocity) +
            ",\"frame\":" + std::to_string(n.frame) + "}";
  }
  return json + "]}";
}

// Runs one "!" line.
void runProbeLine(PluginInstance& instance, BridgedPlugin& plugin, const std::string& line,
                  std::ostream& out) {
  std::istringstream words(line.substr(1));
  std::string verb;
  words >> verb;
  if (verb == "tick") {
    int count = 1;
    if (!(words >> count)) count = 1;
    if (count < 0 || count > 100000) throw ProbeError("!tick takes 0 to 100000 ticks");
    for (int i = 0; i < count; ++i) plugin.tick();
  } else if (verb == "play") {
    int note = -1;
    int velocity = 100;
    words >> note;
    if (!(words >> velocity)) velocity = 100;
    if (note < 0 || note > 127 || velocity < 1 || velocity > 127)
      throw ProbeError("!play takes a note 0..127 and a velocity 1..127: " + line);
    out << notesJson(plugin.play(static_cast<int16>(note), velocity)) << '\n' << std::flush;
  } else if (verb == "host-edit") {
    unsigned id = 0;
    double normalized = -1;
    if (!(words >> id >> normalized) || !(normalized >= 0 && normalized <= 1))
      throw ProbeError("!host-edit takes a parameter id and a value 0..1: " + line);
    plugin.hostEdit(static_cast<Vst::ParamID>(id), normalized);
  } else if (verb == "controller") {
    out << plugin.controllerJson() << '\n' << std::flush;
  } else if (verb == "processor-state") {
    out << "{\"probe\":\"processorState\",\"state\":" << plugin.processorState() << "}\n"
        << std::flush;
  } else if (verb == "controller-state") {
    const std::vector<char> state = instance.saveControllerState();
    out << "{\"probe\":\"controllerState\",\"state\":" << std::string(state.begin(), state.end())
        << "}\n"
        << std::flush;
  } else {
    throw ProbeError("unknown probe line: " + line);
  }
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
