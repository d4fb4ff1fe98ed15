// Decoding of WAV sample assets into mono float frames on a 16-bit grid.
// Called off the audio thread (by the bank loader); allocates the output once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

struct WavAudio {
  std::vector<float> samples;  // one mono frame each, multiples of 1/32768 in [-1, 32767/32768]
  double sampleRate = 48000.0;
};

// Decodes a RIFF/WAVE file held in memory: 16- or 24-bit PCM or 32-bit float, one or two
// channels (folded to mono). Returns false with a one-line reason in `error` for anything
// else; `out` is then not meaningful. Any thread except the audio thread.
bool decodeWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out, std::string& error);

inline bool decodeWav(const std::vector<std::uint8_t>& bytes, WavAudio& out, std::string& error) {
  return decodeWav(bytes.data(), bytes.size(), out, error);
}

}  // namespace norvo
