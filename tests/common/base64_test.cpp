#include "common/base64.h"

#include <gtest/gtest.h>

#include <random>

namespace norvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string encode(const Bytes& bytes) {
  std::string out;
  base64Append(out, bytes.data(), bytes.size());
  return out;
}

TEST(Base64Append, PadsShortGroups) {
  EXPECT_EQ(encode({}), "");
  EXPECT_EQ(encode({'A'}), "QQ==");
  EXPECT_EQ(encode({'A', 'B'}), "QUI=");
  EXPECT_EQ(encode({'A', 'B', 'C'}), "QUJD");
  EXPECT_EQ(encode({0xfb, 0xff, 0xbf, 0x00}), "+/+/AA==");
  std::string out = "prefix:";
  const std::uint8_t hello[] = {'h', 'i'};
  base64Append(out, hello, 2);
  EXPECT_EQ(out, "prefix:aGk=");
}

TEST(Base64Digit, MapsStandardAlphabetOnly) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i)
    EXPECT_EQ(base64Digit(alphabet[i]), static_cast<int>(i));
  for (char c : std::string("-_= \n\0.", 7)) EXPECT_EQ(base64Digit(c), -1) << int(c);
  EXPECT_EQ(base64Digit(static_cast<char>(0xC3)), -1);
}

TEST(Base64Decode, AcceptsWellFormedText) {
  const struct {
    const char* text;
    Bytes bytes;
  } cases[] = {
      {"", {}},
      {"QQ==", {0x41}},
      {"QUI=", {0x41, 0x42}},
      {"QUJD", {0x41, 0x42, 0x43}},
      {"QUJDRA==", {0x41, 0x42, 0x43, 0x44}},
      {"QQ=A", {0x41, 0x00}},  // "=" then a digit in the last group: the size rule decides
  };
  for (const auto& c : cases) {
    Bytes out = {9, 9, 9};
    EXPECT_TRUE(base64Decode(c.text, out, 100)) << c.text;
    EXPECT_EQ(out, c.bytes) << c.text;
  }
}

TEST(Base64Decode, RejectsMalformedText) {
  for (const char* text : {"QUJDR", "Q===", "=QQQ", "QQ==QUJD", "QU=DQUJD", "QUJ=QUJD", "QU I",
                           "QUI-", "QU_D", "QUJD\n", "QQ\0=", "===="}) {
    Bytes out;
    EXPECT_FALSE(base64Decode(text, out, 100)) << text;
  }
  Bytes out;
  EXPECT_FALSE(base64Decode(std::string("QQ\0=", 4), out, 100));
}

TEST(Base64Decode, SizeCapLeavesOutputUntouched) {
  Bytes out = {1, 2, 3};
  EXPECT_FALSE(base64Decode("QUJD", out, 2));
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
  EXPECT_TRUE(base64Decode("QUJD", out, 3));
  EXPECT_EQ(out, (Bytes{0x41, 0x42, 0x43}));
  EXPECT_FALSE(base64Decode("QUJDR", out, 100));  // bad length also touches nothing
  EXPECT_EQ(out, (Bytes{0x41, 0x42, 0x43}));
}

TEST(Base64Decode, RoundTripsRandomBytes) {
  std::mt19937 random(7);
  for (std::size_t size = 0; size < 200; ++size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const std::string text = encode(bytes);
    EXPECT_EQ(text.size(), (size + 2) / 3 * 4);
    Bytes back;
    ASSERT_TRUE(base64Decode(text, back, size));
    EXPECT_EQ(back, bytes);
  }
}

}  // namespace
}  // namespace norvo
