// Resolving parameter names given on the command line.
#include "tools/parameter_lookup.h"

#include "tools/crash_guard.h"
#include "tools/probe_error.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace norvo::probe {

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool answersTo(const ParameterFacts& p, const std::string& name, const std::string& pluginName) {
  const std::string wanted = lower(name);
  if (wanted == lower(p.title) || wanted == lower(p.shortTitle)) return true;
  const size_t dot = wanted.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string prefix = wanted.substr(0, dot);
  const std::string leaf = wanted.substr(dot + 1);
  return prefix == lower(pluginName) && (leaf == lower(p.title) || leaf == lower(p.shortTitle));
}

}  // namespace

ParameterAssignment parseAssignment(const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos)
    throw ProbeError("--set expects NAME=VALUE, got \"" + text + "\"");
  ParameterAssignment assignment;
  assignment.name = trim(text.substr(0, equals));
  const std::string value = trim(text.substr(equals + 1));
  char* end = nullptr;
  assignment.plain = value.empty() ? 0 : std::strtod(value.c_str(), &end);
  if (assignment.name.empty() || value.empty() || *end != '\0' || !std::isfinite(assignment.plain))
    throw ProbeError("--set expects NAME=NUMBER, got \"" + text + "\"");
  return assignment;
}

const ParameterFacts& findParameter(const std::vector<ParameterFacts>& parameters,
                                    const std::string& name, const std::string& pluginName) {
  const ParameterFacts* found = nullptr;
  for (const ParameterFacts& p : parameters) {
    if (!answersTo(p, name, pluginName)) continue;
    if (found) throw ProbeError("parameter name \"" + name + "\" is ambiguous");
    found = &p;
  }
  if (!found) throw ProbeError("the plug-in has no parameter \"" + name + "\"");
  return *found;
}

std::vector<ParameterSetting> resolveParameterSettings(const std::vector<std::string>& assignments,
                                                       PluginInstance& instance,
                                                       const std::string& pluginName) {
  std::vector<ParameterSetting> settings;
  if (assignments.empty()) return settings;
  Steinberg::Vst::IEditController* controller = instance.controller();
  if (!controller)
    throw ProbeError("the plug-in has no edit controller, so --set cannot find parameters");
  const std::vector<ParameterFacts> parameters = instance.parameters();
  setCrashStep("converting parameter values");
  for (const std::string& text : assignments) {
    const ParameterAssignment assignment = parseAssignment(text);
    const ParameterFacts& p = findParameter(parameters, assignment.name, pluginName);
    const Steinberg::Vst::ParamValue normalized =
        controller->plainParamToNormalized(p.id, assignment.plain);
    if (!std::isfinite(normalized) || normalized < 0 || normalized > 1)
      throw ProbeError("the controller converted " + assignment.name + "=" +
                       text.substr(text.find('=') + 1) + " to an invalid normalized value");
    controller->setParamNormalized(p.id, normalized);
    settings.push_back({p.id, normalized});
  }
  return settings;
}

}  // namespace norvo::probe
