// One plug-in instance with its controller, as a host holds it.
#include "tools/plugin_instance.h"

#include "tools/crash_guard.h"
#include "tools/memory_stream.h"
#include "tools/probe_error.h"
#include "tools/tchar_text.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

template <class I, class From>
IPtr<I> queryAs(From* object) {
  void* obj = nullptr;
  if (object && object->queryInterface(I::iid, &obj) == kResultOk && obj)
    return owned(static_cast<I*>(obj));
  return nullptr;
}

template <class I>
IPtr<I> createAs(IPluginFactory& factory, const TUID cid) {
  void* obj = nullptr;
  if (factory.createInstance(cid, I::iid, &obj) == kResultOk && obj)
    return owned(static_cast<I*>(obj));
  return nullptr;
}

void expectOk(tresult result, const std::string& what) {
  if (result != kResultOk) throw ProbeError(what + " failed (" + resultName(result) + ")");
}

}  // namespace

std::string resultName(tresult result) {
  switch (result) {
    case kResultOk:
      return "kResultOk";
    case kResultFalse:
      return "kResultFalse";
    case kNoInterface:
      return "kNoInterface";
    case kInvalidArgument:
      return "kInvalidArgument";
    case kNotImplemented:
      return "kNotImplemented";
    case kInternalError:
      return "kInternalError";
    case kNotInitialized:
      return "kNotInitialized";
    case kOutOfMemory:
      return "kOutOfMemory";
    default:
      return "result " + std::to_string(result);
  }
}

PluginInstance::PluginInstance(IPluginFactory& factory, const TUID processorClass)
    : host_(owned(new HostApplication)), handler_(owned(new ComponentHandler)) {
  try {
    create(factory, processorClass);
  } catch (...) {
    // Whatever was initialized is terminated again, as a host does when a load fails.
    teardown();
    throw;
  }
}

void PluginInstance::create(IPluginFactory& factory, const TUID processorClass) {
  setCrashStep("creating the processor");
  component_ = createAs<Vst::IComponent>(factory, processorClass);
  if (!component_) throw ProbeError("the plug-in factory could not create the processor class");
  setCrashStep("initializing the processor");
  expectOk(component_->initialize(host_), "initializing the processor");
  componentInitialized_ = true;
  processor_ = queryAs<Vst::IAudioProcessor>(component_.get());
  if (!processor_) throw ProbeError("the processor class does not offer IAudioProcessor");
  createController(factory);
  connect();
  syncControllerState();
}

void PluginInstance::createController(IPluginFactory& factory) {
  TUID controllerClass{};
  setCrashStep("asking for the controller class");
  if (component_->getControllerClassId(controllerClass) == kResultOk) {
    setCrashStep("creating the controller");
    controller_ = createAs<Vst::IEditController>(factory, controllerClass);
    if (!controller_) throw ProbeError("the plug-in factory could not create the controller class");
    separateController_ = true;
    setCrashStep("initializing the controller");
    expectOk(controller_->initialize(host_), "initializing the controller");
    controllerInitialized_ = true;
  } else {
    controller_ = queryAs<Vst::IEditController>(component_.get());
  }
  if (controller_) {
    setCrashStep("setting the component handler");
    controller_->setComponentHandler(handler_);
  }
}

void PluginInstance::connect() {
  if (!separateController_) return;
  setCrashStep("connecting the processor and the controller");
  componentPoint_ = queryAs<Vst::IConnectionPoint>(component_.get());
  controllerPoint_ = queryAs<Vst::IConnectionPoint>(controller_.get());
  if (!componentPoint_ || !controllerPoint_) {
    componentPoint_ = nullptr;
    controllerPoint_ = nullptr;
    return;
  }
  expectOk(componentPoint_->connect(controllerPoint_),
           "connecting the processor to the controller");
  expectOk(controllerPoint_->connect(componentPoint_),
           "connecting the controller to the processor");
}

void PluginInstance::syncControllerState() {
  if (!separateController_) return;
  setCrashStep("passing the processor's state to the controller");
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  if (component_->getState(stream) != kResultOk) return;  // nothing to hand over
  stream->seek(0, IBStream::kIBSeekSet, nullptr);
  controller_->setComponentState(stream);
}

PluginInstance::~PluginInstance() { teardown(); }

void PluginInstance::teardown() {
  stopProcessing();
  setCrashStep("disconnecting the processor and the controller");
  if (componentPoint_ && controllerPoint_) {
    componentPoint_->disconnect(controllerPoint_);
    controllerPoint_->disconnect(componentPoint_);
  }
  componentPoint_ = nullptr;
  controllerPoint_ = nullptr;
  setCrashStep("terminating the controller");
  if (controller_ && separateController_) {
    controller_->setComponentHandler(nullptr);
    if (controllerInitialized_) controller_->terminate();
  }
  controller_ = nullptr;
  processor_ = nullptr;
  setCrashStep("terminating the processor");
  if (component_ && componentInitialized_) component_->terminate();
  componentInitialized_ = false;
  controllerInitialized_ = false;
  setCrashStep("releasing the plug-in");
  component_ = nullptr;
}

std::vector<BusFacts> PluginInstance::buses() const {
  setCrashStep("reading the buses");
  std::vector<BusFacts> out;
  for (Vst::MediaType media : {Vst::kAudio, Vst::kEvent}) {
    for (Vst::BusDirection direction : {Vst::kInput, Vst::kOutput}) {
      const int32 count = component_->getBusCount(media, direction);
      for (int32 i = 0; i < count; ++i) {
        Vst::BusInfo info{};
        if (component_->getBusInfo(media, direction, i, info) != kResultOk)
          throw ProbeError("getBusInfo refused bus " + std::to_string(i));
        out.push_back({info.mediaType, info.direction, i, toUtf8(info.name), info.channelCount,
                       info.busType, info.flags});
      }
    }
  }
  return out;
}

std::vector<ParameterFacts> PluginInstance::parameters() const {
  std::vector<ParameterFacts> out;
  if (!controller_) return out;
  setCrashStep("reading the parameters");
  const int32 count = controller_->getParameterCount();
  for (int32 i = 0; i < count; ++i) {
    Vst::ParameterInfo info{};
    if (controller_->getParameterInfo(i, info) != kResultOk)
      throw ProbeError("getParameterInfo refused parameter index " + std::to_string(i));
    out.push_back({info.id, toUtf8(info.title), toUtf8(info.shortTitle), toUtf8(info.units),
                   info.stepCount, info.defaultNormalizedValue, info.unitId, info.flags});
  }
  return out;
}

std::vector<char> PluginInstance::saveState() {
  setCrashStep("saving the processor's state");
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  const tresult result = component_->getState(stream);
  if (result != kResultOk)
    throw ProbeError("the processor refused to save its state (" + resultName(result) + ")");
  return stream->bytes();
}

void PluginInstance::restoreState(const std::vector<char>& bytes, const std::string& origin) {
  setCrashStep("restoring the processor's state");
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  stream->write(const_cast<char*>(bytes.data()), static_cast<int32>(bytes.size()), nullptr);
  stream->seek(0, IBStream::kIBSeekSet, nullptr);
  const tresult result = component_->setState(stream);
  if (result != kResultOk)
    throw ProbeError("the plug-in refused the state in " + origin + " (" + resultName(result) +
                     ")");
  if (!separateController_) return;
  // The controller reads the same bytes; what it answers does not change the processor.
  setCrashStep("passing the restored state to the controller");
  stream->seek(0, IBStream::kIBSeekSet, nullptr);
  controller_->setComponentState(stream);
}

std::vector<char> PluginInstance::saveControllerState() {
  if (!separateController_) throw ProbeError("the plug-in has no separate edit controller");
  setCrashStep("saving the controller's state");
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  const tresult result = controller_->getState(stream);
  if (result != kResultOk)
    throw ProbeError("the controller refused getState (" + resultName(result) + ")");
  return stream->bytes();
}

void PluginInstance::restoreControllerState(const std::vector<char>& bytes,
                                            const std::string& origin) {
  if (!separateController_) throw ProbeError("the plug-in has no separate edit controller");
  setCrashStep("restoring the controller's state");
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  stream->write(const_cast<char*>(bytes.data()), static_cast<int32>(bytes.size()), nullptr);
  stream->seek(0, IBStream::kIBSeekSet, nullptr);
  const tresult result = controller_->setState(stream);
  if (result != kResultOk)
    throw ProbeError("the controller refused the state in " + origin + " (" + resultName(result) +
                     ")");
}

void PluginInstance::activateEventBuses(bool state) {
  for (Vst::BusDirection direction : {Vst::kInput, Vst::kOutput}) {
    const int32 count = component_->getBusCount(Vst::kEvent, direction);
    for (int32 i = 0; i < count; ++i) component_->activateBus(Vst::kEvent, direction, i, state);
  }
}

void PluginInstance::startProcessing(const Vst::ProcessSetup& setup) {
  setCrashStep("setting up processing");
  if (component_->getBusCount(Vst::kAudio, Vst::kInput) == 0 &&
      component_->getBusCount(Vst::kAudio, Vst::kOutput) == 0)
    expectOk(processor_->setBusArrangements(nullptr, 0, nullptr, 0), "setBusArrangements");
  expectOk(processor_->canProcessSampleSize(setup.symbolicSampleSize),
           "canProcessSampleSize(32-bit)");
  activateEventBuses(true);
  Vst::ProcessSetup copy = setup;
  expectOk(processor_->setupProcessing(copy), "setupProcessing");
  setCrashStep("activating the processor");
  expectOk(component_->setActive(true), "setActive(true)");
  active_ = true;
  setCrashStep("starting processing");
  const tresult started = processor_->setProcessing(true);
  if (started != kResultOk && started != kNotImplemented)
    throw ProbeError("setProcessing(true) failed (" + resultName(started) + ")");
  processing_ = true;
}

void PluginInstance::stopProcessing() {
  if (processing_) {
    setCrashStep("stopping processing");
    processor_->setProcessing(false);
    processing_ = false;
  }
  if (active_) {
    setCrashStep("deactivating the processor");
    component_->setActive(false);
    activateEventBuses(false);
    active_ = false;
  }
}

}  // namespace norvo::probe
