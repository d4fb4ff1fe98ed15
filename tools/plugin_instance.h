// One plug-in instance as a host holds it: the processor component, its edit controller
// (a separate class, or the component itself), both initialized with the host context,
// connected through their connection points, the controller fed the processor's state.
// Tears everything down in the reverse order. Main thread.
#pragma once

#include "tools/component_handler.h"
#include "tools/host_application.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <string>
#include <vector>

namespace norvo::probe {

struct BusFacts {
  Steinberg::Vst::MediaType mediaType = 0;
  Steinberg::Vst::BusDirection direction = 0;
  Steinberg::int32 index = 0;
  std::string name;
  Steinberg::int32 channelCount = 0;
  Steinberg::Vst::BusType busType = 0;
  Steinberg::uint32 flags = 0;
};

struct ParameterFacts {
  Steinberg::Vst::ParamID id = 0;
  std::string title;
  std::string shortTitle;
  std::string units;
  Steinberg::int32 stepCount = 0;
  Steinberg::Vst::ParamValue defaultNormalized = 0;
  Steinberg::Vst::UnitID unitId = 0;
  Steinberg::int32 flags = 0;
};

class PluginInstance {
 public:
  // Throws ProbeError when a class cannot be created or initialized.
  PluginInstance(Steinberg::IPluginFactory& factory, const Steinberg::TUID processorClass);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  std::vector<BusFacts> buses() const;
  std::vector<ParameterFacts> parameters() const;

  // Null when the plug-in has no edit controller.
  Steinberg::Vst::IEditController* controller() const { return controller_; }
  Steinberg::Vst::IAudioProcessor& processor() const { return *processor_; }
  Steinberg::Vst::IComponent& component() const { return *component_; }
  ComponentHandler& handler() const { return *handler_; }

  // The processor's component state as the host would store it. Throws ProbeError when
  // getState refuses.
  std::vector<char> saveState();
  // Hands a stored state to the processor (setState) and then to the controller
  // (setComponentState), as a host does when it opens a project. Throws ProbeError naming
  // `origin` when the processor refuses it.
  void restoreState(const std::vector<char>& bytes, const std::string& origin);
  // The edit controller's own state as the host would store it next to the component state,
  // and its restore (setState), which a host runs after restoreState. Both throw ProbeError when
  // the plug-in has no separate controller or refuses.
  std::vector<char> saveControllerState();
  void restoreControllerState(const std::vector<char>& bytes, const std::string& origin);

  // Arranges no audio buses, activates every event bus, sets up processing, activates the
  // component and starts processing. Throws ProbeError on a refusal.
  void startProcessing(const Steinberg::Vst::ProcessSetup& setup);
  // Undoes startProcessing; safe to call when it did not run.
  void stopProcessing();

 private:
  void create(Steinberg::IPluginFactory& factory, const Steinberg::TUID processorClass);
  void teardown();
  void createController(Steinberg::IPluginFactory& factory);
  void connect();
  void syncControllerState();
  void activateEventBuses(bool state);

  Steinberg::IPtr<HostApplication> host_;
  Steinberg::IPtr<ComponentHandler> handler_;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
  Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentPoint_;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> controllerPoint_;
  bool componentInitialized_ = false;
  bool controllerInitialized_ = false;
  bool separateController_ = false;
  bool active_ = false;
  bool processing_ = false;
};

// A VST 3 result code by name ("kResultFalse", ...), for messages.
std::string resultName(Steinberg::tresult result);

}  // namespace norvo::probe
