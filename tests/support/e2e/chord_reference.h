// What the chord effect must send for a stream of notes, worked out from its musical rules
// (interval sets, octave spread, velocity scale, on/off, releasing exactly what was sent, a
// retriggered root releasing its old chord first, and a pitch shared by held chords sent on
// once and off once, when its last chord lets it go).
// The end-to-end tests compare the plug-in's real output against it. Test thread.
#pragma once

#include "support/e2e/midi_test_file.h"

#include <array>
#include <string>
#include <vector>

namespace norvo::e2e {

class ChordReference {
 public:
  // Plain parameter values, as the command line's --set gives them.
  void set(const std::string& path, double plain);

  // The output notes for one input note message (velocity as a MIDI byte).
  std::vector<MidiNote> play(const MidiNote& input);
  // What the generator itself sends for it, before shared pitches are merged.
  std::vector<MidiNote> generate(const MidiNote& input);

  // The output for a whole file of notes, in order.
  std::vector<MidiNote> playAll(const std::vector<MidiNote>& inputs);

 private:
  bool on_ = true;
  int mode_ = 0;
  int spread_ = 0;
  double velocityScale_ = 0.8;
  std::array<std::vector<int>, 128> sounding_{};  // per root: the notes its chord sent
  std::array<bool, 128> rootHeld_{};
  std::array<int, 128> holders_{};  // per output pitch: chords holding it
};

// The line `norvo-probe bridge` (and `editor --script`) prints for "!play NOTE" with velocity
// 100 (the note-on at frame 0, its note-off at frame 256 of the same block), as `reference`
// plays it.
std::string probePlayLine(ChordReference& reference, int note);

}  // namespace norvo::e2e
