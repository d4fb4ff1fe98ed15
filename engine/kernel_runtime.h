// The kernel library's process-wide start-up and its trap report. The runtime is started once
// per process, with the panic sink installed first, however many engines set up and from
// however many threads at once. Lives until the module is unloaded; never reset.
#pragma once

#include <cstddef>

namespace norvo {

// The thread that sets processing up (any thread). Installs the panic sink, then runs the
// kernel's runtime_init; only the first call in the process does anything, concurrent first
// calls wait for it. The result of runtime_init is not checked.
void startKernelRuntimeOnce() noexcept;

// Called by the kernel, on whatever thread trapped, just before it ends the process: sets the
// trap flag and writes "norvo-plugin-shell: ordanc trap: <message>" to standard error, with the
// message's `length` bytes as delivered (separator bytes included).
void kernelPanicSink(void* context, const char* message, std::size_t length, void* extra);

// Any thread. True once a kernel trap was reported in this process.
bool kernelTrapFlag() noexcept;

}  // namespace norvo
