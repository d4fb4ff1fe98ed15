// WAV decoding: chunk walk, encoding checks, mono fold and 16-bit grid quantisation.
#include "banks/wav_decoder.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace norvo {
namespace {

constexpr std::size_t kMinimumFileSize = 44;
constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

std::uint16_t readU16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool hasId(const std::uint8_t* p, const char* id) noexcept { return std::memcmp(p, id, 4) == 0; }

struct WavLayout {
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
  bool hasData = false;
  std::size_t dataPos = 0;
  std::size_t dataSize = 0;
};

void readFormat(const std::uint8_t* payload, std::uint32_t size, WavLayout& layout) noexcept {
  layout.tag = readU16(payload);
  layout.channels = readU16(payload + 2);
  layout.rate = readU32(payload + 4);
  layout.bits = readU16(payload + 14);
  // The extensible header carries the real tag in the first two bytes of its sub-format GUID.
  if (size >= 40 && layout.tag == kTagExtensible) layout.tag = readU16(payload + 24);
}

// Walks the chunks from byte 12. A chunk running past the end stops the walk; if it is the
// sample data, whatever bytes are there are kept (files cut short while being written).
WavLayout walkChunks(const std::uint8_t* bytes, std::size_t size) noexcept {
  WavLayout layout;
  std::size_t pos = 12;
  while (pos <= size && size - pos >= 8) {
    const std::uint8_t* header = bytes + pos;
    const std::uint64_t chunkSize = readU32(header + 4);
    const std::size_t payload = pos + 8;
    if (chunkSize > size || payload + chunkSize > size) {
      if (hasId(header, "data") && payload < size) {
        layout.hasData = true;
        layout.dataPos = payload;
        layout.dataSize = size - payload;
      }
      break;
    }
    if (hasId(header, "fmt ") && chunkSize >= 16) {
      readFormat(bytes + payload, static_cast<std::uint32_t>(chunkSize), layout);
    } else if (hasId(header, "data")) {
      layout.hasData = true;
      layout.dataPos = payload;
      layout.dataSize = static_cast<std::size_t>(chunkSize);
    }
    pos = payload + static_cast<std::size_t>(chunkSize) + (chunkSize & 1u);
    if (pos > size) break;
  }
  return layout;
}

double readSample(const std::uint8_t* p, std::uint16_t tag, std::uint16_t bits) noexcept {
  if (tag == kTagFloat) return static_cast<double>(std::bit_cast<float>(readU32(p)));
  if (bits == 16) return static_cast<double>(static_cast<std::int16_t>(readU16(p))) / 32768.0;
  std::int32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
  if (p[2] & 0x80) value -= 1 << 24;
  return static_cast<double>(value) / 8388608.0;
}

// Puts one folded frame on the 16-bit grid: scale by 32767, round halves away from zero,
// clamp. A NaN (possible only in float files) becomes silence rather than an undefined value.
float quantise(double value) noexcept {
  if (std::isnan(value)) return 0.0f;
  double scaled = std::round(value * 32767.0);
  if (scaled > 32767.0) scaled = 32767.0;
  if (scaled < -32768.0) scaled = -32768.0;
  return static_cast<float>(scaled * (1.0 / 32768.0));
}

bool isAcceptedEncoding(std::uint16_t tag, std::uint16_t bits) noexcept {
  return (tag == kTagPcm && (bits == 16 || bits == 24)) || (tag == kTagFloat && bits == 32);
}

}  // namespace

bool decodeWav(const std::uint8_t* bytes, std::size_t size, WavAudio& out, std::string& error) {
  if (size < kMinimumFileSize || !hasId(bytes, "RIFF") || !hasId(bytes + 8, "WAVE")) {
    error = "not a RIFF/WAVE file";
    return false;
  }
  const WavLayout layout = walkChunks(bytes, size);
  if (!layout.hasData || layout.dataSize == 0) {
    error = "no data chunk";
    return false;
  }
  if (layout.channels != 1 && layout.channels != 2) {
    error = "unsupported channel count " + std::to_string(layout.channels);
    return false;
  }
  out.sampleRate = layout.rate == 0 ? 48000.0 : static_cast<double>(layout.rate);
  const std::size_t bytesPerSample = layout.bits / 8u;
  const std::size_t frameSize = layout.channels * bytesPerSample;
  if (layout.bits < 8 || layout.dataSize < frameSize) {
    error = "empty or unreadable data chunk";
    return false;
  }
  if (!isAcceptedEncoding(layout.tag, layout.bits)) {
    error = "unsupported WAV format tag " + std::to_string(layout.tag) + " / " +
            std::to_string(layout.bits) + "-bit";
    return false;
  }
  const std::size_t frames = layout.dataSize / frameSize;
  out.samples.assign(frames, 0.0f);
  const std::uint8_t* frame = bytes + layout.dataPos;
  for (std::size_t i = 0; i < frames; ++i, frame += frameSize) {
    double sum = readSample(frame, layout.tag, layout.bits);
    if (layout.channels == 2) sum += readSample(frame + bytesPerSample, layout.tag, layout.bits);
    out.samples[i] = quantise(sum / layout.channels);
  }
  return true;
}

}  // namespace norvo
