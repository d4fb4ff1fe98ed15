// NoteLatch: the output notes of overlapping chords, counted per channel and pitch. Two chords
// that share a pitch send it once: a note-on goes out only when the first chord takes the pitch
// and a note-off only when the last one lets it go, so releasing one chord never cuts a note
// that another chord still holds. A note-on that could not be sent (no room in the block's
// output) still counts as a holder, so the pitch is released exactly once, when its last
// holder goes, and only if it was sounding.
//
// Fixed size, no allocation. Audio thread (owned by the kernel engine and used in its block
// path); construction on the main thread.
#pragma once

#include <cstdint>

namespace norvo {

class NoteLatch {
 public:
  static constexpr int kChannels = 16;
  static constexpr int kPitches = 128;

  enum class NoteOn {
    Send,     // the pitch starts sounding: send the note-on
    Held,     // another chord already sounds it: send nothing
    Dropped,  // it should sound but there was no room: send nothing, the pitch stays silent
  };

  NoteLatch() noexcept { forgetAll(); }

  // One more chord holds the pitch. `room` says whether a note-on could be sent now.
  // Channels and pitches outside 0..15 and 0..127 are not latched: they always report Send.
  NoteOn noteOn(int channel, int pitch, bool room) noexcept {
    if (!latched(channel, pitch)) return room ? NoteOn::Send : NoteOn::Dropped;
    std::uint16_t& entry = entries_[channel][pitch];
    std::uint16_t state = entry;
    if ((state & kHolderMask) != kHolderMask) ++state;
    if ((state & kSounding) != 0) {
      entry = state;
      return NoteOn::Held;
    }
    if (!room) {
      entry = state;
      return NoteOn::Dropped;
    }
    entry = static_cast<std::uint16_t>(state | kSounding);
    ++sounding_;
    return NoteOn::Send;
  }

  // One chord lets the pitch go; true when it was the last holder of a sounding pitch, so the
  // note-off must be sent. A pitch no chord holds is released already: false.
  bool noteOff(int channel, int pitch) noexcept {
    if (!latched(channel, pitch)) return true;
    std::uint16_t& entry = entries_[channel][pitch];
    const std::uint16_t state = entry;
    if ((state & kHolderMask) == 0) return false;
    if ((state & kHolderMask) != 1) {
      entry = static_cast<std::uint16_t>(state - 1);
      return false;
    }
    entry = 0;
    if ((state & kSounding) == 0) return false;
    --sounding_;
    return true;
  }

  // Forgets every holder; `sendNoteOff(channel, pitch)` is called for each sounding pitch, in
  // channel then pitch order.
  template <typename SendNoteOff>
  void releaseAll(SendNoteOff&& sendNoteOff) noexcept {
    for (int c = 0; c < kChannels && sounding_ > 0; ++c) {
      for (int pitch = 0; pitch < kPitches; ++pitch) {
        if ((entries_[c][pitch] & kSounding) == 0) continue;
        --sounding_;
        sendNoteOff(c, pitch);
      }
    }
    forgetAll();
  }

  // Pitches sounding now (each will need one note-off).
  int soundingCount() const noexcept { return sounding_; }
  bool sounding(int channel, int pitch) const noexcept;
  int holders(int channel, int pitch) const noexcept;

 private:
  // One entry per channel and pitch: the number of chords holding it (saturating; no more than
  // a few hundred ever can) and whether its note-on was sent.
  static constexpr std::uint16_t kSounding = 0x8000;
  static constexpr std::uint16_t kHolderMask = 0x7FFF;

  static bool latched(int channel, int pitch) noexcept {
    return static_cast<unsigned>(channel) < kChannels && static_cast<unsigned>(pitch) < kPitches;
  }
  void forgetAll() noexcept;

  std::uint16_t entries_[kChannels][kPitches];
  int sounding_ = 0;
};

}  // namespace norvo
