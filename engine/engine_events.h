// The kernel engine's block records: the queued input events of one host block and the
// MIDI-style output records the engine latches (the host gets them as HostEventRecord). Plain
// data, fixed sizes. Filled and read on the audio thread inside one process call.
#pragma once

#include <cstdint>

namespace norvo {

// Most input events and most output records one host block can carry.
inline constexpr int kEngineEventCapacity = 2048;
inline constexpr int kMidiOutCapacity = 2048;

// The last slots of the input queue take only note-offs, so a flood of note-ons (or parameter
// changes) can never crowd out the releases of the notes it started.
inline constexpr int kEngineReleaseReserve = 512;

// The kernel runs in chunks of at most this many frames (its fixed block size).
inline constexpr int kEngineChunkFrames = 128;

// Kinds of queued input events.
enum EngineEventType : std::int32_t {
  kEngineEventParameter = 0,
  kEngineEventNoteOn = 1,
  kEngineEventNoteOff = 2,
  kEngineEventController = 3,
};

struct EngineEvent {
  std::int32_t type = kEngineEventParameter;
  std::int32_t frame = 0;    // sample offset within the host block
  std::int32_t index = 0;    // parameter id (parameter) or controller number (controller)
  double value = 0.0;        // plain value, normalized velocity, controller value 0..127, or 0
  std::int32_t pitch = 0;    // note number (note-on, note-off)
  std::int32_t route = 0;    // kernel event input route
  std::int32_t channel = 0;  // MIDI channel 0..15
};

// MIDI status bytes the engine writes (always channel 0).
inline constexpr std::uint8_t kMidiStatusNoteOff = 0x80;
inline constexpr std::uint8_t kMidiStatusNoteOn = 0x90;
inline constexpr std::uint8_t kMidiStatusControlChange = 0xB0;

struct MidiOutEvent {
  std::int32_t frame = 0;   // sample offset within the host block
  std::uint8_t status = 0;  // 0x80 note-off, 0x90 note-on, 0xB0 control change
  std::uint8_t data1 = 0;   // note or controller number
  std::uint8_t data2 = 0;   // velocity or controller value
};

}  // namespace norvo
