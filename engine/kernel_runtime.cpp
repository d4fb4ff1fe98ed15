// Once-only kernel runtime start and the kernel trap report.
#include "engine/kernel_runtime.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <mutex>

#include "common/log_line.h"
#include "kernel/kernel_api.h"

namespace norvo {
namespace {

std::once_flag gRuntimeStarted;
// Written by whichever thread traps, read by any engine: atomic so the read is never a race.
std::atomic<bool> gKernelTrapped{false};

}  // namespace

void startKernelRuntimeOnce() noexcept {
  std::call_once(gRuntimeStarted, [] {
    NORVO_KERNEL_ENTRY(set_panic_sink)(&kernelPanicSink, nullptr);
    (void)NORVO_KERNEL_ENTRY(runtime_init)();
  });
}

void kernelPanicSink(void* /*context*/, const char* message, std::size_t length, void* /*extra*/) {
  gKernelTrapped.store(true, std::memory_order_relaxed);
  if (message == nullptr) length = 0;
  const int shown = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
  std::fprintf(stderr, NORVO_LOG_PREFIX "ordanc trap: %.*s\n", shown,
               message != nullptr ? message : "");
}

bool kernelTrapFlag() noexcept { return gKernelTrapped.load(std::memory_order_relaxed); }

}  // namespace norvo
