// Fuzzes the WAV decoder. A decoded asset must honour the decoder's promises: at least one
// frame, no more frames than the data bytes could hold, every sample on the 1/32768 grid
// within [-1, 32767/32768], a positive rate; a refusal must carry one of its five texts.
// Decoding is deterministic.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "banks/wav_decoder.h"

namespace {

bool isKnownRefusal(const std::string& error) {
  return error == "not a RIFF/WAVE file" || error == "no data chunk" ||
         error == "empty or unreadable data chunk" ||
         error.rfind("unsupported channel count ", 0) == 0 ||
         error.rfind("unsupported WAV format tag ", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  norvo::WavAudio audio;
  std::string error;
  const bool ok = norvo::decodeWav(data, size, audio, error);
  if (!ok) {
    if (!isKnownRefusal(error)) std::abort();
    return 0;
  }
  if (!error.empty() || audio.samples.empty() || !(audio.sampleRate > 0.0)) std::abort();
  // The smallest frame is 2 bytes (16-bit mono) and the data starts after 20 bytes of headers.
  if (audio.samples.size() > (size - 20) / 2) std::abort();
  for (float sample : audio.samples) {
    const double steps = static_cast<double>(sample) * 32768.0;
    if (!(steps >= -32768.0 && steps <= 32767.0) || steps != std::floor(steps)) std::abort();
  }
  norvo::WavAudio again;
  std::string againError;
  if (!norvo::decodeWav(data, size, again, againError) || again.samples != audio.samples ||
      again.sampleRate != audio.sampleRate) {
    std::abort();
  }
  return 0;
}
