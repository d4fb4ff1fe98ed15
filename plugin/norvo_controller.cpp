// NorvoController: construction, initialization and termination, parameters with the echo rule,
// the CC map and the host's MIDI-mapping queries, the lifecycle log, the cadence clock.
#include "plugin/norvo_controller.h"

#include <cmath>
#include <utility>

#include "ccmap/cc_map_json.h"
#include "common/fixed_text.h"
#include "diagnostics/lifecycle_json.h"
#include "editor/diagnostic_feed.h"
#include "editor/platform/cadence_clock.h"
#include "plugin/norvo_parameter.h"
#include "plugin/web_view_plug_view.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "product/parameter_table.h"

#if defined(__linux__)
#include "editor/platform/host_run_loop.h"
#include "plugin/host_run_loop_adapter.h"
#endif

namespace norvo {

using namespace Steinberg;

// The host's run loop when the host context offers one: the cadence clock runs on it. Hosts
// that hand a run loop only to editor views leave the clock dormant until a view attaches
// (the glue then runs every clock on the view's run loop).
class ControllerRunLoop {
 public:
#if defined(__linux__)
  explicit ControllerRunLoop(Linux::IRunLoop* runLoop) : adapter_(runLoop) {
    offerHostRunLoop(adapter_.table());
  }
  ~ControllerRunLoop() { withdrawHostRunLoop(adapter_.table()); }

  static std::unique_ptr<ControllerRunLoop> fromHostContext(FUnknown* context) {
    FUnknownPtr<Linux::IRunLoop> runLoop(context);
    if (!runLoop) return nullptr;
    return std::make_unique<ControllerRunLoop>(runLoop);
  }

 private:
  HostRunLoopAdapter adapter_;
#else
  static std::unique_ptr<ControllerRunLoop> fromHostContext(FUnknown*) { return nullptr; }
#endif
};

NorvoController::NorvoController() : bankBridge_(*this), bankControl_(bankBridge_) {
  publishMidiAnswers();
}

NorvoController::~NorvoController() {
  stopCadenceClock();
  sink_ = nullptr;
}

FUnknown* NorvoController::createInstance(void* /*context*/) {
  return static_cast<Vst::IEditController*>(new NorvoController());
}

tresult PLUGIN_API NorvoController::initialize(FUnknown* context) {
  const tresult result = EditController::initialize(context);
  if (result != kResultOk) return result;
  captureHostIdentity(context);
  // One parameter per descriptor, in table order; the container owns them.
  for (const norvo_param_desc& desc : NORVO_PARAMS)
    parameters.addParameter(new NorvoParameter(desc));
  refreshPresetState();
  emitLifecycle(DiagnosticLifecycleKind::created, -1);
  if (!runLoop_) runLoop_ = ControllerRunLoop::fromHostContext(context);
  if (cadenceClock_ == nullptr) startCadenceClock();
  return kResultOk;
}

tresult PLUGIN_API NorvoController::terminate() {
  emitLifecycle(DiagnosticLifecycleKind::destroyed, -1);
  stopCadenceClock();
  runLoop_.reset();
  return EditControllerEx1::terminate();
}

void NorvoController::captureHostIdentity(FUnknown* context) {
  FUnknownPtr<Vst::IHostApplication> app(context);
  if (!app) return;
  Vst::String128 name{};
  if (app->getName(name) != kResultOk) return;
  char ascii[sizeof hostFacts_.hostName] = {};
  UString(name, 128).toAscii(ascii, static_cast<int32>(sizeof ascii));
  setHostName(hostFacts_, ascii);
  hostFacts_.validatorHost = validatorKindForHostName(hostFacts_.hostName);
}

// ---- Parameters ----

tresult PLUGIN_API NorvoController::getParameterInfo(int32 paramIndex, Vst::ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kResultFalse;
  return EditControllerEx1::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API NorvoController::getUnitInfo(int32 unitIndex, Vst::UnitInfo& info) {
  if (unitIndex < 0 || unitIndex >= getUnitCount()) return kResultFalse;
  return EditControllerEx1::getUnitInfo(unitIndex, info);
}

tresult PLUGIN_API NorvoController::setParamNormalized(Vst::ParamID id, Vst::ParamValue value) {
  // A NaN would be stored as it is and reach the page and the saved state: refuse it.
  if (std::isnan(value)) return kResultFalse;
  const double normalized = value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
  const tresult result = EditControllerEx1::setParamNormalized(id, normalized);
  if (result != kResultOk) return result;
  applyEchoRule(id, normalized);
  return result;
}

void NorvoController::applyEchoRule(Vst::ParamID id, double normalized) {
  if (lastUiEditId_ >= 0 && static_cast<Vst::ParamID>(lastUiEditId_) == id &&
      lastUiEditNormalized_ == normalized) {
    lastUiEditId_ = -1;
    return;
  }
  sendParamChanged(static_cast<int32>(id), normalized);
}

double NorvoController::currentNormalized(int index) const {
  return const_cast<NorvoController*>(this)->getParamNormalized(static_cast<Vst::ParamID>(index));
}

// ---- CC map and MIDI mapping ----

void NorvoController::adoptCcMap(const CcMap& map, bool notifyUi) {
  ccMap_ = map;
  mapAdopted_ = true;
  publishMidiAnswers();
  if (componentHandler != nullptr)
    componentHandler->restartComponent(Vst::kMidiCCAssignmentChanged);
  sendCcMapToProcessor();
  recordLifecycle(DiagnosticLifecycleKind::ccMapChanged, -1)
      .addNumber("bindings", static_cast<double>(ccMap_.count));
  publishLastLifecycle();
  if (notifyUi && sink_) {
    std::string json;
    writeCcMapChangedJson(json, ccMap_);
    sendToUi(json);
  }
}

void NorvoController::sendCcMapToProcessor() {
  std::string json;
  writeCcMapJson(json, ccMap_);
  sendToProcessor("norvo.ccMap", json.data(), static_cast<uint32>(json.size()));
}

void NorvoController::publishMidiAnswers() {
  const std::uint32_t count = ccMap_.count < kCcMapCapacity ? ccMap_.count : kCcMapCapacity;
  for (int row = 0; row < kMidiAnswerRows; ++row) {
    for (int number = 0; number < 128; ++number) {
      std::int8_t answer = -1;
      // The first binding that answers wins, as a scan of the map in index order would.
      for (std::uint32_t i = 0; i < count && answer < 0; ++i) {
        const CcBinding& binding = ccMap_.bindings[i];
        if (!binding.enabled || binding.cc != number) continue;
        if (binding.channel != 0 && binding.channel != row + 1) continue;
        if (binding.param < 0 || binding.param > 3) continue;
        answer = static_cast<std::int8_t>(binding.param);
      }
      midiAnswers_[row][number].store(answer, std::memory_order_relaxed);
    }
  }
}

tresult PLUGIN_API NorvoController::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                                Vst::CtrlNumber number,
                                                                Vst::ParamID& id) {
  if (busIndex != 0 || number < 0 || number > 127) return kResultFalse;
  const int row = channel >= 0 && channel < 16 ? channel : kMidiAnswerRows - 1;
  const std::int8_t answer = midiAnswers_[row][number].load(std::memory_order_relaxed);
  if (answer < 0) return kResultFalse;
  id = static_cast<Vst::ParamID>(answer);
  return kResultTrue;
}

// ---- Lifecycle and the page ----

DiagnosticLifecycleEvent& NorvoController::recordLifecycle(DiagnosticLifecycleKind kind,
                                                           std::int64_t atFrame) {
  return lifecycle_.record(kind, atFrame);
}

void NorvoController::publishLastLifecycle() {
  if (!sink_ || (feedMask_ & kFeedLifecycle) == 0 || lifecycle_.count() == 0) return;
  std::string json;
  if (writeDiagnosticLifecycleJson(json, &lifecycle_.at(lifecycle_.count() - 1), 1, 0))
    sendToUi(json);
}

void NorvoController::emitLifecycle(DiagnosticLifecycleKind kind, std::int64_t atFrame) {
  recordLifecycle(kind, atFrame);
  publishLastLifecycle();
}

void NorvoController::sendToUi(std::string_view json) {
  if (sink_) sink_(json);
}

void NorvoController::refreshPresetState() {
  presetFacts_.factoryCount = 0;
  presetFacts_.dirty = presetDirty();
  presetFacts_.userPresetsSupported = false;
  presetFacts_.bank = BankFacts{};
  if (compiledBankCount() > 0) describeCompiledBank(0, presetFacts_.bank);
}

bool NorvoController::presetDirty() const {
  if (!factoryPresetApplied_) return false;
  for (int i = 0; i < kParamCount; ++i)
    if (currentNormalized(i) != factoryPresetSnapshot_[i]) return true;
  return false;
}

// ---- Cadence clock ----

void NorvoController::startCadenceClock() {
  cadenceClock_ = norvoStartCadenceClock(&NorvoController::cadenceClockFired, this, 1.0 / 30.0);
}

void NorvoController::stopCadenceClock() {
  if (cadenceClock_ == nullptr) return;
  norvoStopCadenceClock(cadenceClock_);
  cadenceClock_ = nullptr;
}

void NorvoController::cadenceClockFired(void* controller) {
  static_cast<NorvoController*>(controller)->tickCadence();
}

double NorvoController::cadenceIntervalSeconds() const {
  double rate = requestedRateHz_ > 0.0 ? requestedRateHz_ : 30.0;
  if (rate < 1.0) rate = 1.0;
  if (rate > 30.0) rate = 30.0;
  return 1.0 / rate;
}

IPlugView* PLUGIN_API NorvoController::createView(FIDString name) {
  if (name == nullptr || std::string_view(name) != "editor") return nullptr;
  return createWebViewEditor(this, nullptr, [this] { tickCadence(); });
}

}  // namespace norvo
