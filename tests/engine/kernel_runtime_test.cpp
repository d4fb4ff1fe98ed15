// The kernel trap report. The trap flag is process-wide and never cleared, so the case runs in
// a child process.
#include "engine/kernel_runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "engine/kernel_engine.h"
#include "support/engine/child_process.h"

namespace norvo {
namespace {

TEST(KernelPanicSink, SetsTheTrapFlagAndReportsTheMessageAsDelivered) {
  char logPath[] = "/tmp/norvo-trap-XXXXXX";
  const int logFd = mkstemp(logPath);
  ASSERT_GE(logFd, 0);
  // The message carries the kernel's separator bytes and is not NUL-terminated.
  const char message[] =
      "\x01ordanc: out of memory\x1FSC4017\x1F"
      "createXYZ";
  const std::size_t length = sizeof message - 1 - 3;

  const int rc = test::runInChildProcess([&] {
    dup2(logFd, 2);
    KernelEngine engine;
    if (engine.kernelTrapped() || kernelTrapFlag()) return 2;
    kernelPanicSink(nullptr, message, length, nullptr);
    return engine.kernelTrapped() && kernelTrapFlag() ? 0 : 3;
  });
  close(logFd);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(test::readWholeFile(logPath),
            std::string("norvo-plugin-shell: ordanc trap: \x01ordanc: out of memory\x1FSC4017\x1F"
                        "create\n"));
  std::remove(logPath);
}

}  // namespace
}  // namespace norvo
