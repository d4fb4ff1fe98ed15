// Trap reporting: see kernel_trap.h. Runs on the thread of the failing entry point.
#include "kernel/kernel_trap.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace norvo::kernel {
namespace {

constexpr char kStartByte = 0x01;
constexpr char kSeparatorByte = 0x1F;

struct CodeRule {
  const char* prefix;
  const char* code;
};

constexpr CodeRule kCodeRules[] = {
    {"Uncaught ", "SC4013"},
    {"ordanc: RangeError: ", "SC4014"},
    {"ordanc: TypeError: ", "SC4015"},
    {"ordanc: SyntaxError: ", "SC4016"},
    {"ordanc: out of memory", "SC4017"},
    {"ordanc: internal error: ", "SC4018"},
    {"ordanc: library callback ", "SC4025"},
    {"ordanc: library entry ", "SC4026"},
};
constexpr const char* kUnknownCode = "SC4019";

// Length of what snprintf wrote into a buffer of `capacity` bytes.
std::size_t printedLength(int result, std::size_t capacity) noexcept {
  if (result < 0) return 0;
  const auto length = static_cast<std::size_t>(result);
  return length < capacity ? length : capacity - 1;
}

std::atomic<norvo_kernel_panic_sink> gSink{nullptr};
std::atomic<void*> gSinkContext{nullptr};

}  // namespace

TrapState gTrapState;

const char* trapDiagnosticCode(const char* text, std::size_t length) noexcept {
  for (const CodeRule& rule : kCodeRules) {
    const std::size_t prefixLength = std::strlen(rule.prefix);
    if (length >= prefixLength && std::memcmp(text, rule.prefix, prefixLength) == 0) {
      return rule.code;
    }
  }
  return kUnknownCode;
}

std::size_t frameTrapMessage(const char* text, std::size_t textLength, const char* entry,
                             char* out) noexcept {
  const char* code = trapDiagnosticCode(text, textLength);
  const std::size_t codeLength = std::strlen(code);
  std::size_t entryLength = entry ? std::strlen(entry) : 0;
  // Framing bytes and code always fit; the entry name and then the text give way.
  const std::size_t fixed = 3 + codeLength;
  if (entryLength > kTrapMessageCapacity - fixed) entryLength = kTrapMessageCapacity - fixed;
  const std::size_t textRoom = kTrapMessageCapacity - fixed - entryLength;
  if (textLength > textRoom) textLength = textRoom;

  std::size_t n = 0;
  out[n++] = kStartByte;
  for (std::size_t i = 0; i < textLength; ++i) {
    const char c = text[i];
    out[n++] = (c == kStartByte || c == kSeparatorByte) ? ' ' : c;
  }
  out[n++] = kSeparatorByte;
  std::memcpy(out + n, code, codeLength);
  n += codeLength;
  out[n++] = kSeparatorByte;
  if (entryLength > 0) std::memcpy(out + n, entry, entryLength);
  n += entryLength;
  return n;
}

void setPanicSink(norvo_kernel_panic_sink sink, void* context) noexcept {
  gSinkContext.store(context, std::memory_order_relaxed);
  gSink.store(sink, std::memory_order_release);
}

void refuseEntry(const char* name) noexcept {
  if (gTrapState.poisoned.load(std::memory_order_acquire)) std::abort();
  char text[160];
  const int length = std::snprintf(
      text, sizeof text, "ordanc: library entry '%s' invoked from a host callback\n", name);
  trap(text, printedLength(length, sizeof text));
}

void trap(const char* text, std::size_t length) noexcept {
  // Only the first trap reports; a trap raised while reporting ends the process at once.
  if (gTrapState.poisoned.exchange(true, std::memory_order_acq_rel)) std::abort();
  static char message[kTrapMessageCapacity];
  const std::size_t messageLength = frameTrapMessage(
      text, length, gTrapState.currentEntry.load(std::memory_order_relaxed), message);
  const norvo_kernel_panic_sink sink = gSink.load(std::memory_order_acquire);
  if (sink != nullptr) {
    gTrapState.inHostCallback.store(true, std::memory_order_release);
    sink(gSinkContext.load(std::memory_order_relaxed), message, messageLength, nullptr);
    gTrapState.inHostCallback.store(false, std::memory_order_release);
  }
  std::abort();
}

void trapText(const char* text) noexcept { trap(text, std::strlen(text)); }

void trapOutOfMemory() noexcept { trapText("ordanc: out of memory\n"); }

void trapIndexOutOfBounds(std::int64_t index, std::size_t length) noexcept {
  char text[128];
  const int n = std::snprintf(text, sizeof text,
                              "ordanc: RangeError: typed array index %lld out of bounds "
                              "(length %zu)\n",
                              static_cast<long long>(index), length);
  trap(text, printedLength(n, sizeof text));
}

void trapInvalidLength(std::size_t length) noexcept {
  char digits[32];
  const int n = std::snprintf(digits, sizeof digits, "%zu", length);
  char text[64];
  const int m = std::snprintf(text, sizeof text, "Invalid typed array length: %.*s",
                              static_cast<int>(printedLength(n, sizeof digits)), digits);
  trap(text, printedLength(m, sizeof text));
}

}  // namespace norvo::kernel
