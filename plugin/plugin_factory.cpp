// GetPluginFactory: builds the factory once and hands out the same object on every call.
#include "plugin/plugin_factory.h"

#include "plugin/class_ids.h"
#include "plugin/norvo_controller.h"
#include "plugin/norvo_processor.h"
#include "plugin/product_identity.h"
#include "public.sdk/source/main/pluginfactory.h"

using namespace Steinberg;

namespace {

CPluginFactory* createFactory() {
  PFactoryInfo factoryInfo(norvo::product::kVendor, norvo::product::kVendorUrl,
                           norvo::product::kVendorEmail, norvo::product::kFactoryFlags);
  auto* factory = new CPluginFactory(factoryInfo);

  const FUID processorId = norvo::processorClassId();
  PClassInfo2 processorInfo(processorId.toTUID(), norvo::product::kClassCardinality,
                            norvo::product::kProcessorCategory, norvo::product::kProcessorName,
                            static_cast<int32>(norvo::product::kProcessorClassFlags),
                            norvo::product::kProcessorSubCategories, nullptr,
                            norvo::product::kVersion, norvo::product::kVst3SdkVersion);
  factory->registerClass(&processorInfo, &norvo::NorvoProcessor::createInstance);

  const FUID controllerId = norvo::controllerClassId();
  PClassInfo2 controllerInfo(controllerId.toTUID(), norvo::product::kClassCardinality,
                             norvo::product::kControllerCategory, norvo::product::kControllerName,
                             static_cast<int32>(norvo::product::kControllerClassFlags),
                             norvo::product::kControllerSubCategories, nullptr,
                             norvo::product::kVersion, norvo::product::kVst3SdkVersion);
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
