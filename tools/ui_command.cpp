// The `ui` command.
#include "tools/ui_command.h"

#include "tools/crash_guard.h"
#include "tools/diagnostic_bridge.h"
#include "tools/event_list.h"
#include "tools/factory_classes.h"
#include "tools/memory_stream.h"
#include "tools/number_text.h"
#include "tools/parameter_changes.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/ui_server.h"
#include "tools/vst3_module.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace norvo::probe {

using namespace Steinberg;
namespace fs = std::filesystem;

namespace {

constexpr double kSampleRate = 48000;
constexpr int32 kBlockFrames = 512;
constexpr auto kTickInterval = std::chrono::microseconds(1000000 / 30);

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void requestStop(int) { stopRequested = 1; }

// The UI root beside the module: <bundle>/Contents/Resources/ui.
fs::path uiRootOf(const Vst3Module& module) {
  const fs::path contents = fs::path(module.libraryPath()).parent_path().parent_path();
  const fs::path root = contents / "Resources" / "ui";
  std::error_code ec;
  if (!fs::is_directory(root, ec))
    throw ProbeError("the bundle has no editor page: " + root.string() + " is not a folder");
  return root;
}

// "id=2&normalized=0.75" read into a parameter edit; false when either is missing or malformed.
bool parseHostEdit(const std::string& query, ParameterEdit& edit) {
  bool haveId = false;
  bool haveValue = false;
  size_t start = 0;
  while (start < query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    char* rest = nullptr;
    if (key == "id" && !value.empty()) {
      const unsigned long id = std::strtoul(value.c_str(), &rest, 10);
      haveId = *rest == '\0';
      edit.id = static_cast<Vst::ParamID>(id);
    } else if (key == "normalized" && !value.empty()) {
      edit.normalized = std::strtod(value.c_str(), &rest);
      haveValue = *rest == '\0' && edit.normalized >= 0 && edit.normalized <= 1;
    }
    start = end + 1;
  }
  return haveId && haveValue;
}

// The plug-in behind the page: page messages go to the controller through the bridge; every
// tick processes one empty block carrying the edits made since the last one, then ticks the
// controller's cadence.
class PluginSide final : public PreviewEndpoint {
 public:
  PluginSide(PluginInstance& instance, const DiagnosticBridge& bridge)
      : instance_(instance), bridge_(bridge), controller_(instance.controller()) {}

  void deliverPageMessage(std::string_view text) override {
    setCrashStep("handing a page message to the controller");
    bridge_.deliver(controller_, text.data(), text.size());
  }

  void tick() {
    processBlock();
    setCrashStep("ticking the controller's cadence");
    bridge_.tick(controller_);
  }

  std::optional<PreviewReply> pluginRequest(const std::string& method, const std::string& path,
                                            const std::string&) override {
    if (method == "GET" && path == "controller")
      return PreviewReply{200, "application/json", controllerJson()};
    if (method == "GET" && path == "processor-state") return processorState();
    const std::string hostEdit = "host-edit?";
    if (method == "POST" && path.compare(0, hostEdit.size(), hostEdit) == 0) {
      ParameterEdit edit;
      if (!parseHostEdit(path.substr(hostEdit.size()), edit) ||
          edit.id >= static_cast<Vst::ParamID>(controller_->getParameterCount()))
        return PreviewReply{400, "text/plain",
                            "host-edit needs id=<parameter id>&normalized=<0..1>\n"};
      // Host automation: the controller hears it first, the processor in the next block.
      controller_->setParamNormalized(edit.id, edit.normalized);
      hostEdits_.push_back(edit);
      return PreviewReply{204, "", ""};
    }
    return std::nullopt;
  }

 private:
  void processBlock() {
    inputChanges_->clear();
    outputChanges_->clear();
    inputEvents_->clear();
    outputEvents_->clear();
    for (const ParameterEdit& edit : instance_.handler().takeEdits())
      inputChanges_->add(edit.id, 0, edit.normalized);
    for (const ParameterEdit& edit : hostEdits_) inputChanges_->add(edit.id, 0, edit.normalized);
    hostEdits_.clear();

    Vst::ProcessContext context{};
    context.state = Vst::ProcessContext::kTempoValid | Vst::ProcessContext::kTimeSigValid;
    context.sampleRate = kSampleRate;
    context.projectTimeSamples = position_;
    context.tempo = 120;
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;
    Vst::ProcessData data;
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = Vst::kSample32;
    data.numSamples = kBlockFrames;
    data.inputParameterChanges = inputChanges_;
    data.outputParameterChanges = outputChanges_;
    data.inputEvents = inputEvents_;
    data.outputEvents = outputEvents_;
    data.processContext = &context;
    setCrashStep("processing a block");
    const tresult result = instance_.processor().process(data);
    if (result != kResultOk && !reportedRefusal_) {
      std::cerr << "norvo-probe: process refused a block (" << resultName(result) << ")\n";
      reportedRefusal_ = true;
    }
    position_ += kBlockFrames;
    for (int32 i = 0; i < outputChanges_->getParameterCount(); ++i) {
      Vst::IParamValueQueue* queue = outputChanges_->getParameterData(i);
      int32 offset = 0;
      Vst::ParamValue value = 0;
      if (queue && queue->getPointCount() > 0 &&
          queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
        controller_->setParamNormalized(queue->getParameterId(), value);
    }
  }

  std::string controllerJson() {
    std::string json = "{\"params\":[";
    for (int32 i = 0; i < controller_->getParameterCount(); ++i) {
      Vst::ParameterInfo info{};
      if (controller_->getParameterInfo(i, info) != kResultOk) continue;
      const Vst::ParamValue normalized = controller_->getParamNormalized(info.id);
      if (i > 0) json += ",";
      json +=
          "{\"id\":" + std::to_string(info.id) + ",\"normalized\":" + shortestText(normalized) +
          ",\"plain\":" + shortestText(controller_->normalizedParamToPlain(info.id, normalized)) +
          "}";
    }
    json += "],\"midiMapping\":[";
    void* object = nullptr;
    IPtr<Vst::IMidiMapping> mapping;
    if (controller_->queryInterface(Vst::IMidiMapping::iid, &object) == kResultOk && object)
      mapping = owned(static_cast<Vst::IMidiMapping*>(object));
    bool first = true;
    for (int16 channel = 0; mapping && channel < 16; ++channel) {
      for (Vst::CtrlNumber cc = 0; cc < 128; ++cc) {
        Vst::ParamID id = 0;
        if (mapping->getMidiControllerAssignment(0, channel, cc, id) != kResultTrue) continue;
        json += first ? "" : ",";
        json += "{\"channel\":" + std::to_string(channel) + ",\"cc\":" + std::to_string(cc) +
                ",\"id\":" + std::to_string(id) + "}";
        first = false;
      }
    }
    return json + "]}";
  }

  PreviewReply processorState() {
    IPtr<MemoryStream> stream = owned(new MemoryStream);
    if (instance_.component().getState(stream) != kResultOk)
      return {503, "text/plain", "the processor refused getState\n"};
    return {200, "application/json", std::string(stream->bytes().begin(), stream->bytes().end())};
  }

  PluginInstance& instance_;
  const DiagnosticBridge& bridge_;
  Vst::IEditController* controller_;
  std::vector<ParameterEdit> hostEdits_;
  IPtr<EventList> inputEvents_ = owned(new EventList);
  IPtr<EventList> outputEvents_ = owned(new EventList);
  IPtr<ParameterChanges> inputChanges_ = owned(new ParameterChanges);
  IPtr<ParameterChanges> outputChanges_ = owned(new ParameterChanges);
  int64 position_ = 0;
  bool reportedRefusal_ = false;
};

extern "C" void deliverToPage(void* server, const char* text, std::size_t length) {
  static_cast<UiServer*>(server)->broadcast(std::string_view(text, length));
}

// Keeps the controller's sink pointing at the server exactly as long as the server exists.
class SinkInstallation {
 public:
  SinkInstallation(const DiagnosticBridge& bridge, Vst::IEditController* controller,
                   UiServer& server)
      : bridge_(bridge), controller_(controller) {
    if (bridge_.installSink(controller_, deliverToPage, &server) != 1)
      throw ProbeError("the module's diagnostic bridge refused the controller");
  }
  ~SinkInstallation() { bridge_.installSink(controller_, nullptr, nullptr); }
  SinkInstallation(const SinkInstallation&) = delete;
  SinkInstallation& operator=(const SinkInstallation&) = delete;

 private:
  const DiagnosticBridge& bridge_;
  Vst::IEditController* controller_;
};

}  // namespace

void runUi(const UiOptions& options, std::ostream& out) {
  Vst3Module module(options.bundlePath);
  const DiagnosticBridge bridge = findDiagnosticBridge(module);
  const fs::path root = uiRootOf(module);
  const std::vector<FactoryClass> classes = readFactoryClasses(*module.factory());
  PluginInstance instance(*module.factory(), findProcessorClass(classes).cid);
  if (!instance.controller()) throw ProbeError("the plug-in has no edit controller to show");
  instance.startProcessing({Vst::kRealtime, Vst::kSample32, kBlockFrames, kSampleRate});

  PluginSide plugin(instance, bridge);
  UiServer server(root, plugin);
  server.listen(options.port);
  SinkInstallation sink(bridge, instance.controller(), server);

  stopRequested = 0;
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  out << "serving " << root.string() << "\n"
      << "open " << server.url() << "\n"
      << std::flush;

  using Clock = std::chrono::steady_clock;
  Clock::time_point next = Clock::now() + kTickInterval;
  while (!stopRequested) {
    const Clock::time_point now = Clock::now();
    if (now >= next) {
      plugin.tick();
      next += kTickInterval;
      if (next < now) next = now + kTickInterval;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    server.serveFor(static_cast<int>(std::max<long long>(0, wait.count()) + 1));
  }

  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  instance.stopProcessing();
}

}  // namespace norvo::probe
