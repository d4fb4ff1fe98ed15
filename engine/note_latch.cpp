// NoteLatch: see note_latch.h. Audio thread.
#include "engine/note_latch.h"

#include <cstring>

namespace norvo {

bool NoteLatch::sounding(int channel, int pitch) const noexcept {
  return latched(channel, pitch) && (entries_[channel][pitch] & kSounding) != 0;
}

int NoteLatch::holders(int channel, int pitch) const noexcept {
  return latched(channel, pitch) ? entries_[channel][pitch] & kHolderMask : 0;
}

void NoteLatch::forgetAll() noexcept {
  std::memset(entries_, 0, sizeof entries_);
  sounding_ = 0;
}

}  // namespace norvo
