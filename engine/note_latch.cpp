// NoteLatch: see note_latch.h. Audio thread.
#include "engine/note_latch.h"

#include <cstring>

namespace norvo {

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
