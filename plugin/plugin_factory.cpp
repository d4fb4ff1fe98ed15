// GetPluginFactory: builds the factory once and hands out the same object on every call.
#include "plugin/plugin_factory.h"

#include "plugin/class_ids.h"
#include "plugin/norvo_controller.h"
#include "plugin/norvo_processor.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "product/product_identity.h"
#include "public.sdk/source/main/pluginfactory.h"

using namespace Steinberg;

namespace {

// The SDK release the class infos name. Written out rather than taken from the SDK headers in
// use, so that every build, whatever SDK copy compiled it, describes the classes the same way.
constexpr const char* kClassSdkVersion = "VST 3.8.1";

CPluginFactory* createFactory() {
  PFactoryInfo factoryInfo(norvo::product::kVendor, norvo::product::kVendorUrl,
                           norvo::product::kVendorEmail, PFactoryInfo::kUnicode);
  auto* factory = new CPluginFactory(factoryInfo);

  const FUID processorId = norvo::processorClassId();
  PClassInfo2 processorInfo(processorId.toTUID(), PClassInfo::kManyInstances, kVstAudioEffectClass,
                            norvo::product::kName, Vst::kDistributable, Vst::PlugType::kFx, nullptr,
                            norvo::product::kVersion, kClassSdkVersion);
  factory->registerClass(&processorInfo, &norvo::NorvoProcessor::createInstance);

  const FUID controllerId = norvo::controllerClassId();
  PClassInfo2 controllerInfo(controllerId.toTUID(), PClassInfo::kManyInstances,
                             kVstComponentControllerClass, norvo::product::kControllerName, 0, "",
                             nullptr, norvo::product::kVersion, kClassSdkVersion);
  factory->registerClass(&controllerInfo, &norvo::NorvoController::createInstance);
  return factory;
}

}  // namespace

extern "C" IPluginFactory* PLUGIN_API GetPluginFactory() {
  // The factory deletes itself when the host releases the last reference and clears
  // gPluginFactory; a later call then builds a fresh one.
  if (gPluginFactory == nullptr) {
    gPluginFactory = createFactory();
  } else {
    gPluginFactory->addRef();
  }
  return gPluginFactory;
}
