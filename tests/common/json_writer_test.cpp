#include "common/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

namespace norvo {
namespace {

std::string numberText(double value) {
  std::string out;
  jsonAppendNumber(out, value);
  return out;
}

TEST(JsonAppendNumber, WritesShortestFormPlainOnTie) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},      {3, "3"},           {100, "100"},          {10000, "10000"},
      {100000, "1e+05"}, {1000000, "1e+06"}, {0.001, "0.001"},      {0.0001, "1e-04"},
      {-0.0, "-0"},      {0.0, "0"},         {0.25, "0.25"},        {0.8, "0.8"},
      {-2, "-2"},        {1e12, "1e+12"},    {123456, "123456"},    {1.0 / 3, "0.3333333333333333"},
      {1e300, "1e+300"}, {5e-324, "5e-324"}, {-1.5e-7, "-1.5e-07"},
  };
  for (const auto& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.value;
}

TEST(JsonAppendNumber, NonFiniteIsNull) {
  EXPECT_EQ(numberText(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(numberText(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JsonAppendNumber, RandomBitPatternsReadBackExactly) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = numberText(value);
    ASSERT_LE(text.size(), 64u);
    const double back = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
  }
}

TEST(JsonAppendQuoted, EscapesOnlyQuoteAndBackslash) {
  const struct {
    const char* input;
    const char* text;
  } cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\b", "\"a\\\\b\""},
      {"line\nbreak\ttab/slash", "\"line\nbreak\ttab/slash\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    jsonAppendQuoted(out, c.input);
    EXPECT_EQ(out, std::string("x") + c.text);
  }
  std::string fromString;
  jsonAppendQuoted(fromString, std::string("k"));
  EXPECT_EQ(fromString, "\"k\"");
}

}  // namespace
}  // namespace norvo
