// The `soak` command.
#include "tools/soak_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/allocation_counter.h"
#include "tools/crash_guard.h"
#include "tools/event_list.h"
#include "tools/factory_classes.h"
#include "tools/parameter_changes.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/vst3_module.h"

namespace norvo::probe {

using namespace Steinberg;

namespace {

using Clock = std::chrono::steady_clock;

struct SoakTotals {
  long long blocks = 0;
  long long inputEvents = 0;
  long long outputEvents = 0;
  unsigned long long allocations = 0;
  unsigned long long locks = 0;
  double longestProcessMicroseconds = 0;
  std::string broken;  // the first broken rule, empty while all hold
};

// Notes the plug-in has sounding, from its output alone.
class OutputNotes {
 public:
  // Checks one block's output; records the first broken rule in `broken`.
  void take(const EventList& list, std::string& broken) {
    int32 lastOffset = -1;
    for (const Vst::Event& e : list.events()) {
      if (e.sampleOffset < lastOffset && broken.empty())
        broken = "output not sorted by frame (" + std::to_string(e.sampleOffset) + " after " +
                 std::to_string(lastOffset) + ")";
      lastOffset = std::max(lastOffset, e.sampleOffset);
      if (e.type == Vst::Event::kNoteOnEvent) {
        if (bool* note = at(e.noteOn.channel, e.noteOn.pitch)) {
          if (*note && broken.empty()) broken = "second note-on for " + name(e.noteOn.pitch);
          *note = true;
        }
      } else if (e.type == Vst::Event::kNoteOffEvent) {
        if (bool* note = at(e.noteOff.channel, e.noteOff.pitch)) {
          if (!*note && broken.empty())
            broken = "note-off without note-on for " + name(e.noteOff.pitch);
          *note = false;
        }
      }
    }
  }
  int sounding() const {
    int n = 0;
    for (const auto& channel : on_)
      for (bool note : channel) n += note ? 1 : 0;
    return n;
  }

 private:
  bool* at(int channel, int pitch) {
    if (channel < 0 || channel > 15 || pitch < 0 || pitch > 127) return nullptr;
    return &on_[channel][pitch];
  }
  static std::string name(int pitch) { return "note " + std::to_string(pitch); }
  bool on_[16][128] = {};
};

class Soak {
 public:
  Soak(const SoakOptions& options, PluginInstance& instance)
      : options_(options), instance_(instance), random_(options.seed) {
    for (const ParameterFacts& p : instance.parameters()) parameters_.push_back(p.id);
    data_.processMode = Vst::kRealtime;
    data_.symbolicSampleSize = Vst::kSample32;
    data_.inputParameterChanges = changes_;
    data_.outputParameterChanges = outputChanges_;
    data_.inputEvents = in_;
    data_.outputEvents = out_;
  }

  SoakTotals run() {
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(options_.seconds));
    while (Clock::now() < end && totals_.broken.empty()) {
      if (chance(1, 2000)) reactivate();
      playBlock();
    }
    releaseEverything();
    return totals_;
  }

  int stuckNotes() const { return output_.sounding(); }

 private:
  bool chance(int in, int of) { return std::uniform_int_distribution<int>(1, of)(random_) <= in; }
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }

  void reactivate() {
    setCrashStep("deactivating and activating again");
    instance_.stopProcessing();
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, options_.blockSize,
                            options_.sampleRate};
    instance_.startProcessing(setup);
  }

  void playBlock() {
    const int frames = chance(1, 50) ? 0 : between(1, options_.blockSize);
    in_->clear();
    changes_->clear();
    std::vector<Vst::Event> events;
    const int notes = chance(1, 100) ? between(64, 400) : between(0, 12);
    for (int i = 0; i < notes; ++i) events.push_back(randomNote(frames));
    std::stable_sort(events.begin(), events.end(), [](const Vst::Event& a, const Vst::Event& b) {
      return a.sampleOffset < b.sampleOffset;
    });
    for (Vst::Event& e : events) in_->addEvent(e);
    if (!parameters_.empty() && chance(1, 8)) {
      const int points = between(1, 3);
      for (int i = 0; i < points; ++i) {
        const Vst::ParamID id = parameters_[between(0, static_cast<int>(parameters_.size()) - 1)];
        changes_->add(id, frames > 0 ? between(0, frames - 1) : 0,
                      std::uniform_real_distribution<double>(0.0, 1.0)(random_));
      }
    }
    process(frames);
  }

  Vst::Event randomNote(int frames) {
    Vst::Event e{};
    e.sampleOffset = frames > 0 ? between(0, frames - 1) : 0;
    e.flags = Vst::Event::kIsLive;
    const int channel = chance(1, 10) ? between(0, 15) : 0;
    const int pitch = between(30, 100);
    const bool on = !held_[channel][pitch] || chance(1, 10);  // sometimes struck again
    if (on) {
      e.type = Vst::Event::kNoteOnEvent;
      e.noteOn.channel = static_cast<int16>(channel);
      e.noteOn.pitch = static_cast<int16>(pitch);
      e.noteOn.velocity = static_cast<float>(between(1, 127)) / 127.0f;
      e.noteOn.noteId = -1;
      held_[channel][pitch] = true;
    } else {
      e.type = Vst::Event::kNoteOffEvent;
      e.noteOff.channel = static_cast<int16>(channel);
      e.noteOff.pitch = static_cast<int16>(pitch);
      e.noteOff.noteId = -1;
      held_[channel][pitch] = false;
    }
    return e;
  }

  void process(int frames) {
    out_->clear();
    outputChanges_->clear();
    data_.numSamples = frames;
    setCrashStep("processing a block");
    test::AllocationCounts counts;
    const Clock::time_point start = Clock::now();
    tresult result = kResultOk;
    {
      test::AllocationScope scope;
      result = instance_.processor().process(data_);
      counts = scope.counts();
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    totals_.longestProcessMicroseconds = std::max(totals_.longestProcessMicroseconds, us);
    totals_.allocations += counts.allocations;
    totals_.locks += counts.locks;
    if (counts.allocations > 0 && totals_.broken.empty()) totals_.broken = "process allocated";
    if (counts.locks > 0 && totals_.broken.empty()) totals_.broken = "process took a lock";
    if (result != kResultOk && totals_.broken.empty())
      totals_.broken = "process refused a block (" + resultName(result) + ")";
    ++totals_.blocks;
    totals_.inputEvents += in_->getEventCount();
    totals_.outputEvents += out_->getEventCount();
    if (out_->refused() > 0 && totals_.broken.empty())
      totals_.broken = "the host's output list refused events";
    output_.take(*out_, totals_.broken);
  }

  // Every key up, in one block; nothing may sound afterwards.
  void releaseEverything() {
    in_->clear();
    changes_->clear();
    for (int channel = 0; channel < 16; ++channel)
      for (int pitch = 0; pitch < 128; ++pitch) {
        if (!held_[channel][pitch]) continue;
        Vst::Event e{};
        e.type = Vst::Event::kNoteOffEvent;
        e.flags = Vst::Event::kIsLive;
        e.noteOff.channel = static_cast<int16>(channel);
        e.noteOff.pitch = static_cast<int16>(pitch);
        e.noteOff.noteId = -1;
        in_->addEvent(e);
        held_[channel][pitch] = false;
      }
    process(options_.blockSize);
  }

  const SoakOptions& options_;
  PluginInstance& instance_;
  std::mt19937 random_;
  std::vector<Vst::ParamID> parameters_;
  IPtr<EventList> in_ = owned(new EventList);
  IPtr<EventList> out_ = owned(new EventList);
  IPtr<ParameterChanges> changes_ = owned(new ParameterChanges);
  IPtr<ParameterChanges> outputChanges_ = owned(new ParameterChanges);
  Vst::ProcessData data_;
  bool held_[16][128] = {};
  OutputNotes output_;
  SoakTotals totals_;
};

}  // namespace

bool runSoak(const SoakOptions& options, std::ostream& out) {
  if (!(options.seconds > 0 && options.seconds <= 7 * 24 * 3600))
    throw ProbeError("--seconds must be above 0 and at most a week");
  if (options.blockSize < 1 || options.blockSize > 16384)
    throw ProbeError("--block must be between 1 and 16384 samples");
  Vst3Module module(options.bundlePath);
  const std::vector<FactoryClass> classes = readFactoryClasses(*module.factory());
  const FactoryClass& processorClass = findProcessorClass(classes);
  PluginInstance instance(*module.factory(), processorClass.cid);
  Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, options.blockSize, options.sampleRate};
  instance.startProcessing(setup);
  Soak soak(options, instance);
  const SoakTotals totals = soak.run();
  const int stuck = soak.stuckNotes();
  instance.stopProcessing();

  char line[256];
  std::snprintf(line, sizeof line,
                "soak: %lld blocks, %lld input events, %lld output events, %d stuck notes, %llu "
                "allocations, %llu locks, longest process %.1f us (seed %u, %g s)\n",
                totals.blocks, totals.inputEvents, totals.outputEvents, stuck, totals.allocations,
                totals.locks, totals.longestProcessMicroseconds, options.seed, options.seconds);
  out << line;
  if (!totals.broken.empty()) out << "soak failed: " << totals.broken << "\n";
  if (totals.broken.empty() && stuck > 0) out << "soak failed: notes left sounding\n";
  return totals.broken.empty() && stuck == 0;
}

}  // namespace norvo::probe
