#include "editor/bridge_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace norvo {
namespace {

TEST(BridgeLog, MalformedLine) {
  EXPECT_EQ(malformedBridgeMessageLine(0),
            "norvo-plugin-shell: malformed bridge message (0 bytes)\n");
  EXPECT_EQ(malformedBridgeMessageLine(1234567),
            "norvo-plugin-shell: malformed bridge message (1234567 bytes)\n");
}

TEST(BridgeLog, NoteLineTruncatesTowardZero) {
  struct Case {
    const char* type;
    double note;
    const char* line;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"norvo.noteOn", 60, "norvo-plugin-shell: bridge norvo.noteOn note=60\n"},
      {"norvo.noteOff", 60.99, "norvo-plugin-shell: bridge norvo.noteOff note=60\n"},
      {"norvo.noteOn", -1.5, "norvo-plugin-shell: bridge norvo.noteOn note=-1\n"},
      {"norvo.noteOn", -0.5, "norvo-plugin-shell: bridge norvo.noteOn note=0\n"},
      {"norvo.noteOn", std::nan(""), "norvo-plugin-shell: bridge norvo.noteOn note=0\n"},
      {"norvo.noteOn", 1e300, "norvo-plugin-shell: bridge norvo.noteOn note=2147483647\n"},
      {"norvo.noteOn", inf, "norvo-plugin-shell: bridge norvo.noteOn note=2147483647\n"},
      {"norvo.noteOff", -inf, "norvo-plugin-shell: bridge norvo.noteOff note=-2147483648\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(bridgeNoteLine(c.type, c.note), c.line) << c.note;
}

TEST(BridgeLog, WritesTheWholeLine) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  writeBridgeLogLine(malformedBridgeMessageLine(12), file);
  writeBridgeLogLine(bridgeNoteLine("norvo.noteOn", 64), file);
  std::rewind(file);
  char buffer[256] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, got),
            "norvo-plugin-shell: malformed bridge message (12 bytes)\n"
            "norvo-plugin-shell: bridge norvo.noteOn note=64\n");
}

}  // namespace
}  // namespace norvo
