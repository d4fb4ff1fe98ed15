// HostEventRecord: one output of a block as the host's event record, so the processor hands the
// engine's list to the host as it is, without building each event again. Plain data with the
// layout of a VST 3 event on the platforms this builds for (the processor checks every offset it
// relies on at compile time); no SDK header is needed here.
//
// The fields every output shares (bus, musical position, flags) are set once when the list is
// made and never written again: writing a record changes only its frame, type and body.
// Written and read on the audio thread inside one process call; any thread for the readers.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/engine_events.h"

namespace norvo {

// The host's event types the engine writes.
inline constexpr std::uint16_t kHostEventNoteOn = 0;
inline constexpr std::uint16_t kHostEventNoteOff = 1;
inline constexpr std::uint16_t kHostEventControlChange = 65535;  // legacy MIDI controller out
// Sent live (not from a sequencer's track).
inline constexpr std::uint16_t kHostEventLive = 1;

struct HostNoteOnBody {
  std::int16_t channel;
  std::int16_t pitch;
  float tuning;
  float velocity;  // 0..1
  std::int32_t length;
  std::int32_t noteId;  // -1: none
};

struct HostNoteOffBody {
  std::int16_t channel;
  std::int16_t pitch;
  float velocity;
  std::int32_t noteId;  // -1: none
  float tuning;
};

struct HostControllerBody {
  std::uint8_t controller;
  std::int8_t channel;
  std::int8_t value;  // 0..127
  std::int8_t value2;
};

struct HostEventRecord {
  std::int32_t bus = 0;
  std::int32_t frame = 0;  // sample offset within the host block
  double position = 0.0;   // musical position: not used
  std::uint16_t flags = kHostEventLive;
  std::uint16_t type = kHostEventNoteOn;
  union alignas(8) Body {  // the host's body also holds pointers
    HostNoteOnBody noteOn;
    HostNoteOffBody noteOff;
    HostControllerBody controller;
    std::uint8_t bytes[24];  // the host's body is 24 bytes long
  } body{};
};

// A velocity or value byte as the host's 0..1 value: byte / 127, looked up instead of divided.
struct HostVelocityTable {
  float values[256];
  constexpr HostVelocityTable() : values() {
    for (int i = 0; i < 256; ++i) values[i] = static_cast<float>(i) / 127.0f;
  }
};
inline constexpr HostVelocityTable kHostVelocities;

// Channel and pitch lead every note body: written as one 32-bit store (little-endian hosts).
static_assert(std::endian::native == std::endian::little);
inline void writeHostChannelAndPitch(HostEventRecord& record, int channel, int pitch) noexcept {
  const std::uint32_t word = static_cast<std::uint16_t>(channel) |
                             static_cast<std::uint32_t>(static_cast<std::uint16_t>(pitch)) << 16;
  std::memcpy(record.body.bytes, &word, sizeof word);
}

// Writes a note-on of a velocity byte above 0 (one of 0 would be heard as a note-off).
inline void writeHostNoteOn(HostEventRecord& record, int frame, int channel, int pitch,
                            std::uint8_t velocity) noexcept {
  record.frame = frame;
  record.type = kHostEventNoteOn;
  writeHostChannelAndPitch(record, channel, pitch);
  record.body.noteOn.tuning = 0.0f;
  record.body.noteOn.velocity = kHostVelocities.values[velocity];
  record.body.noteOn.length = 0;
  record.body.noteOn.noteId = -1;
}

inline void writeHostNoteOff(HostEventRecord& record, int frame, int channel, int pitch,
                             std::uint8_t velocity) noexcept {
  record.frame = frame;
  record.type = kHostEventNoteOff;
  writeHostChannelAndPitch(record, channel, pitch);
  record.body.noteOff.velocity = kHostVelocities.values[velocity];
  record.body.noteOff.noteId = -1;
  record.body.noteOff.tuning = 0.0f;
}

// Writes a MIDI-style record as the host's event: a note-on of velocity 0 becomes the note-off
// it means. False (nothing written) for a status the engine never sends.
inline bool writeHostEvent(HostEventRecord& record, const MidiOutEvent& midi) noexcept {
  const int channel = midi.status & 0x0F;
  switch (midi.status & 0xF0) {
    case kMidiStatusNoteOn:
      if (midi.data2 > 0) {
        writeHostNoteOn(record, midi.frame, channel, midi.data1, midi.data2);
        return true;
      }
      [[fallthrough]];
    case kMidiStatusNoteOff:
      writeHostNoteOff(record, midi.frame, channel, midi.data1, midi.data2);
      return true;
    case kMidiStatusControlChange:
      record.frame = midi.frame;
      record.type = kHostEventControlChange;
      record.body.controller = HostControllerBody{midi.data1, static_cast<std::int8_t>(channel),
                                                  static_cast<std::int8_t>(midi.data2), 0};
      return true;
    default:
      return false;
  }
}

// The MIDI-style record a host event stands for (velocities back to bytes). For readers that
// compare outputs; not on the audio path.
inline MidiOutEvent midiOfHostEvent(const HostEventRecord& record) noexcept {
  const auto byte = [](float unit) {
    const float scaled = unit * 127.0f + 0.5f;
    return static_cast<std::uint8_t>(scaled <= 0.0f ? 0 : (scaled >= 127.0f ? 127 : scaled));
  };
  switch (record.type) {
    case kHostEventNoteOn:
      return MidiOutEvent{
          record.frame, static_cast<std::uint8_t>(kMidiStatusNoteOn | record.body.noteOn.channel),
          static_cast<std::uint8_t>(record.body.noteOn.pitch), byte(record.body.noteOn.velocity)};
    case kHostEventNoteOff:
      return MidiOutEvent{
          record.frame, static_cast<std::uint8_t>(kMidiStatusNoteOff | record.body.noteOff.channel),
          static_cast<std::uint8_t>(record.body.noteOff.pitch), byte(record.body.noteOff.velocity)};
    default:
      return MidiOutEvent{
          record.frame,
          static_cast<std::uint8_t>(kMidiStatusControlChange | record.body.controller.channel),
          record.body.controller.controller,
          static_cast<std::uint8_t>(record.body.controller.value)};
  }
}

}  // namespace norvo
