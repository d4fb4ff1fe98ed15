#include "banks/wav_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/banks/wav_builder.h"

namespace norvo {
namespace {

using test::WavBuilder;

constexpr float kStep = 1.0f / 32768.0f;

WavAudio decodeOk(const std::vector<std::uint8_t>& bytes) {
  WavAudio audio;
  std::string error;
  EXPECT_TRUE(decodeWav(bytes, audio, error)) << error;
  EXPECT_EQ(error, "");
  return audio;
}

std::string decodeError(const std::vector<std::uint8_t>& bytes) {
  WavAudio audio;
  std::string error;
  EXPECT_FALSE(decodeWav(bytes, audio, error));
  return error;
}

TEST(WavDecoder, SixteenBitStereoFoldsToMonoOnTheGrid) {
  const WavAudio audio = decodeOk(test::wav16(2, 44100, {16384, 0, -32768, -32768, 32767, -32768}));
  ASSERT_EQ(audio.samples.size(), 3u);
  EXPECT_EQ(audio.samples[0], 0.25f);
  EXPECT_EQ(audio.samples[1], -32767 * kStep);
  EXPECT_EQ(audio.samples[2], 0.0f);  // (32767 - 32768) / 2 * 32767 / 32768 rounds to 0
  EXPECT_EQ(audio.sampleRate, 44100.0);
}

TEST(WavDecoder, SixteenBitMonoExtremesLoseOneStep) {
  const WavAudio audio = decodeOk(test::wav16(1, 48000, {32767, -32768, 0, 1, -1}));
  ASSERT_EQ(audio.samples.size(), 5u);
  EXPECT_EQ(audio.samples[0], 32766 * kStep);
  EXPECT_EQ(audio.samples[1], -32767 * kStep);
  EXPECT_EQ(audio.samples[2], 0.0f);
  EXPECT_EQ(audio.samples[3], 1 * kStep);
  EXPECT_EQ(audio.samples[4], -1 * kStep);
}

TEST(WavDecoder, TwentyFourBitRoundsHalvesAwayFromZero) {
  // 4194304 / 8388608 = 0.5 -> 16383.5 -> 16384; the negative mirror goes to -16384.
  const WavAudio audio =
      decodeOk(test::wav24(1, 96000, {4194304, -4194304, 8388607, -8388608, 256}));
  ASSERT_EQ(audio.samples.size(), 5u);
  EXPECT_EQ(audio.samples[0], 16384 * kStep);
  EXPECT_EQ(audio.samples[1], -16384 * kStep);
  EXPECT_EQ(audio.samples[2], 32767 * kStep);
  EXPECT_EQ(audio.samples[3], -32767 * kStep);
  EXPECT_EQ(audio.samples[4], 1 * kStep);  // 256 / 8388608 * 32767 = 0.99997 -> 1
  EXPECT_EQ(audio.sampleRate, 96000.0);
}

TEST(WavDecoder, TwentyFourBitStereoTakesSignFromTopByte) {
  const WavAudio audio = decodeOk(test::wav24(2, 48000, {-8388608, 0, 8388607, 8388607}));
  ASSERT_EQ(audio.samples.size(), 2u);
  EXPECT_EQ(audio.samples[0], -16384 * kStep);  // -0.5 * 32767 = -16383.5 -> -16384
  EXPECT_EQ(audio.samples[1], 32767 * kStep);
}

TEST(WavDecoder, FloatIsClampedToTheGridAndNanIsSilence) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const WavAudio audio = decodeOk(test::wavFloat(1, 22050, {2.0f, -2.0f, 0.5f, nan, inf, -inf}));
  ASSERT_EQ(audio.samples.size(), 6u);
  EXPECT_EQ(audio.samples[0], 32767 * kStep);
  EXPECT_EQ(audio.samples[1], -1.0f);
  EXPECT_EQ(audio.samples[2], 16384 * kStep);
  EXPECT_EQ(audio.samples[3], 0.0f);
  EXPECT_EQ(audio.samples[4], 32767 * kStep);
  EXPECT_EQ(audio.samples[5], -1.0f);
}

TEST(WavDecoder, FloatStereoAverages) {
  const WavAudio audio = decodeOk(test::wavFloat(2, 48000, {1.0f, -1.0f, 0.25f, 0.75f}));
  ASSERT_EQ(audio.samples.size(), 2u);
  EXPECT_EQ(audio.samples[0], 0.0f);
  EXPECT_EQ(audio.samples[1], 16384 * kStep);
}

TEST(WavDecoder, ExtensibleHeaderUsesTheSubFormatTag) {
  const WavAudio pcm = decodeOk(
      WavBuilder().format(1, 1, 48000, 24, true).data(WavBuilder::pcm24({4194304})).bytes());
  ASSERT_EQ(pcm.samples.size(), 1u);
  EXPECT_EQ(pcm.samples[0], 16384 * kStep);
  const WavAudio flt = decodeOk(
      WavBuilder().format(3, 2, 48000, 32, true).data(WavBuilder::float32({0.5f, 0.5f})).bytes());
  ASSERT_EQ(flt.samples.size(), 1u);
  EXPECT_EQ(flt.samples[0], 16384 * kStep);
  EXPECT_EQ(decodeError(WavBuilder().format(1, 1, 48000, 8, true).data({1, 2, 3, 4}).bytes()),
            "unsupported WAV format tag 1 / 8-bit");
}

TEST(WavDecoder, ChunkWalkSkipsOddChunksWithTheirPadByte) {
  const auto bytes = WavBuilder()
                         .chunk("LIST", {'a', 'b', 'c'})
                         .format(1, 1, 48000, 16)
                         .chunk("fact", {9})
                         .data(WavBuilder::pcm16({16384, -16384}))
                         .bytes();
  const WavAudio audio = decodeOk(bytes);
  ASSERT_EQ(audio.samples.size(), 2u);
  EXPECT_EQ(audio.samples[0], 16384 * kStep);
  EXPECT_EQ(audio.samples[1], -16384 * kStep);
}

TEST(WavDecoder, LastDataChunkCutShortDecodesWhatIsThere) {
  const auto bytes = WavBuilder()
                         .format(1, 1, 48000, 16)
                         .chunkDeclaring("data", 1000, WavBuilder::pcm16({100, 200, 300}))
                         .bytes();
  const WavAudio audio = decodeOk(bytes);
  ASSERT_EQ(audio.samples.size(), 3u);
  EXPECT_EQ(audio.samples[2], 300 * kStep);
}

TEST(WavDecoder, LaterChunksReplaceEarlierOnesAndPartialFramesAreDropped) {
  const auto bytes = WavBuilder()
                         .format(3, 1, 8000, 32)
                         .data(WavBuilder::float32({0.5f}))
                         .format(1, 2, 0, 16)
                         .data({0x00, 0x40, 0x00, 0x40, 0x01})  // one stereo frame and a stray byte
                         .bytes();
  const WavAudio audio = decodeOk(bytes);
  ASSERT_EQ(audio.samples.size(), 1u);
  EXPECT_EQ(audio.samples[0], 16384 * kStep);
  EXPECT_EQ(audio.sampleRate, 48000.0);  // a rate of 0 means 48 kHz
}

TEST(WavDecoder, RefusalsNameTheProblem) {
  const auto pcm = WavBuilder::pcm16({1, 2, 3, 4});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* error;
  };
  std::vector<std::uint8_t> riffx = test::wav16(1, 48000, {1, 2, 3, 4});
  riffx[3] = 'X';
  std::vector<std::uint8_t> wavx = test::wav16(1, 48000, {1, 2, 3, 4});
  wavx[11] = 'X';
  std::vector<std::uint8_t> shortFile = test::wav16(1, 48000, {1, 2});  // 48 bytes
  shortFile.resize(43);
  const std::vector<Case> cases = {
      {"shorter than a header", shortFile, "not a RIFF/WAVE file"},
      {"RIFX", riffx, "not a RIFF/WAVE file"},
      {"not WAVE", wavx, "not a RIFF/WAVE file"},
      {"no data chunk", WavBuilder().format(1, 1, 48000, 16).chunk("LIST", pcm).bytes(),
       "no data chunk"},
      {"empty data chunk", WavBuilder().format(1, 3, 48000, 16).chunk("LIST", pcm).data({}).bytes(),
       "no data chunk"},
      {"three channels", WavBuilder().format(1, 3, 48000, 16).data(pcm).bytes(),
       "unsupported channel count 3"},
      {"no format chunk", WavBuilder().chunk("LIST", pcm).data(pcm).bytes(),
       "unsupported channel count 0"},
      {"short format chunk ignored",
       WavBuilder()
           .chunk("fmt ", {1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0, 0, 0, 2, 0})
           .data(pcm)
           .data(pcm)
           .bytes(),
       "unsupported channel count 0"},
      {"bits below 8", WavBuilder().format(1, 1, 48000, 4).data(pcm).bytes(),
       "empty or unreadable data chunk"},
      {"less than one frame", WavBuilder().format(1, 2, 48000, 24).data({1, 2, 3, 4, 5}).bytes(),
       "empty or unreadable data chunk"},
      {"8-bit PCM", WavBuilder().format(1, 1, 48000, 8).data(pcm).bytes(),
       "unsupported WAV format tag 1 / 8-bit"},
      {"32-bit PCM", WavBuilder().format(1, 1, 48000, 32).data(pcm).bytes(),
       "unsupported WAV format tag 1 / 32-bit"},
      {"64-bit float",
       WavBuilder().format(3, 1, 48000, 64).data(std::vector<std::uint8_t>(16, 0)).bytes(),
       "unsupported WAV format tag 3 / 64-bit"},
      {"16-bit float", WavBuilder().format(3, 1, 48000, 16).data(pcm).bytes(),
       "unsupported WAV format tag 3 / 16-bit"},
      {"mu-law", WavBuilder().format(7, 1, 8000, 8).data(pcm).bytes(),
       "unsupported WAV format tag 7 / 8-bit"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decodeError(c.bytes), c.error) << c.what;
  }
}

}  // namespace
}  // namespace norvo
