// NorvoProcessor: the plug-in's VST 3 audio processor. Event-only: one event input bus and one
// event output bus, no audio buses. Every process call turns the host's parameter changes and
// note events into kernel engine events, runs the engine and writes the engine's output notes
// to the host's output event list.
// It saves and restores its state (parameters, CC map, pad overrides, runtime bank) as one JSON
// document and answers the controller's messages.
// Threads: process on the host's audio thread (no allocation, no lock); everything else on the
// host's main thread, never concurrently with process for set-up and activation (state and
// messages may arrive while processing runs).
#pragma once

#include <cstdint>
#include <string>

#include "banks/runtime_bank.h"
#include "ccmap/cc_map.h"
#include "diagnostics/host_facts.h"
#include "diagnostics/transport_fact.h"
#include "engine/kernel_engine.h"
#include "public.sdk/source/vst/vstaudioeffect.h"

namespace Steinberg::Vst {
class IEventList;
class IParameterChanges;
}  // namespace Steinberg::Vst

namespace norvo {

class NorvoProcessor : public Steinberg::Vst::AudioEffect {
 public:
  // Runs the chord kernel.
  NorvoProcessor();
  // Runs another kernel behind the same flat interface (tests); the table outlives the processor.
  explicit NorvoProcessor(const KernelEntryPoints& kernel);
  ~NorvoProcessor() override;

  // The processor class's create function for the factory.
  static Steinberg::FUnknown* createInstance(void* context);

  // ---- Main thread ----
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                   Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;

  // ---- Main thread: state and the controller's messages ----

  // Writes the state document in one write: the engine's parameters and variation, the CC map
  // (once one arrived), the published pad overrides and runtime bank. Undelivered runtime
  // diagnostics are sent to the controller first.
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
  // Reads the whole stream and restores it; kResultFalse (nothing changed) when it does not
  // parse. A runtime bank that fails to load is reported and does not fail the restore.
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  // The controller's messages ("norvo.ccMap", "norvo.padOverrides", "norvo.loadRuntimeBank",
  // "norvo.diag.*"); "norvo.stageResourceSlot" is refused, unknown ids go to the SDK.
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

  // Loads the bank folder at `path` (its default instrument when `instrumentId` is empty) and
  // publishes it to the engine. Failures are recorded and reported to the controller;
  // `error` receives the loader's text or the engine's refusal.
  RuntimeBankOutcome loadRuntimeBankFromPath(const std::string& path, const std::string& source,
                                             const std::string& instrumentId, std::string& error);

  // ---- Audio thread ----
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) noexcept override;

  // ---- Main thread: facts and reports sent to the controller ----

  // Fills `facts` from the stored set-up: rate, block size, process mode, sample size and
  // latency; one entry per audio bus (none for this bus set). Host identity texts untouched.
  void captureHostFacts(HostFacts& facts);
  // Rebuilds the host facts (keeping the host name and version already held), stores them and
  // sends their raw image as "norvo.diag.hostFacts".
  void refreshHostFacts();
  // Moves the engine's audio-thread diagnostics into its ring and sends the runtime health
  // document as "norvo.runtimeDiagnostics"; `failed` marks an engine that could not be set up.
  void sendRuntimeDiagnostics(bool failed);

  const HostFacts& hostFacts() const noexcept { return hostFacts_; }
  const KernelEngine& engine() const noexcept { return engine_; }
  KernelEngine& engine() noexcept { return engine_; }
  // Transport snapshots for the controller's transport poll. This processor never reads the
  // host's process context, so nothing is pushed and polls find the ring empty.
  DiagnosticTransportRing& transportRing() noexcept { return transportRing_; }

  OBJ_METHODS(NorvoProcessor, Steinberg::Vst::AudioEffect)

 private:
  void queueParameterChanges(Steinberg::Vst::IParameterChanges* changes) noexcept;
  void queueNoteEvents(Steinberg::Vst::IEventList* events) noexcept;
  void drainMidiOutputEvents(Steinberg::Vst::IEventList* outputEvents) noexcept;
  bool sendJsonMessage(const char* id, const void* data, Steinberg::uint32 size);
  void answerRuntimeBankRequest(const std::string& requestText);

  KernelEngine engine_;
  HostFacts hostFacts_{};
  DiagnosticTransportRing transportRing_;

  // What a runtime bank was loaded from: the request (or saved state) behind the bank the
  // engine holds. Empty when none.
  struct RuntimeBankRecord {
    std::string source;
    std::string locator;
    std::string sha256;
    std::string instrument;
  };

  // State and message members (main thread).
  CcMap ccMap_;
  bool hasCcMap_ = false;
  RuntimeBankRecord runtimeBank_;
  std::string currentPresetId_;
  // The diagnostic ring's next sequence number when the controller last received a report.
  std::uint32_t deliveredDiagnosticSequence_ = 1;
};

}  // namespace norvo
