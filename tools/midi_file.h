// Reading and writing the note events of Standard MIDI Files (through libsmf), with the
// file's tempo map for converting between ticks and seconds. Main thread.
#pragma once

#include <string>
#include <vector>

namespace norvo::probe {

struct MidiNoteEvent {
  double seconds = 0;  // from the start of the file, through the tempo map
  long ticks = 0;
  int channel = 0;   // 0..15
  int note = 0;      // 0..127
  int velocity = 0;  // 0..127 (note-offs keep their release velocity)
  bool on = false;   // a note-on with velocity 0 is read as a note-off
};

struct TempoChange {
  long ticks = 0;
  double seconds = 0;
  int microsecondsPerQuarter = 500000;
};

struct MidiNoteFile {
  int ticksPerQuarter = 480;
  std::vector<TempoChange> tempos;   // ascending; the first one starts at tick 0
  std::vector<MidiNoteEvent> notes;  // in file order (time, then track order)
  size_t ignoredEvents = 0;          // channel events that are not notes
};

// Reads every note event of every track. Throws ProbeError with libsmf's reason on failure.
MidiNoteFile readMidiNoteFile(const std::string& path);

// Writes a one-track file with `file`'s tempo map and notes (sorted stably by tick).
// Throws ProbeError on failure.
void writeMidiNoteFile(const std::string& path, const MidiNoteFile& file);

// The tick nearest to `seconds` under the tempo map.
long secondsToTicks(const MidiNoteFile& file, double seconds);

// The tempo in force at `seconds`, in quarter notes per minute, and the position in quarters.
double tempoAt(const MidiNoteFile& file, double seconds);
double quartersAt(const MidiNoteFile& file, double seconds);

}  // namespace norvo::probe
