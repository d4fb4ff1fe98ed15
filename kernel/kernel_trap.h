// Fatal kernel errors (traps): the poisoned flag, the name of the running entry point, the
// panic sink and the framed trap message. A trap reports once through the panic sink and
// aborts the process; after a trap every entry point aborts at once.
//
// Used on whatever thread calls the kernel's entry points; nothing here allocates or locks
// (the shared flags are atomics so concurrent entry calls from two instances never race).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "kernel/kernel_api.h"

namespace norvo::kernel {

// Most bytes a framed trap message may hold.
inline constexpr std::size_t kTrapMessageCapacity = 2048;

// The diagnostic code for a trap text ("SC4014" for "ordanc: RangeError: ...", "SC4019" for
// anything unknown or empty).
const char* trapDiagnosticCode(const char* text, std::size_t length) noexcept;

// Writes the framed message: 0x01, the text (0x01 and 0x1F bytes turned into spaces, cut so
// the whole fits), 0x1F, the diagnostic code, 0x1F, the entry name. `out` must hold
// kTrapMessageCapacity bytes; returns the number written.
std::size_t frameTrapMessage(const char* text, std::size_t textLength, const char* entry,
                             char* out) noexcept;

// Installs the callback that receives the framed message. Any thread, before runtime_init.
void setPanicSink(norvo_kernel_panic_sink sink, void* context) noexcept;

// The kernel's process-wide trap state, read at the start of every entry point.
struct TrapState {
  std::atomic<bool> poisoned{false};        // a trap happened: every entry point aborts
  std::atomic<bool> inHostCallback{false};  // the panic sink is running
  std::atomic<const char*> currentEntry{""};
};
extern TrapState gTrapState;

// The slow half of enterEntry: aborts when poisoned, traps when called from a host callback.
[[noreturn]] void refuseEntry(const char* name) noexcept;

// Start of every entry point except set_panic_sink: aborts at once when the kernel is
// poisoned, traps when called from inside a kernel callback, records `name` as the current
// entry for trap messages. Inline: it runs on every call of the block entry points.
inline void enterEntry(const char* name) noexcept {
  if (gTrapState.poisoned.load(std::memory_order_acquire) ||
      gTrapState.inHostCallback.load(std::memory_order_acquire)) [[unlikely]] {
    refuseEntry(name);
  }
  gTrapState.currentEntry.store(name, std::memory_order_relaxed);
}

// Marks the kernel poisoned, reports `text` through the panic sink and aborts.
[[noreturn]] void trap(const char* text, std::size_t length) noexcept;
[[noreturn]] void trapText(const char* text) noexcept;

// The standard traps.
[[noreturn]] void trapOutOfMemory() noexcept;
[[noreturn]] void trapIndexOutOfBounds(std::int64_t index, std::size_t length) noexcept;
[[noreturn]] void trapInvalidLength(std::size_t length) noexcept;

}  // namespace norvo::kernel
