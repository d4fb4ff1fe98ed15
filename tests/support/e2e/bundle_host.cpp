// The end-to-end tests' direct host of the built module.
#include "support/e2e/bundle_host.h"

#include <dlfcn.h>

#include <cmath>

#include "pluginterfaces/vst/ivstmessage.h"

namespace norvo::e2e {

using namespace Steinberg;
using namespace Steinberg::Vst;

LoadedModule::LoadedModule(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    error_ = dlerror();
    return;
  }
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle_, "ModuleEntry"));
  auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle_, "GetPluginFactory"));
  if (entry == nullptr || getFactory == nullptr || !entry(handle_)) {
    error_ = "the module's entry points refused";
    return;
  }
  entered_ = true;
  factory_ = getFactory();
}

LoadedModule::~LoadedModule() {
  if (factory_ != nullptr) factory_->release();
  if (entered_) {
    if (auto exit = reinterpret_cast<bool (*)()>(dlsym(handle_, "ModuleExit"))) exit();
  }
  if (handle_ != nullptr) dlclose(handle_);
}

HostedProcessor::HostedProcessor(IPluginFactory& factory) {
  PClassInfo info;
  if (factory.getClassInfo(0, &info) != kResultOk) return;
  IComponent* component = nullptr;
  if (factory.createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component)) !=
      kResultOk)
    return;
  component_ = owned(component);
  if (component_->initialize(static_cast<IHostApplication*>(&host_)) != kResultOk) return;
  FUnknownPtr<IConnectionPoint> connection(component_);
  FUnknownPtr<IAudioProcessor> processor(component_);
  if (!connection || !processor || connection->connect(&peer_) != kResultOk) return;
  connection_ = connection;
  processor_ = processor;
}

HostedProcessor::~HostedProcessor() {
  if (active_) component_->setActive(false);
  if (connection_) connection_->disconnect(&peer_);
  processor_ = nullptr;
  connection_ = nullptr;
  if (component_) component_->terminate();
}

std::string HostedProcessor::saveState() {
  test::StreamDouble stream;
  if (component_->getState(&stream) != kResultOk) return "<refused>";
  return stream.bytes;
}

tresult HostedProcessor::restoreState(const std::string& bytes) {
  test::StreamDouble stream(bytes);
  return component_->setState(&stream);
}

tresult HostedProcessor::send(const char* id, const std::string* json) {
  IPtr<HostMessage> message = owned(new HostMessage);
  message->setMessageID(id);
  if (json != nullptr)
    message->getAttributes()->setBinary("json", json->data(), static_cast<uint32>(json->size()));
  return connection_->notify(message);
}

bool HostedProcessor::start() {
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  active_ =
      processor_->setupProcessing(setup) == kResultOk && component_->setActive(true) == kResultOk;
  return active_;
}

std::vector<std::string> HostedProcessor::play(const std::vector<Change>& changes,
                                               const std::vector<int>& noteOns,
                                               const std::vector<int>& noteOffs) {
  test::ParameterChangesDouble in;
  test::EventListDouble events;
  test::EventListDouble out;
  for (const Change& c : changes) in.point(c.id, 0, c.normalized);
  for (int pitch : noteOns) events.addNoteOn(pitch, 100.0f / 127.0f, 0);
  for (int pitch : noteOffs) events.addNoteOff(pitch, 1);
  ProcessData data;
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 512;
  data.inputParameterChanges = &in;
  data.inputEvents = &events;
  data.outputEvents = &out;
  std::vector<std::string> notes;
  if (processor_->process(data) != kResultOk) return {"<refused>"};
  for (int i = 0; i < out.getEventCount(); ++i) {
    const Event& e = out.at(i);
    if (e.type == Event::kNoteOnEvent)
      notes.push_back(std::to_string(e.noteOn.pitch) + "/" +
                      std::to_string(std::lround(e.noteOn.velocity * 127.0)));
    else if (e.type == Event::kNoteOffEvent)
      notes.push_back("-" + std::to_string(e.noteOff.pitch));
  }
  return notes;
}

std::vector<std::string> HostedProcessor::sent(const std::string& id) const {
  std::vector<std::string> out;
  for (const auto* message : peer_.withId(id)) out.push_back(message->json);
  return out;
}

}  // namespace norvo::e2e
