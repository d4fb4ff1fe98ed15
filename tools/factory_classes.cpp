// Reading the factory's description and its class list.
#include "tools/factory_classes.h"

#include "tools/crash_guard.h"
#include "tools/probe_error.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstdio>
#include <cstring>

namespace norvo::probe {

using namespace Steinberg;

namespace {

// Fixed-size SDK text fields may lack a terminator; never read past them.
template <size_t N>
std::string text(const char8 (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

FactoryFacts readFactoryFacts(IPluginFactory& factory) {
  setCrashStep("reading the factory information");
  PFactoryInfo info{};
  if (factory.getFactoryInfo(&info) != kResultOk)
    throw ProbeError("the plug-in factory refused getFactoryInfo");
  return {text(info.vendor), text(info.url), text(info.email), info.flags};
}

std::vector<FactoryClass> readFactoryClasses(IPluginFactory& factory) {
  setCrashStep("reading the factory's classes");
  IPtr<IPluginFactory2> factory2;
  {
    void* obj = nullptr;
    if (factory.queryInterface(IPluginFactory2::iid, &obj) == kResultOk && obj)
      factory2 = owned(static_cast<IPluginFactory2*>(obj));
  }
  std::vector<FactoryClass> classes;
  const int32 count = factory.countClasses();
  for (int32 i = 0; i < count; ++i) {
    FactoryClass entry;
    PClassInfo2 info2{};
    if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
      std::memcpy(entry.cid, info2.cid, sizeof(TUID));
      entry.cardinality = info2.cardinality;
      entry.category = text(info2.category);
      entry.name = text(info2.name);
      entry.hasInfo2 = true;
      entry.classFlags = info2.classFlags;
      entry.subCategories = text(info2.subCategories);
      entry.vendor = text(info2.vendor);
      entry.version = text(info2.version);
      entry.sdkVersion = text(info2.sdkVersion);
    } else {
      PClassInfo info{};
      if (factory.getClassInfo(i, &info) != kResultOk)
        throw ProbeError("the plug-in factory refused getClassInfo for class " + std::to_string(i));
      std::memcpy(entry.cid, info.cid, sizeof(TUID));
      entry.cardinality = info.cardinality;
      entry.category = text(info.category);
      entry.name = text(info.name);
    }
    classes.push_back(entry);
  }
  return classes;
}

const FactoryClass& findProcessorClass(const std::vector<FactoryClass>& classes) {
  for (const FactoryClass& entry : classes)
    if (entry.category == kVstAudioEffectClass) return entry;
  throw ProbeError(std::string("the plug-in factory has no class of category \"") +
                   kVstAudioEffectClass + "\"");
}

std::string formatClassId(const TUID cid) {
  std::string out;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(cid[i]));
    out += digits;
  }
  return out;
}

}  // namespace norvo::probe
