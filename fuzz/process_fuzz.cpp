// NorvoProcessor::process under random hosts: sequences of blocks of 0..4096 frames (and the
// declared maximum) carrying notes and parameter changes at random frames (out of order, out
// of range, NaN values), parameter-flush calls, deactivation and reactivation, and new
// set-ups. Checked on every run: process neither allocates nor locks, each block's output is
// sorted by frame, every output note-on is released by exactly one note-off, and once every
// input note is released (after a last valid set-up) nothing is left sounding. Crashes and
// sanitizer reports end the run too.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz/fuzz_check.h"
#include "plugin/norvo_processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/allocation_counter.h"
#include "support/plugin/vst_test_doubles.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// A host event list large enough for any block's output (the engine sends at most 2048).
class BigEventList : public IEventList {
 public:
  static constexpr int kCapacity = 4096;
  int32 PLUGIN_API getEventCount() override { return count_; }
  tresult PLUGIN_API getEvent(int32 index, Event& e) override {
    if (index < 0 || index >= count_) return kInvalidArgument;
    e = events_[index];
    return kResultOk;
  }
  tresult PLUGIN_API addEvent(Event& e) override {
    if (count_ >= kCapacity) return kResultFalse;
    events_[count_++] = e;
    return kResultOk;
  }
  NORVO_TEST_FUNKNOWN(IEventList)
  void clear() { count_ = 0; }
  const Event& at(int i) const { return events_[i]; }

 private:
  Event events_[kCapacity] = {};
  int count_ = 0;
};

// What the plug-in has sounding, per channel and pitch, from its output alone.
struct SoundingNotes {
  bool on[16][128] = {};

  // Checks one block's output: sorted by frame; a note-on only for a silent note, a note-off
  // only for a sounding one.
  void take(const BigEventList& out) {
    int32 lastOffset = std::numeric_limits<int32>::min();
    for (int i = 0; i < const_cast<BigEventList&>(out).getEventCount(); ++i) {
      const Event& e = out.at(i);
      NORVO_FUZZ_CHECK(e.sampleOffset >= lastOffset);
      lastOffset = e.sampleOffset;
      if (e.type == Event::kNoteOnEvent) {
        NORVO_FUZZ_CHECK(e.noteOn.channel >= 0 && e.noteOn.channel < 16);
        NORVO_FUZZ_CHECK(e.noteOn.pitch >= 0 && e.noteOn.pitch < 128);
        bool& note = on[e.noteOn.channel][e.noteOn.pitch];
        NORVO_FUZZ_CHECK(!note);  // one note-on per note: no doubled voice
        note = true;
      } else if (e.type == Event::kNoteOffEvent) {
        NORVO_FUZZ_CHECK(e.noteOff.channel >= 0 && e.noteOff.channel < 16);
        NORVO_FUZZ_CHECK(e.noteOff.pitch >= 0 && e.noteOff.pitch < 128);
        bool& note = on[e.noteOff.channel][e.noteOff.pitch];
        NORVO_FUZZ_CHECK(note);  // exactly one note-off per note-on
        note = false;
      }
    }
  }
  bool silent() const {
    for (const auto& channel : on)
      for (bool note : channel)
        if (note) return false;
    return true;
  }
};

Event noteEvent(bool noteOn, int pitch, float velocity, int32 offset, int channel) {
  Event e{};
  e.sampleOffset = offset;
  if (noteOn) {
    e.type = Event::kNoteOnEvent;
    e.noteOn.pitch = static_cast<int16>(pitch);
    e.noteOn.velocity = velocity;
    e.noteOn.channel = static_cast<int16>(channel);
    e.noteOn.noteId = -1;
  } else {
    e.type = Event::kNoteOffEvent;
    e.noteOff.pitch = static_cast<int16>(pitch);
    e.noteOff.channel = static_cast<int16>(channel);
    e.noteOff.noteId = -1;
  }
  return e;
}

class ProcessHarness {
 public:
  ProcessHarness() {
    processor_ = owned(new norvo::NorvoProcessor());
    NORVO_FUZZ_CHECK(processor_->initialize(static_cast<IHostApplication*>(&host_)) == kResultOk);
    data_.processMode = kRealtime;
    data_.symbolicSampleSize = kSample32;
    data_.inputParameterChanges = &changes_;
    data_.inputEvents = &in_;
    data_.outputEvents = &out_;
  }
  ~ProcessHarness() {
    processor_->setActive(false);
    processor_->terminate();
  }

  bool setup(double rate, int32 maxBlock) {
    ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
    const bool ok = processor_->setupProcessing(setup) == kResultOk;
    if (ok) maxBlock_ = maxBlock;
    return ok;
  }
  void setActive(bool state) { processor_->setActive(state); }
  int32 maxBlock() const { return maxBlock_; }

  BigEventList& in() { return in_; }
  norvo::test::ParameterChangesDouble& changes() { return changes_; }

  // One process call inside an allocation scope; its output goes to `sounding`.
  void process(int32 frames, SoundingNotes& sounding) {
    out_.clear();
    data_.numSamples = frames;
    norvo::test::AllocationCounts counts;
    {
      norvo::test::AllocationScope scope;
      NORVO_FUZZ_CHECK(processor_->process(data_) == kResultOk);
      counts = scope.counts();
    }
    NORVO_FUZZ_CHECK(counts.allocations == 0);
    NORVO_FUZZ_CHECK(counts.locks == 0);
    sounding.take(out_);
    in_.clear();
    changes_.clear();
  }

 private:
  HostApplication host_;
  IPtr<norvo::NorvoProcessor> processor_;
  BigEventList in_;
  BigEventList out_;
  norvo::test::ParameterChangesDouble changes_;
  ProcessData data_;
  int32 maxBlock_ = 0;
};

float velocityFrom(FuzzedDataProvider& fuzz) {
  switch (fuzz.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return std::numeric_limits<float>::quiet_NaN();
    case 1:
      return -fuzz.ConsumeFloatingPointInRange<float>(0.0f, 2.0f);
    case 2:
      return fuzz.ConsumeFloatingPointInRange<float>(1.0f, 10.0f);
    default:
      return fuzz.ConsumeFloatingPointInRange<float>(0.0f, 1.0f);
  }
}

double parameterValueFrom(FuzzedDataProvider& fuzz) {
  switch (fuzz.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      return std::numeric_limits<double>::quiet_NaN();
    case 1:
      return fuzz.ConsumeFloatingPointInRange<double>(-5.0, 5.0);
    default:
      return fuzz.ConsumeProbability<double>();
  }
}

int32 frameFrom(FuzzedDataProvider& fuzz, int32 frames) {
  if (fuzz.ConsumeIntegralInRange<int>(0, 15) == 0)
    return fuzz.ConsumeIntegralInRange<int32>(-100, frames + 5000);  // outside the block
  return frames > 0 ? fuzz.ConsumeIntegralInRange<int32>(0, frames - 1) : 0;
}

void fillBlock(FuzzedDataProvider& fuzz, ProcessHarness& host, int32 frames) {
  const int notes = fuzz.ConsumeIntegralInRange<int>(0, 64);
  for (int i = 0; i < notes; ++i) {
    const bool on = fuzz.ConsumeBool();
    const int pitch = fuzz.ConsumeIntegralInRange<int>(0, 20) == 0
                          ? fuzz.ConsumeIntegralInRange<int>(-5, 300)
                          : fuzz.ConsumeIntegralInRange<int>(24, 100);
    Event e = noteEvent(on, pitch, on ? velocityFrom(fuzz) : 0.0f, frameFrom(fuzz, frames),
                        fuzz.ConsumeIntegralInRange<int>(0, 17));
    host.in().addEvent(e);
  }
  const int points = fuzz.ConsumeIntegralInRange<int>(0, 6);
  for (int i = 0; i < points; ++i) {
    int32 index = 0;
    const ParamID id = fuzz.ConsumeIntegralInRange<ParamID>(0, 5);
    IParamValueQueue* queue = host.changes().addParameterData(id, index);
    if (queue != nullptr) queue->addPoint(frameFrom(fuzz, frames), parameterValueFrom(fuzz), index);
  }
}

int32 blockSizeFrom(FuzzedDataProvider& fuzz, int32 maxBlock) {
  switch (fuzz.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return 0;  // the host's parameter flush
    case 1:
      return maxBlock;
    case 2:
      return fuzz.ConsumeIntegralInRange<int32>(-3, 4096);
    default:
      return fuzz.ConsumeIntegralInRange<int32>(1, 600);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fuzz(data, size);
  ProcessHarness host;
  SoundingNotes sounding;
  host.setup(48000, fuzz.ConsumeIntegralInRange<int32>(1, 4096));
  host.setActive(true);

  for (int step = 0; step < 64 && fuzz.remaining_bytes() > 0; ++step) {
    switch (fuzz.ConsumeIntegralInRange<int>(0, 15)) {
      case 0:  // deactivate and activate again
        host.setActive(false);
        host.setActive(true);
        break;
      case 1: {  // a new set-up, sometimes one the engine refuses
        const double rates[] = {44100.0, 48000.0, 96000.0, 22050.0, 0.0, 1e7};
        host.setActive(false);
        host.setup(rates[fuzz.ConsumeIntegralInRange<int>(0, 5)],
                   fuzz.ConsumeIntegralInRange<int32>(0, 20000));
        host.setActive(true);
        break;
      }
      default: {
        const int32 frames = blockSizeFrom(fuzz, host.maxBlock());
        fillBlock(fuzz, host, frames);
        host.process(frames, sounding);
      }
    }
  }

  // Every key released, after a set-up that works: nothing may be left sounding.
  host.setActive(false);
  NORVO_FUZZ_CHECK(host.setup(48000, 4096));
  host.setActive(true);
  for (int channel = 0; channel < 16; ++channel)
    for (int pitch = 0; pitch < 128; ++pitch) {
      Event e = noteEvent(false, pitch, 0.0f, 0, channel);
      host.in().addEvent(e);
    }
  host.process(512, sounding);
  NORVO_FUZZ_CHECK(sounding.silent());
  return 0;
}
