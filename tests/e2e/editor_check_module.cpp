// "Norvo Editor Check": a small VST 3 plug-in for checking the editor view inside real hosts.
// Its processor passes nothing (one MIDI input, one MIDI output); its controller returns the
// same editor view as Chord's (WebViewPlugView with the web view in the helper process), serving
// the bundle's own UI root, and writes what the page sends to standard error. The bundle is laid
// out like Chord.vst3: the module and norvo-webview-host in Contents/x86_64-linux, the test page
// in Contents/Resources/ui.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/export.h"
#include "editor/bridge_host.h"
#include "plugin/web_view_plug_view.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/main/pluginfactory.h"
#include "public.sdk/source/vst/vstaudioeffect.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

using namespace Steinberg;

namespace {

const FUID kProcessorId(0x4E6F7276, 0x6F456469, 0x746F7243, 0x6865636B);
const FUID kControllerId(0x4E6F7276, 0x6F456469, 0x746F7243, 0x74726C21);

class CheckProcessor final : public Vst::AudioEffect {
 public:
  CheckProcessor() { setControllerClass(kControllerId); }
  static FUnknown* createInstance(void*) {
    return static_cast<Vst::IAudioProcessor*>(new CheckProcessor());
  }
  tresult PLUGIN_API initialize(FUnknown* context) override {
    const tresult result = AudioEffect::initialize(context);
    if (result != kResultOk) return result;
    addEventInput(STR16("MIDI In"));
    addEventOutput(STR16("MIDI Out"));
    return kResultOk;
  }
  tresult PLUGIN_API process(Vst::ProcessData&) override { return kResultOk; }
};

class CheckController final : public Vst::EditController, public norvo::BridgeHost {
 public:
  static FUnknown* createInstance(void*) {
    return static_cast<Vst::IEditController*>(new CheckController());
  }
  IPlugView* PLUGIN_API createView(FIDString name) override {
    if (name == nullptr || std::strcmp(name, Vst::ViewType::kEditor) != 0) return nullptr;
    return norvo::createWebViewEditor(this, nullptr);
  }

  void handleBridgeMessage(const char* text, std::size_t length) override {
    std::fprintf(stderr, "editor check: page: %.*s\n", static_cast<int>(length), text);
  }
  void setBridgeSink(norvo::BridgeSink sink) override { sink_ = std::move(sink); }
  void onEditorOpened() override { std::fputs("editor check: opened\n", stderr); }
  void onEditorClosed() override { std::fputs("editor check: closed\n", stderr); }
  void onEditorError(const char* reason) override {
    std::fprintf(stderr, "editor check: error: %s\n", reason != nullptr ? reason : "unknown");
  }

 private:
  norvo::BridgeSink sink_;
};

}  // namespace

extern "C" NORVO_EXPORT bool ModuleEntry(void*) { return true; }
extern "C" NORVO_EXPORT bool ModuleExit() { return true; }

extern "C" NORVO_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() {
  if (gPluginFactory != nullptr) {
    gPluginFactory->addRef();
    return gPluginFactory;
  }
  PFactoryInfo factoryInfo("Norvo Test", "https://norvo.invalid", "", PFactoryInfo::kUnicode);
  auto* factory = new CPluginFactory(factoryInfo);
  PClassInfo2 processor(kProcessorId.toTUID(), PClassInfo::kManyInstances, kVstAudioEffectClass,
                        "Norvo Editor Check", Vst::kDistributable, Vst::PlugType::kFx, nullptr,
                        "1.0.0", "VST 3.8.1");
  factory->registerClass(&processor, &CheckProcessor::createInstance);
  PClassInfo2 controller(kControllerId.toTUID(), PClassInfo::kManyInstances,
                         kVstComponentControllerClass, "Norvo Editor Check Controller", 0, "",
                         nullptr, "1.0.0", "VST 3.8.1");
  factory->registerClass(&controller, &CheckController::createInstance);
  gPluginFactory = factory;
  return gPluginFactory;
}
