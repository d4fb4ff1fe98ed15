// norvo-probe editor: the plug-in's editor in the probe's own X11 window.
#include "tools/editor_command.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

#include <memory>

#include "pluginterfaces/gui/iplugview.h"
#include "tools/bridged_plugin.h"
#include "tools/diagnostic_bridge.h"
#include "tools/editor_host_frame.h"
#include "tools/factory_classes.h"
#include "tools/host_window.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/probe_script_line.h"
#include "tools/vst3_module.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

// The host's own background: anything of this colour in a screenshot is not the editor.
constexpr std::uint32_t kHostBackground = 0x400000;
constexpr std::chrono::milliseconds kScriptLineInterval{33};
constexpr std::chrono::milliseconds kScriptTail{1000};

std::vector<std::string> readScript(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ProbeError("cannot read " + path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// Removes an attached view from its window and frame when it goes out of scope, also when a
// script line fails.
class ViewAttachment {
 public:
  explicit ViewAttachment(IPlugView& view) : view_(view) {}
  ~ViewAttachment() {
    view_.removed();
    view_.setFrame(nullptr);
  }
  ViewAttachment(const ViewAttachment&) = delete;
  ViewAttachment& operator=(const ViewAttachment&) = delete;

 private:
  IPlugView& view_;
};

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

void runEditor(const EditorOptions& options, std::ostream& out) {
  const std::vector<std::string> script =
      options.scriptPath.empty() ? std::vector<std::string>{} : readScript(options.scriptPath);

  Vst3Module module(options.bundlePath);
  const auto classes = readFactoryClasses(*module.factory());
  PluginInstance instance(*module.factory(), findProcessorClass(classes).cid);
  Vst::IEditController* controller = instance.controller();
  if (controller == nullptr) throw ProbeError("the plug-in has no edit controller");

  // A script drives the plug-in as the bridge command does: the processor runs one block per
  // line, carrying the edits the page and the script made, while the page is really attached.
  std::unique_ptr<DiagnosticBridge> bridge;
  std::unique_ptr<BridgedPlugin> plugin;
  if (!script.empty()) {
    bridge = std::make_unique<DiagnosticBridge>(findDiagnosticBridge(module));
    instance.startProcessing(
        {Vst::kRealtime, Vst::kSample32, BridgedPlugin::kBlockFrames, BridgedPlugin::kSampleRate});
    plugin = std::make_unique<BridgedPlugin>(instance, *bridge);
  }

  IPtr<IPlugView> view = owned(controller->createView(Vst::ViewType::kEditor));
  if (!view) throw ProbeError("the plug-in has no editor view");
  if (view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue)
    throw ProbeError("the editor does not support X11EmbedWindowID");
  ViewRect rect;
  if (view->getSize(&rect) != kResultOk || rect.getWidth() <= 0 || rect.getHeight() <= 0)
    rect = ViewRect(0, 0, 640, 420);

  HostWindow window(rect.getWidth(), rect.getHeight(), kHostBackground, "norvo-probe editor");
  bool pageSpoke = false;
  double firstPageMessageMs = -1;
  const auto opened = std::chrono::steady_clock::now();
  IPtr<EditorHostFrame> frame =
      owned(new EditorHostFrame(window, [&](bool toPage, std::string_view text) {
        if (!toPage && !pageSpoke) {
          pageSpoke = true;
          firstPageMessageMs = millisecondsSince(opened);
        }
        out << (toPage ? "host: " : "page: ") << text << '\n' << std::flush;
      }));
  frame->setView(view);
  view->setFrame(frame);
  const tresult attached =
      view->attached(reinterpret_cast<void*>(window.window()), kPlatformTypeX11EmbedWindowID);
  const double attachMs = millisecondsSince(opened);
  if (attached != kResultOk) {
    view->setFrame(nullptr);
    throw ProbeError("the editor refused the window (" + resultName(attached) + ")");
  }
  const ViewAttachment attachment(*view);

  bool open = true;
  if (!script.empty()) {
    open = frame->runFor(std::chrono::seconds(20), [&] { return pageSpoke; });
    if (open && !pageSpoke)
      throw ProbeError("the page sent nothing within 20 s, so the script was not delivered");
    for (const std::string& line : script) {
      if (!open) break;
      if (line[0] == '#') continue;
      if (line[0] == '!')
        runProbeLine(instance, *plugin, line, out);
      else
        plugin->deliverPageMessage(line);
      plugin->tick();
      const std::vector<ParameterEdit> edits = plugin->takeForwardedEdits();
      if (!edits.empty()) out << editsJson(edits) << '\n' << std::flush;
      open = frame->runFor(kScriptLineInterval);
    }
  }
  if (open) {
    if (options.afterMs >= 0)
      open = frame->runFor(std::chrono::milliseconds(options.afterMs));
    else if (!script.empty())
      open = frame->runFor(kScriptTail);
    else
      while (frame->runFor(std::chrono::hours(1))) {
      }
  }
  if (open && !options.screenshotPath.empty()) writePng(window.capture(), options.screenshotPath);
  if (options.timings) {
    std::cerr << "norvo-probe: attached in " << attachMs << " ms; first page message after "
              << firstPageMessageMs << " ms\n";
  }
}

}  // namespace norvo::probe
