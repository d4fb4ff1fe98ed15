// The `state save` command.
#include "tools/state_command.h"

#include "tools/block_lists.h"
#include "tools/crash_guard.h"
#include "tools/event_list.h"
#include "tools/factory_classes.h"
#include "tools/parameter_changes.h"
#include "tools/parameter_lookup.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/state_file.h"
#include "tools/vst3_module.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

constexpr double kSampleRate = 48000;
constexpr int32 kBlockFrames = 512;

// One block carrying the settings (and any edits the controller made) at offset 0.
void processSettings(PluginInstance& instance, const std::vector<ParameterSetting>& settings) {
  BlockLists lists;
  for (const ParameterSetting& s : settings) lists.inputChanges->add(s.id, 0, s.normalized);
  for (const ParameterEdit& edit : instance.handler().takeEdits())
    lists.inputChanges->add(edit.id, 0, edit.normalized);

  Vst::ProcessData data = lists.processData(Vst::kRealtime, kBlockFrames, nullptr);
  setCrashStep("processing the parameter block");
  const tresult result = instance.processor().process(data);
  if (result != kResultOk)
    throw ProbeError("process refused the parameter block (" + resultName(result) + ")");
}

}  // namespace

void runStateSave(const StateSaveOptions& options, std::ostream& out) {
  for (const std::string& text : options.assignments)
    parseAssignment(text);  // syntax errors before anything is loaded
  const std::vector<char> restored =
      options.statePath.empty() ? std::vector<char>() : readStateFile(options.statePath);

  Vst3Module module(options.bundlePath);
  const std::vector<FactoryClass> classes = readFactoryClasses(*module.factory());
  const FactoryClass& processorClass = findProcessorClass(classes);
  std::vector<char> saved;
  {
    PluginInstance instance(*module.factory(), processorClass.cid);
    if (!options.statePath.empty()) instance.restoreState(restored, options.statePath);
    const std::vector<ParameterSetting> settings =
        resolveParameterSettings(options.assignments, instance, processorClass.name);
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, kBlockFrames, kSampleRate};
    instance.startProcessing(setup);
    processSettings(instance, settings);
    instance.stopProcessing();
    saved = instance.saveState();
  }
  setCrashStep("writing the state file");
  writeStateFile(options.outputPath, saved);
  out.write(saved.data(), static_cast<std::streamsize>(saved.size()));
  out << "\n";
}

}  // namespace norvo::probe
