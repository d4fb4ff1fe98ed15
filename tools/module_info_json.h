// The VST 3 moduleinfo.json document: what a host reads from a bundle's Contents/Resources to
// list its classes without loading the module. Any thread.
#pragma once

#include "tools/factory_classes.h"

#include <string>
#include <vector>

namespace norvo::probe {

struct ModuleInfoFacts {
  std::string name;     // the bundle's name without ".vst3"
  std::string version;  // the module's version
  FactoryFacts factory;
  std::vector<FactoryClass> classes;
};

// The document, in the documented key spelling and order, as plain JSON (which every JSON5
// reader accepts), indented by two spaces and ending with a line feed. A factory that declares
// its classes discardable gets an empty class list: its classes may change while it is loaded,
// so no file may promise them.
std::string writeModuleInfoJson(const ModuleInfoFacts& facts);

// A class's "|"-separated sub-categories as a list ("Fx|Delay" gives "Fx", "Delay"; "" none;
// "Fx|" only "Fx").
std::vector<std::string> splitSubCategories(const std::string& subCategories);

// The version a module states: that of its first audio-module class, else of its first class
// that has one, else "".
std::string moduleVersion(const std::vector<FactoryClass>& classes);

}  // namespace norvo::probe
