// Kernel trace file and its line formats.
#include "engine/kernel_trace.h"

#include <atomic>
#include <cstdlib>

namespace norvo {
namespace {

// Blocks traced so far in this process, shared by every engine. Relaxed: concurrent engines
// only affect the numbering, never each other's data.
std::atomic<unsigned long long> gTracedBlocks{0};

std::FILE* openTraceFile() noexcept {
  const char* path = std::getenv("NORVO_KERNEL_TRACE");
  if (path == nullptr || path[0] == '\0') return nullptr;
  return std::fopen(path, "a");
}

}  // namespace

std::FILE* kernelTraceFile() noexcept {
  // Initialised once, thread-safely; afterwards a plain read.
  static std::FILE* const file = openTraceFile();
  return file;
}

void traceSetup(const void* engine, double hostRate, double kernelRate,
                std::uint32_t handle) noexcept {
  std::FILE* file = kernelTraceFile();
  if (file == nullptr) return;
  std::fprintf(file, "S this=%p rate=%.17g kernelRate=%.17g handle=%u\n", engine, hostRate,
               kernelRate, static_cast<unsigned>(handle));
  std::fflush(file);
}

void traceChunk(const void* engine, unsigned long long& block, int offset, int chunk, int frames,
                int events) noexcept {
  std::FILE* file = kernelTraceFile();
  if (file == nullptr) return;
  if (offset == 0) block = gTracedBlocks.fetch_add(1, std::memory_order_relaxed) + 1;
  std::fprintf(file, "B this=%p blk=%llu off=%d chunk=%d frames=%d events=%d\n", engine, block,
               offset, chunk, frames, events);
}

void traceQueuedEvent(const void* engine, unsigned long long block, std::uint32_t frame, int kind,
                      std::uint32_t pitch, double value, double status) noexcept {
  std::FILE* file = kernelTraceFile();
  if (file == nullptr) return;
  std::fprintf(file, "E this=%p blk=%llu frame=%u kind=%d a=%u value=%.17g src=queue status=%g\n",
               engine, block, static_cast<unsigned>(frame), kind, static_cast<unsigned>(pitch),
               value, status);
}

void traceParameter(const void* engine, unsigned long long block, std::uint32_t frame,
                    std::uint32_t index, double value, const char* source, double status) noexcept {
  std::FILE* file = kernelTraceFile();
  if (file == nullptr) return;
  std::fprintf(file, "E this=%p blk=%llu frame=%u kind=1 a=%u value=%.17g src=%s status=%g\n",
               engine, block, static_cast<unsigned>(frame), static_cast<unsigned>(index), value,
               source, status);
}

void traceFlush() noexcept {
  std::FILE* file = kernelTraceFile();
  if (file != nullptr) std::fflush(file);
}

}  // namespace norvo
