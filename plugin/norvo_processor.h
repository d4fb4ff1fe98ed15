// NorvoProcessor: the plug-in's VST 3 audio processor. Event-only: one event input bus and one
// event output bus, no audio buses. Every process call turns the host's parameter changes and
// note events into kernel engine events, runs the engine and writes the engine's output notes
// to the host's output event list.
// Threads: process on the host's audio thread (no allocation, no lock); everything else on the
// host's main thread, never concurrently with process for set-up and activation.
#pragma once

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
  void sendJsonMessage(const char* id, const void* data, Steinberg::uint32 size);

  KernelEngine engine_;
  HostFacts hostFacts_{};
  DiagnosticTransportRing transportRing_;
};

}  // namespace norvo
