// NorvoController: the plug-in's VST 3 edit controller. It owns the four parameters, the CC map
// that answers the host's MIDI-mapping queries, the controller state, the host facts and preset
// facts, the lifecycle log and the bank control; it adopts the processor's messages and talks to
// the editor page through the bridge (hello, dispatch of page messages, the cadence tick).
// Main thread only: every call comes from the host's main thread, the editor glue or the cadence
// clock, which also runs there; the one exception is getMidiControllerAssignment (below). Nothing
// here runs on the audio thread, and the processor is reached only by messages.
//
// The cadence clock: `initialize` starts a repeating 1/30 s main-thread timer that runs
// tickCadence. On Linux such a timer exists only on a run loop the host offers
// (Steinberg::Linux::IRunLoop): the host context's when it answers one, and the editor view's,
// onto which the clock moves while a view is attached. In a host that offers none to the
// controller the clock stays dormant until a view attaches; nothing is lost, because the tick
// only sends the processor its transport poll and feed drain, which this product's processor
// accepts without effect.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "banks/bank_control.h"
#include "ccmap/cc_map.h"
#include "diagnostics/host_facts.h"
#include "diagnostics/lifecycle_log.h"
#include "diagnostics/preset_state_facts.h"
#include "diagnostics/transport_fact.h"
#include "editor/bridge_host.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace norvo {

class ControllerRunLoop;
struct BridgeMessage;

class NorvoController : public Steinberg::Vst::EditControllerEx1,
                        public Steinberg::Vst::IMidiMapping,
                        public BridgeHost {
 public:
  NorvoController();
  ~NorvoController() override;

  // The controller class's create function for the factory. Main thread.
  static Steinberg::FUnknown* createInstance(void* context);

  // ---- IPluginBase (main thread) ----
  // Host identity, the four parameters, "created", the cadence clock.
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  // "destroyed", then the clock stops.
  Steinberg::tresult PLUGIN_API terminate() override;

  // ---- IEditController (main thread) ----
  // Adopts the processor's state document: parameters (with the echo rule), CC map, pads.
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* stream) override;
  // The controller's own document: {"ccMap":...,"sampler":{"v":1,"pads":...}}, "{}" when empty.
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
  // The SDK's set, then the echo rule. A NaN value is refused (kResultFalse, nothing changes);
  // values outside 0..1 are clamped.
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                   Steinberg::Vst::ParamValue value) override;
  // "editor" gives the web view editor; any other name none.
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
  // Index lookups answer kResultFalse for an index outside the list (some SDK copies index
  // their lists unchecked and would throw out of the plug-in).
  Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                 Steinberg::Vst::ParameterInfo& info) override;
  Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex,
                                            Steinberg::Vst::UnitInfo& info) override;

  // ---- IConnectionPoint: the processor's messages (main thread) ----
  // Recognized ids answer kResultOk, also when their payload is missing or of the wrong size
  // (then ignored); other ids go to the SDK.
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

  // ---- IMidiMapping: answered from the CC map ----
  // Bus 0 and controllers 0..127 only; the first enabled binding of the controller whose
  // channel is "any" or channel + 1 names the parameter. The one call that may come from any
  // thread: some hosts (Ardour) ask while they process MIDI. It reads a table of atomic answers
  // that adoptCcMap rewrites, never the map itself, and neither allocates nor locks.
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(
      Steinberg::int32 busIndex, Steinberg::int16 channel,
      Steinberg::Vst::CtrlNumber midiControllerNumber, Steinberg::Vst::ParamID& id) override;

  // ---- BridgeHost: the editor glue (main thread) ----
  void handleBridgeMessage(const char* text, std::size_t length) override;
  void setBridgeSink(BridgeSink sink) override;
  void onEditorOpened() override;
  void onEditorClosed() override;
  void onEditorError(const char* reason) override;

  // ---- Page-facing operations (main thread) ----
  // The hello message: plug-in, parameters, CC map, last health report, diagnostic blocks.
  void sendHello();
  // "norvo.paramChanged" for parameter `id` (nothing for ids above 3 or without a sink).
  void sendParamChanged(Steinberg::int32 id, double normalized);
  // The cadence tick: the transport poll, then the feed drain.
  void tickCadence();
  void pollTransport();
  void drainProcessorFeeds();
  // The lifecycle replay, when a sink exists and the "lifecycle" feed is subscribed.
  void replayLifecycle();
  // 1/rate for the requested feed rate, 30 Hz when none, within 1..30 Hz.
  double cadenceIntervalSeconds() const;

  // ---- Controller core (main thread) ----
  // Replaces the CC map, asks the host to read the mapping again, tells the processor and
  // records the change; `notifyUi` also sends the page "norvo.ccMapChanged".
  void adoptCcMap(const CcMap& map, bool notifyUi);
  void sendCcMapToProcessor();
  // Appends a lifecycle event (atFrame -1: none) for the caller to add details to.
  DiagnosticLifecycleEvent& recordLifecycle(DiagnosticLifecycleKind kind, std::int64_t atFrame);
  // Sends the newest lifecycle event to the page when it subscribed to the "lifecycle" feed.
  void publishLastLifecycle();
  void emitLifecycle(DiagnosticLifecycleKind kind, std::int64_t atFrame);
  // Hands one JSON text to the page; nothing without a sink.
  void sendToUi(std::string_view json);
  void refreshPresetState();
  bool presetDirty() const;
  void adoptTransportFact(const TransportFact& fact);
  void adoptHostFacts(const HostFacts& facts);
  // Signal-feed payloads are accepted and ignored: this product shows no signal feed.
  void adoptSignalMessage(const void* data, Steinberg::uint32 size);

  // What the page and the diagnostics see (for tests and the bank adapter). Main thread.
  const CcMap& ccMap() const { return ccMap_; }
  bool ccMapAdopted() const { return mapAdopted_; }
  const HostFacts& hostFacts() const { return hostFacts_; }
  const PresetStateFacts& presetStateFacts() const { return presetFacts_; }
  const DiagnosticLifecycleLog& lifecycleLog() const { return lifecycle_; }
  std::uint32_t subscribedFeeds() const { return feedMask_; }
  bool uiReady() const { return uiReady_; }
  BankControl& bankControl() { return bankControl_; }

  OBJ_METHODS(NorvoController, Steinberg::Vst::EditControllerEx1)
  DEFINE_INTERFACES
  DEF_INTERFACE(Steinberg::Vst::IMidiMapping)
  DEF_INTERFACE(Steinberg::Vst::IUnitInfo)
  END_DEFINE_INTERFACES(Steinberg::Vst::EditControllerEx1)
  REFCOUNT_METHODS(Steinberg::Vst::EditControllerEx1)

 private:
  // The bank control's way into the controller: page texts, parameter edits, processor
  // messages, the folder picker and preset selections.
  class BankBridge : public BankControlHost {
   public:
    explicit BankBridge(NorvoController& controller) : controller_(controller) {}
    void sendBankJson(const std::string& json) override;
    void editParam(int index, double plain) override;
    double readParam(int index) override;
    void requestRuntimeBank(const std::string& source, const std::string& folder,
                            const std::string& sha256, const std::string& instrument) override;
    bool applyPadOverrides(const SamplerPadOverrides& overrides) override;
    bool pickFolder(std::string& path, std::string& error) override;
    void notePresetSelected(const std::string& id, const std::string& name) override;

   private:
    NorvoController& controller_;
  };

  // Bridge dispatch steps (controller_bridge.cpp).
  void handleDiagnosticAction(const BridgeMessage& message);
  void handleSetParam(const BridgeMessage& message);
  void handleEditGesture(const BridgeMessage& message, bool begin);
  void sendStateToUi();
  void restoreStateFromUi(const BridgeMessage& message, std::size_t messageBytes);

  // Processor messages (controller_messages.cpp).
  void adoptLifecycleMessage(const void* data, Steinberg::uint32 size);
  void adoptRuntimeReport(const void* data, Steinberg::uint32 size);
  // Sends the processor a message with an optional "json" payload; false when no message could
  // be allocated or the peer refused it.
  bool sendToProcessor(const char* id, const void* json, Steinberg::uint32 size);
  bool sendTransportPoll(bool reset);

  // The echo rule after a successful set: a set that repeats the page's last edit is not sent
  // back to it; anything else is.
  void applyEchoRule(Steinberg::Vst::ParamID id, double normalized);
  void captureHostIdentity(Steinberg::FUnknown* context);
  double currentNormalized(int index) const;
  // Rewrites the MIDI-mapping answers from the current map.
  void publishMidiAnswers();
  void startCadenceClock();
  void stopCadenceClock();
  static void cadenceClockFired(void* controller);

  BankBridge bankBridge_;
  BankControl bankControl_;
  BridgeSink sink_;
  Steinberg::int32 lastUiEditId_ = -1;
  double lastUiEditNormalized_ = -1.0;
  CcMap ccMap_{};
  bool mapAdopted_ = false;
  // The parameter id each (channel, controller) is mapped to, -1 for none: rows 0..15 for the
  // SDK's channels, row 16 for any other channel number (only "any channel" bindings apply).
  static constexpr int kMidiAnswerRows = 17;
  std::atomic<std::int8_t> midiAnswers_[kMidiAnswerRows][128];
  HostFacts hostFacts_{};
  std::string lastRuntimeReport_;
  PresetStateFacts presetFacts_{};
  double factoryPresetSnapshot_[4] = {};
  bool factoryPresetApplied_ = false;  // no factory presets in this product
  std::uint32_t feedMask_ = 0;
  double requestedRateHz_ = 0.0;
  DiagnosticLifecycleLog lifecycle_;
  TransportFact previousTransport_{};
  bool haveTransportFact_ = false;
  double lastTempo_ = 0.0;
  std::int32_t lastNumerator_ = 0;
  std::int32_t lastDenominator_ = 0;
  double lastTransportPushMs_ = -1.0;
  void* cadenceClock_ = nullptr;
  std::unique_ptr<ControllerRunLoop> runLoop_;
  bool uiReady_ = false;
  std::int32_t hostChangeSequence_ = 0;
  bool resetPending_ = false;
};

}  // namespace norvo
