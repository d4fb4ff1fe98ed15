// UTF-16 ↔ UTF-8 conversions for the SDK's strings.
#include "tools/tchar_text.h"

#include <gtest/gtest.h>

namespace norvo::probe {
namespace {

using Steinberg::char16;

TEST(TcharText, RoundTripsBmpAndSupplementaryCharacters) {
  for (const std::string text : {"", "Chord", "Grüße", "音符", "🎹 keys"}) {
    char16 wide[128];
    toUtf16(text, wide, 128);
    EXPECT_EQ(toUtf8(wide), text);
  }
  EXPECT_EQ(toUtf16("🎹").size(), 2u);
}

TEST(TcharText, CutsToFitWithoutSplittingSurrogatePairs) {
  char16 wide[3];
  toUtf16("a🎹", wide, 3);  // 'a' plus a pair would need 4 units with the terminator
  EXPECT_EQ(toUtf8(wide), "a");
  toUtf16("abcdef", wide, 3);
  EXPECT_EQ(toUtf8(wide), "ab");
}

TEST(TcharText, StopsAtTheLimitAndReplacesLoneSurrogates) {
  const char16 unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(toUtf8(unterminated, 4), "abcd");
  const char16 lone[3] = {'x', static_cast<char16>(0xD800), 0};
  EXPECT_EQ(toUtf8(lone), "x\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(nullptr), "");
  EXPECT_EQ(toUtf16("\xFF"), std::u16string(1, u'\xFFFD'));
}

}  // namespace
}  // namespace norvo::probe
