// norvo-probe: a small command-line VST 3 host. `info` lists what a bundle offers; `render`
// plays a MIDI file through it; `state save` saves its component state; `moduleinfo` writes the
// bundle's moduleinfo.json; `soak` plays at random for a while and checks the output; `editor`
// opens its editor in a window of the probe's own and `ui` shows its editor page in a browser;
// `bridge` talks to its controller as the page does, over standard input and output. Main
// thread only.
#include "tools/bridge_command.h"
#include "tools/crash_guard.h"
#include "tools/editor_command.h"
#include "tools/info_command.h"
#include "tools/moduleinfo_command.h"
#include "tools/probe_error.h"
#include "tools/render_command.h"
#include "tools/soak_command.h"
#include "tools/state_command.h"
#include "tools/ui_command.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
  using namespace norvo::probe;

  CLI::App app{"norvo-probe: loads a VST 3 bundle like a host and reports or renders through it"};
  app.require_subcommand(1);

  std::string infoBundle;
  CLI::App* info = app.add_subcommand(
      "info", "List the factory, classes, buses, parameters and the bundle's moduleinfo.json");
  info->add_option("bundle", infoBundle, "The .vst3 bundle")->required();

  std::string moduleInfoBundle;
  std::string moduleInfoOutput;
  CLI::App* moduleInfo = app.add_subcommand(
      "moduleinfo", "Write the moduleinfo.json that describes the bundle's factory and classes");
  moduleInfo->add_option("bundle", moduleInfoBundle, "The .vst3 bundle")->required();
  moduleInfo->add_option("-o,--output", moduleInfoOutput,
                         "File to write (e.g. BUNDLE/Contents/Resources/moduleinfo.json); "
                         "standard output when left out");

  RenderOptions render;
  CLI::App* renderCmd =
      app.add_subcommand("render", "Play a MIDI file's notes through the plug-in");
  renderCmd->add_option("bundle", render.bundlePath, "The .vst3 bundle")->required();
  renderCmd->add_option("input", render.inputPath, "Standard MIDI File to play")->required();
  renderCmd->add_option("-o,--output", render.outputPath, "MIDI file to write the output notes to")
      ->required();
  renderCmd->add_option("--set", render.assignments,
                        "NAME=VALUE: set a parameter to a plain value before the first block "
                        "(NAME is its title or <plug-in>.<title>, e.g. chord.mode=2)");
  renderCmd->add_option("--rate", render.sampleRate, "Sample rate in Hz")->capture_default_str();
  renderCmd->add_option("--block", render.blockSize, "Block size in samples")
      ->capture_default_str();
  renderCmd->add_flag("--offline", render.offline, "Process in offline mode instead of realtime");
  renderCmd->add_option("--state", render.statePath,
                        "A component state saved by `state save` (or a host) to restore first");

  StateSaveOptions stateSave;
  CLI::App* state = app.add_subcommand("state", "Save the plug-in's component state");
  state->require_subcommand(1);
  CLI::App* save =
      state->add_subcommand("save", "Save the processor's state to FILE (and print it)");
  save->add_option("bundle", stateSave.bundlePath, "The .vst3 bundle")->required();
  save->add_option("file", stateSave.outputPath, "File to write the state to")->required();
  save->add_option("--state", stateSave.statePath, "A saved state to restore before saving");
  save->add_option("--set", stateSave.assignments,
                   "NAME=VALUE: set a parameter to a plain value before saving");

  EditorOptions editor;
  CLI::App* editorCmd =
      app.add_subcommand("editor", "Open the plug-in's editor in a window of the probe's own");
  editorCmd->add_option("bundle", editor.bundlePath, "The .vst3 bundle")->required();
  editorCmd->add_option("--after", editor.afterMs,
                        "Close the editor after MS milliseconds (default: when the window closes)");
  editorCmd->add_option("--screenshot", editor.screenshotPath,
                        "Write a PNG of the window to FILE just before closing (needs --after)");
  editorCmd->add_option("--script", editor.scriptPath,
                        "Deliver the page messages in FILE (one JSON text per line) once the "
                        "page is up, one processed block per line; the bridge command's "
                        "!play, !host-edit and other probe lines work too");
  editorCmd->add_flag("--timings", editor.timings, "Print attach and first-message times");

  SoakOptions soak;
  CLI::App* soakCmd = app.add_subcommand(
      "soak", "Play notes and automation at random for a while and check every block");
  soakCmd->add_option("bundle", soak.bundlePath, "The .vst3 bundle")->required();
  soakCmd->add_option("--seconds", soak.seconds, "How long to play")->capture_default_str();
  soakCmd->add_option("--seed", soak.seed, "Seed of the random player")->capture_default_str();
  soakCmd->add_option("--block", soak.blockSize, "Largest block in samples")->capture_default_str();

  BridgeOptions bridge;
  CLI::App* bridgeCmd = app.add_subcommand(
      "bridge",
      "Talk to the plug-in's controller as its editor page does: page messages (JSON lines) on "
      "standard input, every text the controller sends on standard output");
  bridgeCmd->add_option("bundle", bridge.bundlePath, "The .vst3 bundle")->required();
  bridgeCmd->add_option("--state", bridge.statePath, "A saved component state to restore first");
  bridgeCmd->add_option("--controller-state", bridge.controllerStatePath,
                        "A saved controller state to restore after the component state");

  UiOptions ui;
  CLI::App* uiCmd = app.add_subcommand(
      "ui",
      "Serve the editor page on 127.0.0.1 for any browser, joined to the plug-in's controller");
  uiCmd->add_option("bundle", ui.bundlePath, "The .vst3 bundle")->required();
  uiCmd->add_option("--port", ui.port, "Port on 127.0.0.1 (0: any free port)")
      ->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "norvo-probe: " << e.what() << " (see --help)\n";
    return 2;
  }

  if (*editorCmd && !editor.screenshotPath.empty() && editor.afterMs < 0) {
    std::cerr << "norvo-probe: --screenshot needs --after (see --help)\n";
    return 2;
  }

  installCrashGuard();
  try {
    if (*editorCmd) {
      // The bridge traffic is printed as it happens.
      runEditor(editor, std::cout);
      return 0;
    }
    // The controller's texts are printed as they arrive.
    if (*bridgeCmd) {
      runBridge(bridge, std::cin, std::cout);
      return 0;
    }
    // The preview prints its address at once and runs until stopped.
    if (*uiCmd) {
      runUi(ui, std::cout);
      return 0;
    }
    // Print only once everything has succeeded, so a failure leaves one clear line.
    std::ostringstream out;
    bool passed = true;
    if (*info)
      runInfo(infoBundle, out);
    else if (*moduleInfo)
      runModuleInfo(moduleInfoBundle, moduleInfoOutput, out);
    else if (*soakCmd)
      passed = runSoak(soak, out);
    else if (*state)
      runStateSave(stateSave, out);
    else
      runRender(render, out);
    std::cout << out.str() << std::flush;
    return passed ? 0 : 1;
  } catch (const ProbeError& e) {
    std::cerr << "norvo-probe: " << e.what() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "norvo-probe: unexpected failure: " << e.what() << "\n";
  }
  return 1;
}
