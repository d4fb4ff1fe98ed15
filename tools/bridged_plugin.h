// A loaded plug-in driven the way its editor page drives it, without a web view: page messages
// go to the controller through the module's diagnostic bridge, and every tick processes one
// block carrying the edits made since the last one (the page's, and host automation), then ticks
// the controller's cadence. The `ui` and `bridge` commands share it. Main thread.
#pragma once

#include "tools/block_lists.h"
#include "tools/component_handler.h"
#include "tools/diagnostic_bridge.h"
#include "tools/event_list.h"
#include "tools/parameter_changes.h"
#include "tools/plugin_instance.h"

#include <string>
#include <string_view>
#include <vector>

namespace norvo::probe {

// One note the processor sent during a block.
struct SentNote {
  bool on = false;
  Steinberg::int16 pitch = 0;
  int velocity = 0;  // 0..127
  Steinberg::int32 frame = 0;
};

class BridgedPlugin {
 public:
  static constexpr double kSampleRate = 48000;
  static constexpr Steinberg::int32 kBlockFrames = 512;

  // `instance` is processing (startProcessing) and has a controller.
  BridgedPlugin(PluginInstance& instance, const DiagnosticBridge& bridge);

  // One page message for the controller.
  void deliverPageMessage(std::string_view text);
  // Processes one block with the pending edits, then ticks the controller's cadence.
  void tick();
  // Host automation: the controller hears it now, the processor with the next block.
  void hostEdit(Steinberg::Vst::ParamID id, double normalized);
  // Plays a note-on and its note-off in one block (carrying the pending edits) and answers
  // what the processor sent.
  std::vector<SentNote> play(Steinberg::int16 pitch, int velocity);

  // {"params":[{"id","normalized","plain"}...],"midiMapping":[{"channel","cc","id"}...]}
  std::string controllerJson();
  // The processor's component state; throws ProbeError when it refuses.
  std::string processorState();
  // The edits the controller performed (performEdit) that blocks have carried to the processor
  // since the last call, oldest first.
  std::vector<ParameterEdit> takeForwardedEdits();

  Steinberg::Vst::IEditController* controller() const { return controller_; }

 private:
  void processBlock(const std::vector<Steinberg::Vst::Event>& notes);

  PluginInstance& instance_;
  const DiagnosticBridge& bridge_;
  Steinberg::Vst::IEditController* controller_;
  std::vector<ParameterEdit> hostEdits_;
  std::vector<ParameterEdit> forwardedEdits_;
  BlockLists lists_;
  Steinberg::int64 position_ = 0;
  bool reportedRefusal_ = false;
};

// "id=2&normalized=0.75" read into a parameter edit; false when either is missing or malformed
// or the value is outside 0..1.
bool parseHostEdit(const std::string& query, ParameterEdit& edit);

}  // namespace norvo::probe
