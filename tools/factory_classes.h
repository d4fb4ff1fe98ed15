// What a plug-in factory says about itself and its classes, read through IPluginFactory and,
// where offered, IPluginFactory2 and IPluginFactory3 (Unicode class infos). Main thread.
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <string>
#include <vector>

namespace norvo::probe {

struct FactoryFacts {
  std::string vendor;
  std::string url;
  std::string email;
  Steinberg::int32 flags = 0;
};

struct FactoryClass {
  Steinberg::TUID cid{};
  Steinberg::int32 cardinality = 0;
  std::string category;
  std::string name;
  bool hasInfo2 = false;  // the fields below are read only through IPluginFactory2 or 3
  Steinberg::uint32 classFlags = 0;
  std::string subCategories;
  std::string vendor;
  std::string version;
  std::string sdkVersion;
};

FactoryFacts readFactoryFacts(Steinberg::IPluginFactory& factory);
std::vector<FactoryClass> readFactoryClasses(Steinberg::IPluginFactory& factory);

// The first class of the audio-module category; throws ProbeError when there is none.
const FactoryClass& findProcessorClass(const std::vector<FactoryClass>& classes);

// A class id as 32 upper-case hex digits, in the byte order of the id.
std::string formatClassId(const Steinberg::TUID cid);

}  // namespace norvo::probe
