#include "editor/diagnostic_feed.h"

#include <gtest/gtest.h>

#include <string>

namespace norvo {
namespace {

TEST(DiagnosticFeed, NamesAndBits) {
  struct Case {
    const char* name;
    std::uint32_t bit;
  };
  const Case cases[] = {
      {"host", 1},     {"transport", 2}, {"midiIn", 4},     {"midiOut", 8},
      {"meters", 16},  {"scope", 32},    {"lifecycle", 64}, {"counters", 128},
      {"params", 256}, {"presets", 512}, {"clock", 1024},
  };
  for (const Case& c : cases) EXPECT_EQ(diagnosticFeedBit(c.name), c.bit) << c.name;
  std::uint32_t all = 0;
  for (const DiagnosticFeedName& feed : kDiagnosticFeeds) all |= feed.bit;
  EXPECT_EQ(all, 2047u);
}

TEST(DiagnosticFeed, OnlyExactNamesCount) {
  using namespace std::string_literals;
  for (const std::string& name : {""s, "Host"s, "HOST"s, " host"s, "host "s, "midiin"s, "midi"s,
                                  "hosts"s, "host\0"s, "clock\0x"s, "all"s}) {
    EXPECT_EQ(diagnosticFeedBit(name), 0u) << name;
  }
}

}  // namespace
}  // namespace norvo
