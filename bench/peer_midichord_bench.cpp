// The peer's cost on the same stream: Debian's x42 "MIDI Chord" LV2 plug-in (midifilter.lv2),
// loaded through lilv and run with the same 512-frame blocks of 16 note events. The peer is
// left at its defaults (C major, prime + 3rd + 5th + octave), so it also sends four notes per
// input note. Reports nanoseconds per input event (median of several runs) or, with
// --callgrind under valgrind, counts instructions inside the plug-in's run calls only.
//
//   peer_midichord_bench [--blocks N] [--runs R] [--callgrind]
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/note_stream.h"
#include "bench/stream_run.h"

namespace {

using namespace norvo::bench;

constexpr const char* kPeerUri = "http://gareus.org/oss/lv2/midifilter#midichord";
constexpr std::size_t kSequenceBytes = 64 * 1024;

StreamRunOptions parseOptions(int argc, char** argv) {
  StreamRunOptions options;
  for (int i = 1; i < argc; ++i) {
    if (!readStreamOption(argc, argv, i, options))
      throw std::runtime_error("usage: peer_midichord_bench [--blocks N] [--runs R] [--callgrind]");
  }
  if (!streamOptionsValid(options))
    throw std::runtime_error("--blocks and --runs must be positive");
  return options;
}

// The URID map the plug-in needs: a plain list, used only while instantiating.
class UridMap {
 public:
  UridMap() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
      auto& uris = static_cast<UridMap*>(handle)->uris_;
      for (std::size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
      uris.emplace_back(uri);
      return static_cast<LV2_URID>(uris.size());
    };
    feature_.URI = LV2_URID__map;
    feature_.data = &map_;
  }
  LV2_URID map(const char* uri) { return map_.map(this, uri); }
  const LV2_Feature* feature() const { return &feature_; }

 private:
  std::vector<std::string> uris_;
  LV2_URID_Map map_{};
  LV2_Feature feature_{};
};

class PeerHost {
 public:
  PeerHost() : in_(kSequenceBytes / 8), out_(kSequenceBytes / 8) {
    world_ = lilv_world_new();
    lilv_world_load_all(world_);
    LilvNode* uri = lilv_new_uri(world_, kPeerUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    if (plugin == nullptr)
      throw std::runtime_error(
          "the x42 MIDI Chord plug-in is not installed (apt-get install "
          "x42-plugins)");
    midiEvent_ = urids_.map(LV2_MIDI__MidiEvent);
    sequence_ = urids_.map(LV2_ATOM__Sequence);
    chunk_ = urids_.map(LV2_ATOM__Chunk);
    const LV2_Feature* features[] = {urids_.feature(), nullptr};
    instance_ = lilv_plugin_instantiate(plugin, kStreamRate, features);
    if (instance_ == nullptr) throw std::runtime_error("the peer refused to instantiate");

    // Control ports at their defaults; the two atom ports get the sequences.
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls_.assign(ports, 0.0f);
    std::vector<float> defaults(ports, NAN);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvNode* atomPort = lilv_new_uri(world_, LV2_ATOM__AtomPort);
    LilvNode* inputPort = lilv_new_uri(world_, LV2_CORE__InputPort);
    for (uint32_t p = 0; p < ports; ++p) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
      if (lilv_port_is_a(plugin, port, atomPort)) {
        const bool input = lilv_port_is_a(plugin, port, inputPort);
        lilv_instance_connect_port(instance_, p, input ? in_.data() : out_.data());
      } else {
        controls_[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        lilv_instance_connect_port(instance_, p, &controls_[p]);
      }
    }
    lilv_node_free(atomPort);
    lilv_node_free(inputPort);
    lilv_instance_activate(instance_);
  }
  ~PeerHost() {
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
    lilv_world_free(world_);
  }

  // Prepares block `block`'s sequences (not timed), then runs the plug-in; returns its ns.
  std::int64_t runBlock(std::int64_t block, bool count = false) {
    writeInput(block);
    auto* out = reinterpret_cast<LV2_Atom_Sequence*>(out_.data());
    out->atom.type = chunk_;
    out->atom.size = kSequenceBytes - sizeof(LV2_Atom);
    if (count) startCounting();
    const std::int64_t start = monotonicNanoseconds();
    lilv_instance_run(instance_, kStreamBlockFrames);
    const std::int64_t elapsed = monotonicNanoseconds() - start;
    if (count) stopCounting();
    LV2_ATOM_SEQUENCE_FOREACH(out, ev) {
      if (ev->body.type == midiEvent_) ++outputs_;
    }
    return elapsed;
  }

  long outputs() const { return outputs_; }
  void resetOutputs() { outputs_ = 0; }

 private:
  void writeInput(std::int64_t block) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(in_.data());
    seq->atom.type = sequence_;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
    for (const StreamEvent& s : streamBlock(block)) {
      struct {
        LV2_Atom_Event event;
        uint8_t midi[8];
      } message{};
      message.event.time.frames = s.frame;
      message.event.body.type = midiEvent_;
      message.event.body.size = 3;
      message.midi[0] = s.on ? 0x90 : 0x80;
      message.midi[1] = static_cast<uint8_t>(s.pitch);
      message.midi[2] = static_cast<uint8_t>(s.velocity);
      if (lv2_atom_sequence_append_event(seq, kSequenceBytes - sizeof(LV2_Atom), &message.event) ==
          nullptr)
        throw std::runtime_error("input sequence full");
    }
  }

  LilvWorld* world_ = nullptr;
  LilvInstance* instance_ = nullptr;
  UridMap urids_;
  LV2_URID midiEvent_ = 0;
  LV2_URID sequence_ = 0;
  LV2_URID chunk_ = 0;
  std::vector<uint64_t> in_;  // 8-byte aligned atom buffers
  std::vector<uint64_t> out_;
  std::vector<float> controls_;
  long outputs_ = 0;
};

int run(const StreamRunOptions& options) {
  PeerHost host;
  return runStream(host, "peer", options);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(parseOptions(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "peer_midichord_bench: %s\n", e.what());
    return 1;
  }
}
