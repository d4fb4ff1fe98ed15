// Cost of Chord's IAudioProcessor::process on the benchmark stream, measured the way a host
// sees it: the built bundle is loaded with dlopen through the probe's host code, set to mode 5
// (4-note chords) and fed 512-frame blocks of 16 note events through fixed-array event lists,
// as hosts keep them (fixed_event_list.h). Reports nanoseconds per input event (median of
// several runs; pin it with taskset) or, with --callgrind under valgrind, counts instructions
// inside the process calls only.
//
//   chord_process_bench BUNDLE [--blocks N] [--runs R] [--callgrind]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/fixed_event_list.h"
#include "bench/note_stream.h"
#include "bench/stream_run.h"
#include "tools/factory_classes.h"
#include "tools/parameter_changes.h"
#include "tools/parameter_lookup.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/vst3_module.h"

namespace {

using namespace Steinberg;
using namespace norvo::bench;
using norvo::probe::ParameterChanges;

struct Options {
  std::string bundle;
  StreamRunOptions stream;
};

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (readStreamOption(argc, argv, i, options.stream)) continue;
    if (options.bundle.empty() && argv[i][0] != '-')
      options.bundle = argv[i];
    else
      throw norvo::probe::ProbeError(
          "usage: chord_process_bench BUNDLE [--blocks N] [--runs R] [--callgrind]");
  }
  if (options.bundle.empty() || !streamOptionsValid(options.stream))
    throw norvo::probe::ProbeError("a bundle, a positive --blocks and --runs are needed");
  return options;
}

Vst::Event toVstEvent(const StreamEvent& s) {
  Vst::Event e{};
  e.busIndex = 0;
  e.sampleOffset = s.frame;
  e.flags = Vst::Event::kIsLive;
  if (s.on) {
    e.type = Vst::Event::kNoteOnEvent;
    e.noteOn.pitch = static_cast<int16>(s.pitch);
    e.noteOn.velocity = static_cast<float>(s.velocity) / 127.0f;
    e.noteOn.noteId = -1;
  } else {
    e.type = Vst::Event::kNoteOffEvent;
    e.noteOff.pitch = static_cast<int16>(s.pitch);
    e.noteOff.velocity = static_cast<float>(s.velocity) / 127.0f;
    e.noteOff.noteId = -1;
  }
  return e;
}

class ChordHost {
 public:
  explicit ChordHost(const std::string& bundle)
      : module_(bundle),
        instance_(*module_.factory(), norvo::probe::findProcessorClass(
                                          norvo::probe::readFactoryClasses(*module_.factory()))
                                          .cid) {
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, kStreamBlockFrames, kStreamRate};
    instance_.startProcessing(setup);
    // Mode 5 (dominant seventh: four notes from every key), set as a host does: a normalized
    // change in the first block, converted by the controller.
    const auto& mode = norvo::probe::findParameter(instance_.parameters(), "chord.mode", "Chord");
    Vst::IEditController* controller = instance_.controller();
    if (controller == nullptr) throw norvo::probe::ProbeError("the plug-in has no controller");
    changes_->add(mode.id, 0, controller->plainParamToNormalized(mode.id, 5.0));
    data_.processMode = Vst::kRealtime;
    data_.symbolicSampleSize = Vst::kSample32;
    data_.numSamples = kStreamBlockFrames;
    data_.inputParameterChanges = changes_;
    data_.outputParameterChanges = outputChanges_;
    data_.inputEvents = in_;
    data_.outputEvents = out_;
    runBlock(-1);  // the parameter block: no notes
    changes_->clear();
  }
  ~ChordHost() { instance_.stopProcessing(); }

  // Prepares block `block`'s lists (not timed), then runs process; returns its nanoseconds.
  std::int64_t runBlock(std::int64_t block, bool count = false) {
    in_->clear();
    out_->clear();
    if (block >= 0)
      for (const StreamEvent& s : streamBlock(block)) {
        Vst::Event e = toVstEvent(s);
        in_->addEvent(e);
      }
    if (count) startCounting();
    const std::int64_t start = monotonicNanoseconds();
    const tresult result = instance_.processor().process(data_);
    const std::int64_t elapsed = monotonicNanoseconds() - start;
    if (count) stopCounting();
    if (result != kResultOk) throw norvo::probe::ProbeError("process refused a block");
    outputs_ += out_->getEventCount();
    return elapsed;
  }

  long outputs() const { return outputs_; }
  void resetOutputs() { outputs_ = 0; }

 private:
  norvo::probe::Vst3Module module_;
  norvo::probe::PluginInstance instance_;
  IPtr<FixedEventList> in_ = owned(new FixedEventList);
  IPtr<FixedEventList> out_ = owned(new FixedEventList);
  IPtr<ParameterChanges> changes_ = owned(new ParameterChanges);
  IPtr<ParameterChanges> outputChanges_ = owned(new ParameterChanges);
  Vst::ProcessData data_;
  long outputs_ = 0;
};

int run(const Options& options) {
  ChordHost host(options.bundle);
  return runStream(host, "chord", options.stream);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(parseOptions(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "chord_process_bench: %s\n", e.what());
    return 1;
  }
}
