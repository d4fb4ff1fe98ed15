// NoteLatch: see note_latch.h. Audio thread.
#include "engine/note_latch.h"

#include <cstring>

namespace norvo {
namespace {

bool latched(int channel, int pitch) noexcept {
  return channel >= 0 && channel < NoteLatch::kChannels && pitch >= 0 &&
         pitch < NoteLatch::kPitches;
}

constexpr std::uint64_t bitOf(int pitch) noexcept { return std::uint64_t{1} << (pitch & 63); }

}  // namespace

NoteLatch::NoteOn NoteLatch::noteOn(int channel, int pitch, bool room) noexcept {
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

bool NoteLatch::noteOff(int channel, int pitch) noexcept {
  if (!latched(channel, pitch)) return true;
  std::uint16_t& holders = holders_[channel][pitch];
  if (holders == 0) return false;
  if (--holders != 0) return false;
  std::uint64_t& word = soundingBits_[channel][pitch >> 6];
  if ((word & bitOf(pitch)) == 0) return false;
  word &= ~bitOf(pitch);
  --sounding_;
  return true;
}

bool NoteLatch::sounding(int channel, int pitch) const noexcept {
  return latched(channel, pitch) && (soundingBits_[channel][pitch >> 6] & bitOf(pitch)) != 0;
}

int NoteLatch::holders(int channel, int pitch) const noexcept {
  return latched(channel, pitch) ? holders_[channel][pitch] : 0;
}

void NoteLatch::forgetAll() noexcept {
  std::memset(holders_, 0, sizeof holders_);
  std::memset(soundingBits_, 0, sizeof soundingBits_);
  sounding_ = 0;
}

}  // namespace norvo
