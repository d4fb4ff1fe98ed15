// Kernel output events to MIDI-style records: status, byte scaling and rounding, clamping.
#include "engine/kernel_output_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace norvo {
namespace {

struct ConversionCase {
  const char* what;
  double kind, frame, a, b;
  int offset, chunk;
  int outFrame, status, data1, data2;
};

TEST(KernelOutputConversion, Table) {
  const double nan = std::nan("");
  const ConversionCase cases[] = {
      {"note-on", 2, 17, 60, 1.0, 0, 128, 17, 0x90, 60, 127},
      {"note-on velocity 0.8", 2, 0, 72, 0.8, 128, 128, 128, 0x90, 72, 102},   // 101.6 → 102
      {"value above 1 read minus 2", 2, 0, 60, 2.5, 0, 128, 0, 0x90, 60, 64},  // 63.5 → 64
      {"value exactly 1 kept", 2, 0, 60, 1.0, 0, 128, 0, 0x90, 60, 127},
      {"half rounds away from zero", 2, 0, 60, 0.5, 0, 128, 0, 0x90, 60, 64},
      {"just below half", 2, 0, 60, 62.49 / 127.0, 0, 128, 0, 0x90, 60, 62},
      {"value 3 is full velocity", 2, 0, 60, 3.0, 0, 128, 0, 0x90, 60, 127},
      {"value 1.5 reads as -0.5", 2, 0, 60, 1.5, 0, 128, 0, 0x90, 60, 0},
      {"value above 3 clamps", 2, 0, 60, 3.4, 0, 128, 0, 0x90, 60, 127},
      {"negative velocity clamps", 2, 0, 60, -0.3, 0, 128, 0, 0x90, 60, 0},
      {"NaN velocity", 2, 0, 60, nan, 0, 128, 0, 0x90, 60, 0},
      {"note-off ignores b", 3, 5, 64, 0.7, 0, 128, 5, 0x80, 64, 0},
      {"control change", 4, 3, 74, 0.5, 0, 128, 3, 0xB0, 74, 64},
      {"control change never minus 2", 4, 3, 74, 2.5, 0, 128, 3, 0xB0, 74, 127},
      {"frame clamped to chunk end", 2, 200, 60, 1.0, 256, 44, 299, 0x90, 60, 127},
      {"negative frame clamped", 3, -5, 60, 0, 128, 128, 128, 0x80, 60, 0},
      {"NaN frame", 3, nan, 60, 0, 128, 128, 128, 0x80, 60, 0},
      {"note number truncated", 2, 0, 60.9, 1.0, 0, 128, 0, 0x90, 60, 127},
      {"note number above 127", 2, 0, 300, 1.0, 0, 128, 0, 0x90, 127, 127},
      {"negative note number", 3, 0, -4, 0, 0, 128, 0, 0x80, 0, 0},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.what);
    MidiOutEvent out;
    ASSERT_TRUE(convertKernelOutput(c.kind, c.frame, c.a, c.b, c.offset, c.chunk, out));
    EXPECT_EQ(out.frame, c.outFrame);
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.data1, c.data1);
    EXPECT_EQ(out.data2, c.data2);
  }
}

// An output read in bulk (the kernel's integers and float) converts exactly as the same output
// read field by field as 64-bit numbers: every velocity step and half step, values above 1,
// frames and notes out of range, unknown kinds.
TEST(KernelOutputConversion, BulkRecordsConvertLikeFieldByField) {
  std::vector<float> velocities = {-0.3f, 2.5f, 3.0f, 3.4f, 1.5f, std::nanf(""), 1e30f};
  for (int k = 0; k <= 254; ++k) velocities.push_back(static_cast<float>(k / 254.0));
  for (int k = 0; k <= 254; ++k) velocities.push_back(static_cast<float>(2.0 + k / 254.0));
  // The floats nearest to every half step, on both sides: where a rounding shortcut would slip.
  for (int k = 0; k < 127; ++k) {
    for (float base : {0.0f, 2.0f}) {
      const float half = base + static_cast<float>((k + 0.5) / 127.0);
      velocities.push_back(half);
      velocities.push_back(std::nextafter(half, 0.0f));
      velocities.push_back(std::nextafter(half, 4.0f));
    }
  }
  for (std::int32_t kind : {2, 3, 4, 1, 5}) {
    for (std::int32_t frame : {-5, 0, 43, 44, 200}) {
      for (std::int32_t a : {-4, 0, 60, 127, 300}) {
        for (float b : velocities) {
          const KernelOutputEvent event{kind, frame, a, b};
          MidiOutEvent bulk{-1, 0, 0, 0};
          MidiOutEvent fields{-1, 0, 0, 0};
          const bool converted = convertKernelOutput(event, 256, 44, bulk);
          ASSERT_EQ(converted, convertKernelOutput(kind, frame, a, b, 256, 44, fields));
          ASSERT_EQ(bulk.frame, fields.frame) << kind << " " << frame << " " << a << " " << b;
          ASSERT_EQ(bulk.status, fields.status);
          ASSERT_EQ(bulk.data1, fields.data1);
          ASSERT_EQ(bulk.data2, fields.data2) << "velocity " << b;
        }
      }
    }
  }
}

TEST(KernelOutputConversion, OtherKindsProduceNoRecord) {
  for (double kind : {0.0, 1.0, 2.5, 5.0, -2.0, std::nan("")}) {
    MidiOutEvent out{7, 0x12, 0x34, 0x56};
    EXPECT_FALSE(convertKernelOutput(kind, 0, 60, 1.0, 0, 128, out)) << kind;
    EXPECT_EQ(out.frame, 7);
    EXPECT_EQ(out.status, 0x12);
  }
}

}  // namespace
}  // namespace norvo
