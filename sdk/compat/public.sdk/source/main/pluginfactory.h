// CPluginFactory: the SDK's class factory (IPluginFactory3), for SDK copies that do not ship it.
// Same name and interface as the SDK's own class. Classes are registered once, in order, when
// the module's factory is first created; the host then lists and instantiates them.
// Threads: the host's main thread (the host serialises factory calls).
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <cstddef>
#include <vector>

namespace Steinberg {

class FUID;

class CPluginFactory : public IPluginFactory3 {
 public:
  using CreateFunc = FUnknown* (*)(void* context);

  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();

  // Registers one class; false when the class id is already registered or an argument is null.
  bool registerClass(const PClassInfo* info, CreateFunc createFunc, void* context = nullptr);
  bool registerClass(const PClassInfo2* info, CreateFunc createFunc, void* context = nullptr);
  bool registerClass(const PClassInfoW* info, CreateFunc createFunc, void* context = nullptr);
  bool isClassRegistered(const FUID& cid);
  void removeAllClasses();

  DECLARE_FUNKNOWN_METHODS

  // IPluginFactory
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
  int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) SMTG_OVERRIDE;
  // IPluginFactory2
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;
  // IPluginFactory3
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
  tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

 protected:
  struct PClassEntry {
    PClassInfo2 info8;
    PClassInfoW info16;
    CreateFunc createFunc = nullptr;
    void* context = nullptr;
    bool isUnicode = false;
  };

  PFactoryInfo factoryInfo;
  std::vector<PClassEntry> classes;

 private:
  bool addEntry(PClassEntry&& entry);
};

// The module's factory once created (null before the first GetPluginFactory and after the last
// release), as in the SDK.
extern IPluginFactory* gPluginFactory;

}  // namespace Steinberg
