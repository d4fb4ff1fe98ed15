// A growable in-memory IBStream, used to carry the processor's state to the controller.
// Main thread.
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/base/ibstream.h"

#include <vector>

namespace norvo::probe {

class MemoryStream final : public RefCounted<Steinberg::IBStream> {
 public:
  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  const std::vector<char>& bytes() const { return bytes_; }

 private:
  std::vector<char> bytes_;
  size_t position_ = 0;
};

}  // namespace norvo::probe
