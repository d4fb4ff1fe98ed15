// The probe's own script lines, shared by `bridge` and `editor --script`: "!tick [N]",
// "!play NOTE [VELOCITY]", "!host-edit ID NORMALIZED", "!controller", "!processor-state" and
// "!controller-state" (see bridge_command.h for what each prints). Main thread.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/bridged_plugin.h"
#include "tools/plugin_instance.h"

namespace norvo::probe {

// Runs one line starting with "!". Throws ProbeError on a malformed or unknown line.
void runProbeLine(PluginInstance& instance, BridgedPlugin& plugin, const std::string& line,
                  std::ostream& out);

// {"probe":"edits","edits":[{"id":..,"normalized":..}..]}
std::string editsJson(const std::vector<ParameterEdit>& edits);

}  // namespace norvo::probe
