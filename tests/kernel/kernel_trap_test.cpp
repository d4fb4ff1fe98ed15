// Traps: the framed message and its diagnostic codes, and the death path through the panic
// sink (the sink sees the message once, then the process aborts).
#include "kernel/kernel_trap.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "kernel/kernel_test_support.h"

namespace norvo::test {
namespace {

std::string frame(const std::string& text, const char* entry) {
  char out[kernel::kTrapMessageCapacity];
  const std::size_t n = kernel::frameTrapMessage(text.data(), text.size(), entry, out);
  return std::string(out, n);
}

struct CodeCase {
  const char* text;
  const char* code;
};

TEST(KernelTrapMessageTest, DiagnosticCodeFollowsTheStartOfTheText) {
  const std::vector<CodeCase> cases = {
      {"Uncaught Error: boom", "SC4013"},
      {"ordanc: RangeError: typed array index 9 out of bounds (length 4)\n", "SC4014"},
      {"ordanc: TypeError: x is not a function", "SC4015"},
      {"ordanc: SyntaxError: unexpected token", "SC4016"},
      {"ordanc: out of memory\n", "SC4017"},
      {"ordanc: internal error: bad state", "SC4018"},
      {"ordanc: library callback 'sink' failed", "SC4025"},
      {"ordanc: library entry 'process' invoked from a host callback\n", "SC4026"},
      {"Invalid typed array length: -1", "SC4019"},
      {"ordanc: RangeError", "SC4019"},  // prefix without its trailing blank
      {"", "SC4019"},
  };
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(frame(c.text, "process"),
              std::string("\x01") + c.text + "\x1F" + c.code + "\x1F" + "process");
  }
}

TEST(KernelTrapMessageTest, SeparatorBytesInTheTextBecomeSpaces) {
  EXPECT_EQ(frame("Uncaught a\x01"
                  "b\x1F"
                  "c",
                  "create"),
            "\x01Uncaught a b c\x1FSC4013\x1F"
            "create");
}

TEST(KernelTrapMessageTest, LongTextIsCutSoTheWholeMessageFits) {
  const std::string text = "ordanc: internal error: " + std::string(5000, 'x');
  const std::string message = frame(text, "push_event");
  const std::string tail = "\x1FSC4018\x1Fpush_event";
  ASSERT_EQ(message.size(), kernel::kTrapMessageCapacity);
  EXPECT_EQ(message.substr(message.size() - tail.size()), tail);
  EXPECT_EQ(message.substr(0, 25), "\x01ordanc: internal error: ");
  EXPECT_EQ(message[message.size() - tail.size() - 1], 'x');
}

// Death tests run the statement in a fresh process so the kernel's process-wide state there
// is exactly what the statement makes of it.
class KernelTrapDeathTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

std::string gExpected;
int gSinkCalls = 0;

// Reports whether the message is byte-for-byte the expected one, then tries to re-enter the
// kernel: that must end the process at once instead of returning or reporting again.
void checkingSink(void* context, const char* message, std::size_t length, void* extra) {
  ++gSinkCalls;
  if (gSinkCalls > 1) {
    std::fputs("panic sink called twice\n", stderr);
    _exit(3);
  }
  const bool exact = std::string(message, length) == gExpected;
  std::fprintf(stderr, "%s context=%s extra=%s\n", exact ? "exact message" : "wrong message",
               context == &gExpected ? "ok" : "wrong", extra == nullptr ? "null" : "set");
  K(abi_version)();
  std::fputs("entry ran after the trap\n", stderr);
  _exit(4);
}

TEST_F(KernelTrapDeathTest, TableAccessBeforeRuntimeInitTrapsThroughThePanicSink) {
  gExpected =
      "\x01ordanc: RangeError: typed array index 0 out of bounds (length 0)\n"
      "\x1FSC4014\x1F"
      "create";
  EXPECT_EXIT(
      {
        K(set_panic_sink)(checkingSink, &gExpected);
        K(create)(128, 0, 0, 48000.0);
      },
      ::testing::KilledBySignal(SIGABRT), "exact message context=ok extra=null");
}

TEST_F(KernelTrapDeathTest, RuntimeInitKeepsTheSinkInstalledBeforeIt) {
  gExpected =
      "\x01Uncaught Error: boom\x1FSC4013\x1F"
      "runtime_init";
  EXPECT_EXIT(
      {
        K(set_panic_sink)(checkingSink, &gExpected);
        K(runtime_init)();
        kernel::trapText("Uncaught Error: boom");
      },
      ::testing::KilledBySignal(SIGABRT), "exact message context=ok");
}

TEST_F(KernelTrapDeathTest, TrapWithoutASinkStillEndsTheProcess) {
  EXPECT_EXIT({ K(event_output_count)(7); }, ::testing::KilledBySignal(SIGABRT), "");
}

TEST_F(KernelTrapDeathTest, ReportedEntryIsTheOneThatTrapped) {
  gExpected =
      "\x01ordanc: RangeError: typed array index 6 out of bounds (length 0)\n"
      "\x1FSC4014\x1F"
      "event_output_a";
  EXPECT_EXIT(
      {
        K(set_panic_sink)(checkingSink, &gExpected);
        K(abi_version)();
        K(event_output_a)(7, 0);
      },
      ::testing::KilledBySignal(SIGABRT), "exact message context=ok");
}

}  // namespace
}  // namespace norvo::test
