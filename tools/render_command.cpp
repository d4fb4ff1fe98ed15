// The `render` command.
#include "tools/render_command.h"

#include "tools/block_lists.h"
#include "tools/crash_guard.h"
#include "tools/event_list.h"
#include "tools/factory_classes.h"
#include "tools/midi_file.h"
#include "tools/parameter_changes.h"
#include "tools/parameter_lookup.h"
#include "tools/plugin_instance.h"
#include "tools/probe_error.h"
#include "tools/state_file.h"
#include "tools/vst3_module.h"

#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace norvo::probe {

using namespace Steinberg;

namespace {

struct TimedEvent {
  long frame = 0;
  MidiNoteEvent note;
};

void checkOptions(const RenderOptions& options) {
  if (!(options.sampleRate >= 1000 && options.sampleRate <= 1536000))
    throw ProbeError("--rate must be between 1000 and 1536000 Hz");
  if (options.blockSize < 1 || options.blockSize > 65536)
    throw ProbeError("--block must be between 1 and 65536 samples");
  for (const std::string& text : options.assignments)
    parseAssignment(text);  // syntax errors before anything is loaded
}

Vst::Event toVstEvent(const TimedEvent& timed, long blockStart) {
  Vst::Event e{};
  e.busIndex = 0;
  e.sampleOffset = static_cast<int32>(timed.frame - blockStart);
  e.ppqPosition = 0;
  e.flags = Vst::Event::kIsLive;
  if (timed.note.on) {
    e.type = Vst::Event::kNoteOnEvent;
    e.noteOn.channel = static_cast<int16>(timed.note.channel);
    e.noteOn.pitch = static_cast<int16>(timed.note.note);
    e.noteOn.tuning = 0;
    e.noteOn.velocity = static_cast<float>(timed.note.velocity) / 127.0f;
    e.noteOn.length = 0;
    e.noteOn.noteId = -1;
  } else {
    e.type = Vst::Event::kNoteOffEvent;
    e.noteOff.channel = static_cast<int16>(timed.note.channel);
    e.noteOff.pitch = static_cast<int16>(timed.note.note);
    e.noteOff.velocity = static_cast<float>(timed.note.velocity) / 127.0f;
    e.noteOff.noteId = -1;
    e.noteOff.tuning = 0;
  }
  return e;
}

int velocityByte(float velocity) {
  const long byte = std::lround(static_cast<double>(velocity) * 127.0);
  return static_cast<int>(std::clamp(byte, 0L, 127L));
}

// The output notes of one block; other event types are counted and left out.
void collectOutput(const EventList& list, long blockStart, std::vector<TimedEvent>& output,
                   size_t& otherEvents) {
  for (const Vst::Event& e : list.events()) {
    TimedEvent timed;
    timed.frame = blockStart + e.sampleOffset;
    if (e.type == Vst::Event::kNoteOnEvent) {
      timed.note.channel = e.noteOn.channel;
      timed.note.note = e.noteOn.pitch;
      timed.note.velocity = velocityByte(e.noteOn.velocity);
      timed.note.on = true;
    } else if (e.type == Vst::Event::kNoteOffEvent) {
      timed.note.channel = e.noteOff.channel;
      timed.note.note = e.noteOff.pitch;
      timed.note.velocity = velocityByte(e.noteOff.velocity);
      timed.note.on = false;
    } else {
      ++otherEvents;
      continue;
    }
    output.push_back(timed);
  }
}

class Renderer {
 public:
  Renderer(const RenderOptions& options, const MidiNoteFile& file, PluginInstance& instance)
      : options_(options), file_(file), instance_(instance) {}

  std::vector<TimedEvent> run(const std::vector<TimedEvent>& input,
                              const std::vector<ParameterSetting>& settings) {
    const long lastFrame = input.empty() ? 0 : input.back().frame;
    const long blocks = lastFrame / options_.blockSize + 1;
    size_t next = 0;
    for (long b = 0; b < blocks; ++b) {
      const long start = b * options_.blockSize;
      const long end = start + options_.blockSize;
      lists_.inputEvents->clear();
      while (next < input.size() && input[next].frame < end) {
        Vst::Event e = toVstEvent(input[next++], start);
        if (lists_.inputEvents->addEvent(e) != kResultOk)
          throw ProbeError("more than " + std::to_string(lists_.inputEvents->getEventCount()) +
                           " input events in block " + std::to_string(b) +
                           "; use a smaller --block");
      }
      lists_.inputChanges->clear();
      if (b == 0)
        for (const ParameterSetting& s : settings) lists_.inputChanges->add(s.id, 0, s.normalized);
      for (const ParameterEdit& edit : instance_.handler().takeEdits())
        lists_.inputChanges->add(edit.id, 0, edit.normalized);
      processBlock(b, start);
    }
    return std::move(output_);
  }

  size_t otherEvents() const { return otherEvents_; }
  size_t refusedEvents() const { return refusedEvents_; }

 private:
  void processBlock(long index, long start) {
    lists_.outputEvents->clear();
    lists_.outputChanges->clear();
    const double seconds = static_cast<double>(start) / options_.sampleRate;
    Vst::ProcessContext context{};
    context.state = Vst::ProcessContext::kPlaying | Vst::ProcessContext::kTempoValid |
                    Vst::ProcessContext::kProjectTimeMusicValid;
    context.sampleRate = options_.sampleRate;
    context.projectTimeSamples = start;
    context.projectTimeMusic = quartersAt(file_, seconds);
    context.tempo = tempoAt(file_, seconds);
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;

    Vst::ProcessData data = lists_.processData(options_.offline ? Vst::kOffline : Vst::kRealtime,
                                               options_.blockSize, &context);

    setCrashStep("processing a block");
    const tresult result = instance_.processor().process(data);
    if (result != kResultOk)
      throw ProbeError("process refused block " + std::to_string(index) + " (" +
                       resultName(result) + ")");
    collectOutput(*lists_.outputEvents, start, output_, otherEvents_);
    refusedEvents_ += lists_.outputEvents->refused();
    forwardOutputChanges();
  }

  // Parameter changes the processor reports go back to the controller, as a host does.
  void forwardOutputChanges() {
    Vst::IEditController* controller = instance_.controller();
    if (!controller) return;
    for (int32 i = 0; i < lists_.outputChanges->getParameterCount(); ++i) {
      Vst::IParamValueQueue* queue = lists_.outputChanges->getParameterData(i);
      int32 offset = 0;
      Vst::ParamValue value = 0;
      if (queue && queue->getPointCount() > 0 &&
          queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
        controller->setParamNormalized(queue->getParameterId(), value);
    }
  }

  const RenderOptions& options_;
  const MidiNoteFile& file_;
  PluginInstance& instance_;
  BlockLists lists_;
  std::vector<TimedEvent> output_;
  size_t otherEvents_ = 0;
  size_t refusedEvents_ = 0;
};

std::string noteName(int note) {
  static const char* names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return std::string(names[note % 12]) + std::to_string(note / 12 - 1);
}

void printTable(const char* title, const std::vector<MidiNoteEvent>& notes, std::ostream& out) {
  out << title << " (" << notes.size() << " note events)\n";
  out << "      time (s)      tick  ch  note        vel  event\n";
  char line[128];
  for (const MidiNoteEvent& n : notes) {
    const std::string note = std::to_string(n.note) + " " + noteName(n.note);
    std::snprintf(line, sizeof line, "  %12.6f  %8ld  %2d  %-10s  %3d  %s\n", n.seconds, n.ticks,
                  n.channel + 1, note.c_str(), n.velocity, n.on ? "on" : "off");
    out << line;
  }
}

// Note-ons sent at the same moment, one line per chord.
void printChords(const std::vector<MidiNoteEvent>& notes, std::ostream& out) {
  out << "chords\n";
  char head[64];
  for (size_t i = 0; i < notes.size();) {
    if (!notes[i].on) {
      ++i;
      continue;
    }
    std::snprintf(head, sizeof head, "  %12.6f  %8ld ", notes[i].seconds, notes[i].ticks);
    out << head;
    const long tick = notes[i].ticks;
    for (; i < notes.size() && notes[i].ticks == tick; ++i)
      if (notes[i].on) out << " " << noteName(notes[i].note);
    out << "\n";
  }
}

}  // namespace

void runRender(const RenderOptions& options, std::ostream& out) {
  checkOptions(options);
  setCrashStep("reading the MIDI file");
  const MidiNoteFile input = readMidiNoteFile(options.inputPath);
  const std::vector<char> state =
      options.statePath.empty() ? std::vector<char>() : readStateFile(options.statePath);

  std::vector<TimedEvent> timed;
  std::map<long, long> ticksAtFrame;  // exact ticks for output stamped at an input's frame
  for (const MidiNoteEvent& note : input.notes) {
    const long frame = std::lround(note.seconds * options.sampleRate);
    timed.push_back({frame, note});
    ticksAtFrame.emplace(frame, note.ticks);
  }
  std::stable_sort(timed.begin(), timed.end(),
                   [](const TimedEvent& a, const TimedEvent& b) { return a.frame < b.frame; });

  Vst3Module module(options.bundlePath);
  const std::vector<FactoryClass> classes = readFactoryClasses(*module.factory());
  const FactoryClass& processorClass = findProcessorClass(classes);
  std::vector<TimedEvent> rendered;
  size_t otherEvents = 0;
  size_t refusedEvents = 0;
  {
    PluginInstance instance(*module.factory(), processorClass.cid);
    if (!options.statePath.empty()) instance.restoreState(state, options.statePath);
    const std::vector<ParameterSetting> settings =
        resolveParameterSettings(options.assignments, instance, processorClass.name);
    Vst::ProcessSetup setup{options.offline ? Vst::kOffline : Vst::kRealtime, Vst::kSample32,
                            options.blockSize, options.sampleRate};
    instance.startProcessing(setup);
    Renderer renderer(options, input, instance);
    rendered = renderer.run(timed, settings);
    otherEvents = renderer.otherEvents();
    refusedEvents = renderer.refusedEvents();
    instance.stopProcessing();
  }

  MidiNoteFile output;
  output.ticksPerQuarter = input.ticksPerQuarter;
  output.tempos = input.tempos;
  for (TimedEvent& t : rendered) {
    t.note.seconds = static_cast<double>(t.frame) / options.sampleRate;
    const auto exact = ticksAtFrame.find(t.frame);
    t.note.ticks =
        exact != ticksAtFrame.end() ? exact->second : secondsToTicks(input, t.note.seconds);
    output.notes.push_back(t.note);
  }
  setCrashStep("writing the MIDI file");
  writeMidiNoteFile(options.outputPath, output);

  printTable("input", input.notes, out);
  printTable("output", output.notes, out);
  printChords(output.notes, out);
  if (input.ignoredEvents > 0)
    out << "ignored " << input.ignoredEvents << " input events that are not notes\n";
  if (otherEvents > 0) out << "left out " << otherEvents << " output events that are not notes\n";
  if (refusedEvents > 0)
    out << "warning: the host's output list refused " << refusedEvents << " events\n";
}

}  // namespace norvo::probe
