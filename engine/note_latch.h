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
    std::uint16_t& holders = holders_[channel][pitch];
    if (holders < UINT16_MAX) ++holders;
    std::uint64_t& word = soundingBits_[channel][pitch >> 6];
    if ((word & bitOf(pitch)) != 0) return NoteOn::Held;
    if (!room) return NoteOn::Dropped;
    word |= bitOf(pitch);
    ++sounding_;
    return NoteOn::Send;
  }

  // One chord lets the pitch go; true when it was the last holder of a sounding pitch, so the
  // note-off must be sent. A pitch no chord holds is released already: false.
  bool noteOff(int channel, int pitch) noexcept {
    if (!latched(channel, pitch)) return true;
    std::uint16_t& holders = holders_[channel][pitch];
    if (holders == 0 || --holders != 0) return false;
    std::uint64_t& word = soundingBits_[channel][pitch >> 6];
    if ((word & bitOf(pitch)) == 0) return false;
    word &= ~bitOf(pitch);
    --sounding_;
    return true;
  }

  // Forgets every holder; `sendNoteOff(channel, pitch)` is called for each sounding pitch, in
  // channel then pitch order.
  template <typename SendNoteOff>
  void releaseAll(SendNoteOff&& sendNoteOff) noexcept {
    if (sounding_ == 0) {
      forgetAll();
      return;
    }
    for (int c = 0; c < kChannels; ++c) {
      for (int word = 0; word < kPitches / 64; ++word) {
        std::uint64_t bits = soundingBits_[c][word];
        while (bits != 0) {
          const int bit = __builtin_ctzll(bits);
          bits &= bits - 1;
          sendNoteOff(c, word * 64 + bit);
        }
      }
    }
    forgetAll();
  }

  // Pitches sounding now (each will need one note-off).
  int soundingCount() const noexcept { return sounding_; }
  bool sounding(int channel, int pitch) const noexcept;
  int holders(int channel, int pitch) const noexcept;

 private:
  static bool latched(int channel, int pitch) noexcept {
    return static_cast<unsigned>(channel) < kChannels && static_cast<unsigned>(pitch) < kPitches;
  }
  static std::uint64_t bitOf(int pitch) noexcept { return std::uint64_t{1} << (pitch & 63); }
  void forgetAll() noexcept;

  std::uint16_t holders_[kChannels][kPitches];
  std::uint64_t soundingBits_[kChannels][kPitches / 64];
  int sounding_ = 0;
};

}  // namespace norvo
