// Deliberately broken VST 3 modules for the probe's error tests. BROKEN_KIND picks the fault:
//   1 no GetPluginFactory export      2 ModuleEntry refuses      3 GetPluginFactory returns null
//   4 the factory cannot create the class      5 creating the class crashes
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <csignal>
#include <cstring>

#ifndef BROKEN_KIND
#error "BROKEN_KIND must be defined"
#endif

using namespace Steinberg;

namespace {

class BrokenFactory : public IPluginFactory {
 public:
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory::iid)) {
      *obj = this;
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
    *info = PFactoryInfo{};
    std::strcpy(info->vendor, "Broken");
    return kResultOk;
  }
  int32 PLUGIN_API countClasses() override { return 1; }
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
    if (index != 0) return kInvalidArgument;
    *info = PClassInfo{};
    info->cid[0] = 1;
    info->cardinality = PClassInfo::kManyInstances;
    std::strcpy(info->category, kVstAudioEffectClass);
    std::strcpy(info->name, "Broken");
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(FIDString, FIDString, void** obj) override {
    *obj = nullptr;
    if (BROKEN_KIND == 5) std::raise(SIGSEGV);
    return kResultFalse;
  }
};

BrokenFactory factory;

}  // namespace

extern "C" {

__attribute__((visibility("default"))) bool ModuleEntry(void*) { return BROKEN_KIND != 2; }

__attribute__((visibility("default"))) bool ModuleExit() { return true; }

#if BROKEN_KIND != 1
__attribute__((visibility("default"))) IPluginFactory* GetPluginFactory() {
  return BROKEN_KIND == 3 ? nullptr : &factory;
}
#endif
}
