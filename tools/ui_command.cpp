// The `ui` command.
#include "tools/ui_command.h"

#include "tools/bridged_plugin.h"
#include "tools/diagnostic_bridge.h"
#include "tools/factory_classes.h"
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

// The page's view of the plug-in: its messages go to the controller; test requests read the
// controller and the processor and make host edits.
class PluginSide final : public PreviewEndpoint {
 public:
  explicit PluginSide(BridgedPlugin& plugin) : plugin_(plugin) {}

  void deliverPageMessage(std::string_view text) override { plugin_.deliverPageMessage(text); }

  std::optional<PreviewReply> pluginRequest(const std::string& method, const std::string& path,
                                            const std::string&) override {
    if (method == "GET" && path == "controller")
      return PreviewReply{200, "application/json", plugin_.controllerJson()};
    if (method == "GET" && path == "processor-state") {
      try {
        return PreviewReply{200, "application/json", plugin_.processorState()};
      } catch (const ProbeError&) {
        return PreviewReply{503, "text/plain", "the processor refused getState\n"};
      }
    }
    const std::string hostEdit = "host-edit?";
    if (method == "POST" && path.compare(0, hostEdit.size(), hostEdit) == 0) {
      ParameterEdit edit;
      if (!parseHostEdit(path.substr(hostEdit.size()), edit) ||
          edit.id >= static_cast<Vst::ParamID>(plugin_.controller()->getParameterCount()))
        return PreviewReply{400, "text/plain",
                            "host-edit needs id=<parameter id>&normalized=<0..1>\n"};
      plugin_.hostEdit(edit.id, edit.normalized);
      return PreviewReply{204, "", ""};
    }
    return std::nullopt;
  }

 private:
  BridgedPlugin& plugin_;
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
  instance.startProcessing(
      {Vst::kRealtime, Vst::kSample32, BridgedPlugin::kBlockFrames, BridgedPlugin::kSampleRate});

  BridgedPlugin plugin(instance, bridge);
  PluginSide side(plugin);
  UiServer server(root, side);
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
