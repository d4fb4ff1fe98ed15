// Standard MIDI Files for the end-to-end tests, written and read here byte by byte so the
// tests do not share the probe's MIDI library. Test thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvo::e2e {

struct MidiNote {
  long tick = 0;
  int channel = 0;
  int note = 0;
  int velocity = 0;
  bool on = true;  // false: note-off (0x80)

  bool operator==(const MidiNote&) const = default;
};

struct TempoPoint {
  long tick = 0;
  int microsecondsPerQuarter = 500000;
};

struct MidiTestFile {
  int ticksPerQuarter = 480;
  std::vector<TempoPoint> tempos;  // none: 120 quarters per minute
  // Format 1 as sequencers export it: the tempo map in a first track, the notes in a
  // second one. Otherwise format 0, everything in one track.
  bool tempoTrack = false;
  // Raw channel messages in time order, as (tick, bytes); note() adds note messages.
  std::vector<std::pair<long, std::vector<uint8_t>>> messages;

  MidiTestFile& note(long tick, int note, int velocity, bool on = true, int channel = 0);
  MidiTestFile& noteOnOff(long tick, long length, int note, int velocity);
};

// Writes `file` as format 0 or 1; messages are sorted stably by tick. Throws on I/O failure.
void writeMidiTestFile(const std::string& path, const MidiTestFile& file);

// Reads every note message (0x8n, 0x9n) of every track, in time order (tracks merged, each
// track's own order kept for equal ticks); a 0x9n with velocity 0 reads as a note-off.
// Throws std::runtime_error on a malformed file.
std::vector<MidiNote> readMidiNotes(const std::string& path);

// The seconds at `tick` under `file`'s tempo map.
double secondsAt(const MidiTestFile& file, long tick);

}  // namespace norvo::e2e
