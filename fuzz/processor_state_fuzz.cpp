// NorvoProcessor::setState on arbitrary bytes. A processor holding a known state either refuses
// the bytes and saves exactly what it saved before, or takes them and saves a document that a
// fresh processor takes in turn and saves unchanged: a restore never half-applies.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "fuzz/fuzz_check.h"
#include "plugin/norvo_processor.h"
#include "pluginterfaces/base/ibstream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using namespace Steinberg;

// A stack stream over one text: reads from the start, writes append.
class TextStream : public IBStream {
 public:
  explicit TextStream(std::string text = {}) : bytes(std::move(text)) {}

  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    const std::size_t count =
        numBytes <= 0 ? 0 : std::min(bytes.size() - position, static_cast<std::size_t>(numBytes));
    std::memcpy(buffer, bytes.data() + position, count);
    position += count;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(count);
    return kResultOk;
  }
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    bytes.append(static_cast<const char*>(buffer), static_cast<std::size_t>(numBytes));
    if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
    return kResultOk;
  }
  tresult PLUGIN_API seek(int64, int32, int64*) override { return kNotImplemented; }
  tresult PLUGIN_API tell(int64*) override { return kNotImplemented; }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

  std::string bytes;
  std::size_t position = 0;
};

Vst::HostApplication* host = nullptr;

// An initialized processor, as a host holds it before the state calls.
IPtr<norvo::NorvoProcessor> makeProcessor() {
  IPtr<norvo::NorvoProcessor> processor = owned(new norvo::NorvoProcessor());
  NORVO_FUZZ_CHECK(processor->initialize(static_cast<Vst::IHostApplication*>(host)) == kResultOk);
  return processor;
}

std::string save(norvo::NorvoProcessor& processor) {
  TextStream stream;
  NORVO_FUZZ_CHECK(processor.getState(&stream) == kResultOk);
  return stream.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host = new Vst::HostApplication();
  // Hosted banks named in a state are looked up in a cache below a throwaway data folder.
  std::string data = (std::filesystem::temp_directory_path() / "norvo-fuzz-XXXXXX").string();
  if (::mkdtemp(data.data()) != nullptr) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  IPtr<norvo::NorvoProcessor> processor = makeProcessor();
  TextStream known(
      R"({"params":{"chord.mode":4,"chord.spread":-2},"variation":7,)"
      R"("ccMap":[{"cc":1,"path":"chord.on"}],"sampler":{"v":1,"pads":{"a":{"gain":3}}}})");
  NORVO_FUZZ_CHECK(processor->setState(&known) == kResultOk);
  const std::string before = save(*processor);

  TextStream input(std::string(reinterpret_cast<const char*>(data), size));
  const tresult result = processor->setState(&input);
  NORVO_FUZZ_CHECK(result == kResultOk || result == kResultFalse);
  const std::string after = save(*processor);
  if (result == kResultFalse) {
    NORVO_FUZZ_CHECK(after == before);
  } else {
    IPtr<norvo::NorvoProcessor> fresh = makeProcessor();
    TextStream again(after);
    NORVO_FUZZ_CHECK(fresh->setState(&again) == kResultOk);
    NORVO_FUZZ_CHECK(save(*fresh) == after);
    fresh->terminate();
  }
  processor->terminate();
  return 0;
}
