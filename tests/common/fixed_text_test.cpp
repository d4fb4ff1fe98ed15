// Fixed-text copies: cut to capacity without splitting a UTF-8 character, always terminated.
#include "common/fixed_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace norvo {
namespace {

struct FixedTextCase {
  const char* name;
  const char* text;
  std::size_t capacity;
  std::string expected;
};

TEST(FixedText, CutsToCapacityWithoutSplittingACharacter) {
  const std::string stray(8, '\x80');
  const std::string strayInput = "ab" + stray;
  const FixedTextCase cases[] = {
      {"fits", "abc", 8, "abc"},
      {"cut ascii", "abcdefghij", 4, "abc"},
      {"null text", nullptr, 4, ""},
      {"capacity one", "abc", 1, ""},
      {"two-byte char kept whole", "a\xC3\xA9", 4, "a\xC3\xA9"},
      {"two-byte char cut in half", "ab\xC3\xA9", 4, "ab"},
      {"three-byte char cut after lead", "a\xE2\x82\xAC", 3, "a"},
      {"three-byte char cut after two bytes", "a\xE2\x82\xAC", 4, "a"},
      {"four-byte char cut", "\xF0\x9F\x8E\xB9x", 4, ""},
      {"four-byte char fits", "\xF0\x9F\x8E\xB9x", 5, "\xF0\x9F\x8E\xB9"},
      {"stray continuation bytes keep what precedes", strayInput.c_str(), 8,
       "ab" + stray.substr(0, 5)},
      {"complete char before stray byte", "\xC3\xA9\x80\x80", 3, "\xC3\xA9"},
  };
  for (const auto& c : cases) {
    char out[16];
    std::fill(std::begin(out), std::end(out), 'X');
    const std::size_t kept = copyFixedText(out, c.capacity, c.text);
    EXPECT_EQ(std::string(out), c.expected) << c.name;
    EXPECT_EQ(kept, c.expected.size()) << c.name;
  }
}

}  // namespace
}  // namespace norvo
