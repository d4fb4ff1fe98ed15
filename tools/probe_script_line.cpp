// The probe's own script lines.
#include "tools/probe_script_line.h"

#include <sstream>

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "tools/number_text.h"
#include "tools/probe_error.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

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

}  // namespace

std::string editsJson(const std::vector<ParameterEdit>& edits) {
  std::string json = "{\"probe\":\"edits\",\"edits\":[";
  for (size_t i = 0; i < edits.size(); ++i) {
    if (i > 0) json += ",";
    json += "{\"id\":" + std::to_string(edits[i].id) +
            ",\"normalized\":" + shortestText(edits[i].normalized) + "}";
  }
  return json + "]}";
}

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

}  // namespace norvo::probe
