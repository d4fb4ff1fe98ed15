// A growable in-memory IBStream.
#include "tools/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace norvo::probe {

using namespace Steinberg;

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  const size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
  const size_t n = std::min(available, static_cast<size_t>(numBytes));
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  if (numBytesRead) *numBytesRead = static_cast<int32>(n);
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytes < 0 || (!buffer && numBytes > 0)) return kInvalidArgument;
  const size_t n = static_cast<size_t>(numBytes);
  if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
  if (n > 0) std::memcpy(bytes_.data() + position_, buffer, n);
  position_ += n;
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = 0;
  if (mode == kIBSeekCur)
    base = static_cast<int64>(position_);
  else if (mode == kIBSeekEnd)
    base = static_cast<int64>(bytes_.size());
  else if (mode != kIBSeekSet)
    return kInvalidArgument;
  const int64 target = base + pos;
  if (target < 0) return kResultFalse;
  position_ = static_cast<size_t>(target);
  if (result) *result = target;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos) {
  if (!pos) return kInvalidArgument;
  *pos = static_cast<int64>(position_);
  return kResultOk;
}

}  // namespace norvo::probe
