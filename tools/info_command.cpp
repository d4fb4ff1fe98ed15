// The `info` command.
#include "tools/info_command.h"

#include "tools/factory_classes.h"
#include "tools/moduleinfo_command.h"
#include "tools/number_text.h"
#include "tools/plugin_instance.h"
#include "tools/vst3_module.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

void printFactory(const FactoryFacts& facts, std::ostream& out) {
  out << "factory\n"
      << "  vendor: " << quoted(facts.vendor) << "\n"
      << "  url: " << quoted(facts.url) << "\n"
      << "  email: " << quoted(facts.email) << "\n"
      << "  flags: " << facts.flags << "\n";
}

void printClass(size_t index, const FactoryClass& entry, std::ostream& out) {
  out << "class " << index << "\n"
      << "  cid: " << formatClassId(entry.cid) << "\n"
      << "  cardinality: " << entry.cardinality << "\n"
      << "  category: " << quoted(entry.category) << "\n"
      << "  name: " << quoted(entry.name) << "\n";
  if (!entry.hasInfo2) return;
  out << "  class flags: " << entry.classFlags << "\n"
      << "  sub-categories: " << quoted(entry.subCategories) << "\n"
      << "  vendor: " << quoted(entry.vendor) << "\n"
      << "  version: " << quoted(entry.version) << "\n"
      << "  sdk version: " << quoted(entry.sdkVersion) << "\n";
}

const char* busTypeName(Vst::BusType type) {
  return type == Vst::kMain ? "main" : type == Vst::kAux ? "aux" : "unknown";
}

void printBuses(const std::vector<BusFacts>& buses, std::ostream& out) {
  out << "buses " << buses.size() << "\n";
  for (const BusFacts& bus : buses) {
    out << "  " << (bus.mediaType == Vst::kAudio ? "audio" : "event") << " "
        << (bus.direction == Vst::kInput ? "input" : "output") << " " << bus.index << ": "
        << quoted(bus.name) << ", channels " << bus.channelCount << ", " << busTypeName(bus.busType)
        << ", flags " << bus.flags << "\n";
  }
}

void printParameters(const std::vector<ParameterFacts>& parameters, std::ostream& out) {
  out << "parameters " << parameters.size() << "\n";
  for (const ParameterFacts& p : parameters) {
    out << "  id " << p.id << ": " << quoted(p.title) << ", short " << quoted(p.shortTitle)
        << ", units " << quoted(p.units) << ", default " << shortestText(p.defaultNormalized)
        << ", steps " << p.stepCount << ", unit " << p.unitId << ", flags " << p.flags << "\n";
  }
}

// The bundle's moduleinfo.json as it is, so the listing shows what hosts read without loading.
void printModuleInfo(const std::optional<std::string>& text, std::ostream& out) {
  if (!text) {
    out << "no moduleinfo.json\n";
    return;
  }
  out << "moduleinfo.json\n" << *text;
  if (!text->empty() && text->back() != '\n') out << "\n";
}

}  // namespace

void runInfo(const std::string& bundlePath, std::ostream& out) {
  Vst3Module module(bundlePath);
  IPluginFactory& factory = *module.factory();
  printFactory(readFactoryFacts(factory), out);
  const std::vector<FactoryClass> classes = readFactoryClasses(factory);
  out << "classes " << classes.size() << "\n";
  for (size_t i = 0; i < classes.size(); ++i) printClass(i, classes[i], out);

  PluginInstance instance(factory, findProcessorClass(classes).cid);
  printBuses(instance.buses(), out);
  if (!instance.controller())
    out << "no edit controller\n";
  else
    printParameters(instance.parameters(), out);
  printModuleInfo(readModuleInfoFile(bundlePath), out);
}

}  // namespace norvo::probe
