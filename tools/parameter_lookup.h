// Resolving `--set NAME=VALUE` against the controller's parameter list. NAME is a parameter's
// title or short title (any letter case), or a dotted path "<plug-in>.<title>" such as
// "chord.mode"; VALUE is a plain value. Main thread.
#pragma once

#include "tools/plugin_instance.h"

#include <string>
#include <vector>

namespace norvo::probe {

struct ParameterAssignment {
  std::string name;
  double plain = 0;
};

// Throws ProbeError unless `text` is NAME=NUMBER.
ParameterAssignment parseAssignment(const std::string& text);

// Throws ProbeError when no parameter, or more than one, answers to `name`.
const ParameterFacts& findParameter(const std::vector<ParameterFacts>& parameters,
                                    const std::string& name, const std::string& pluginName);

// One `--set` converted by the controller: the parameter and its normalized value.
struct ParameterSetting {
  Steinberg::Vst::ParamID id = 0;
  Steinberg::Vst::ParamValue normalized = 0;
};

// Converts every NAME=PLAIN with the controller (which also takes the new value) in order.
// Throws ProbeError when the plug-in has no controller, a name is unknown or the controller
// gives an invalid normalized value.
std::vector<ParameterSetting> resolveParameterSettings(const std::vector<std::string>& assignments,
                                                       PluginInstance& instance,
                                                       const std::string& pluginName);

}  // namespace norvo::probe
