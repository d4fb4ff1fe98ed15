// A minimal host for the end-to-end tests that talk to the built module directly: it loads
// Chord.so with dlopen, creates processors through the factory, connects each to a recording
// peer (standing in for the controller), and offers the calls a host makes: state save and
// restore, messages, set-up and one block of notes. Nothing of the plug-in is linked into the
// test; it sees only the module's C exports. Test thread.
#pragma once

#include <string>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo::e2e {

// The loaded module; unloaded by the destructor.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& path);
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Null when the module could not be loaded (`error` says why).
  Steinberg::IPluginFactory* factory() const { return factory_; }
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  bool entered_ = false;
  Steinberg::IPluginFactory* factory_ = nullptr;
  std::string error_;
};

// One processor as a host holds it, initialized and connected to `peer`.
class HostedProcessor {
 public:
  explicit HostedProcessor(Steinberg::IPluginFactory& factory);
  ~HostedProcessor();
  HostedProcessor(const HostedProcessor&) = delete;
  HostedProcessor& operator=(const HostedProcessor&) = delete;

  bool ready() const { return processor_ != nullptr; }

  // getState's bytes ("<refused>" when it does not answer kResultOk).
  std::string saveState();
  Steinberg::tresult restoreState(const std::string& bytes);
  // A message from the controller; `json` null sends it without the attribute.
  Steinberg::tresult send(const char* id, const std::string* json = nullptr);
  Steinberg::tresult send(const char* id, const std::string& json) { return send(id, &json); }

  // Sets up and activates at 48 kHz with 512-frame blocks.
  bool start();
  // One block with normalized parameter changes at offset 0 and notes; returns the notes out
  // as "pitch/velocityByte" for note-ons and "-pitch" for note-offs.
  struct Change {
    Steinberg::Vst::ParamID id;
    double normalized;
  };
  std::vector<std::string> play(const std::vector<Change>& changes, const std::vector<int>& noteOns,
                                const std::vector<int>& noteOffs);

  // The "json" payloads the processor sent with `id`, in order.
  std::vector<std::string> sent(const std::string& id) const;

 private:
  Steinberg::Vst::HostApplication host_;
  test::MessageRecorder peer_;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> connection_;
  bool active_ = false;
};

}  // namespace norvo::e2e
