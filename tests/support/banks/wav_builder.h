// Builds WAV files in memory for the bank tests: any format header, odd chunks, cut-short data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace norvo::test {

class WavBuilder {
 public:
  // A "fmt " chunk; `extensible` writes the 40-byte form with `tag` as the sub-format.
  WavBuilder& format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits, bool extensible = false) {
    std::vector<std::uint8_t> payload;
    put16(payload, extensible ? 0xFFFE : tag);
    put16(payload, channels);
    put32(payload, rate);
    put32(payload, rate * channels * (bits / 8u));
    put16(payload, static_cast<std::uint16_t>(channels * (bits / 8u)));
    put16(payload, bits);
    if (extensible) {
      put16(payload, 22);    // extension size
      put16(payload, bits);  // valid bits
      put32(payload, 0);     // channel mask
      put16(payload, tag);   // sub-format GUID: the tag, then the fixed tail
      static const std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
      payload.insert(payload.end(), kGuidTail, kGuidTail + 14);
    }
    return chunk("fmt ", payload);
  }

  // Any chunk; an odd payload gets its pad byte.
  WavBuilder& chunk(const char* id, const std::vector<std::uint8_t>& payload) {
    return chunkDeclaring(id, static_cast<std::uint32_t>(payload.size()), payload);
  }

  // A chunk whose size field says `declared` whatever the payload (for files cut short).
  WavBuilder& chunkDeclaring(const char* id, std::uint32_t declared,
                             const std::vector<std::uint8_t>& payload) {
    body_.insert(body_.end(), id, id + 4);
    put32(body_, declared);
    body_.insert(body_.end(), payload.begin(), payload.end());
    if (payload.size() % 2 == 1 && declared == payload.size()) body_.push_back(0);
    return *this;
  }

  WavBuilder& data(const std::vector<std::uint8_t>& payload) { return chunk("data", payload); }

  std::vector<std::uint8_t> bytes() const {
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<std::uint32_t>(4 + body_.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
  }

  static std::vector<std::uint8_t> pcm16(const std::vector<int>& samples) {
    std::vector<std::uint8_t> out;
    for (int s : samples) put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
    return out;
  }

  static std::vector<std::uint8_t> pcm24(const std::vector<int>& samples) {
    std::vector<std::uint8_t> out;
    for (int s : samples) {
      const auto u = static_cast<std::uint32_t>(s);
      out.insert(out.end(), {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                             static_cast<std::uint8_t>(u >> 16)});
    }
    return out;
  }

  static std::vector<std::uint8_t> float32(const std::vector<float>& samples) {
    std::vector<std::uint8_t> out;
    for (float s : samples) {
      std::uint32_t u = 0;
      std::memcpy(&u, &s, 4);
      put32(out, u);
    }
    return out;
  }

 private:
  std::vector<std::uint8_t> body_;

  static void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  static void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
};

// Shorthands for whole files.
inline std::vector<std::uint8_t> wav16(std::uint16_t channels, std::uint32_t rate,
                                       const std::vector<int>& samples) {
  return WavBuilder().format(1, channels, rate, 16).data(WavBuilder::pcm16(samples)).bytes();
}
inline std::vector<std::uint8_t> wav24(std::uint16_t channels, std::uint32_t rate,
                                       const std::vector<int>& samples) {
  return WavBuilder().format(1, channels, rate, 24).data(WavBuilder::pcm24(samples)).bytes();
}
inline std::vector<std::uint8_t> wavFloat(std::uint16_t channels, std::uint32_t rate,
                                          const std::vector<float>& samples) {
  return WavBuilder().format(3, channels, rate, 32).data(WavBuilder::float32(samples)).bytes();
}

}  // namespace norvo::test
