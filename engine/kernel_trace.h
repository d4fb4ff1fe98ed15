// The optional kernel trace file: when NORVO_KERNEL_TRACE names a path, every kernel
// interaction of every engine in the process is appended to it as one text line, for offline
// inspection. The variable is read once per process; the file is never closed.
//
// Threads: `kernelTraceFile` and `traceSetup` on the thread that sets processing up; the
// block and event lines on the audio thread (they format and write only while tracing is on).
// Lines from different engines may interleave; each is one formatted write.
#pragma once

#include <cstdint>
#include <cstdio>

namespace norvo {

// The trace file, opened for appending on the first call in the process; null when the
// variable is unset or empty or the file cannot be opened (tracing then stays off).
std::FILE* kernelTraceFile() noexcept;

// "S" line after the kernel instance was created (or not); flushes the file.
void traceSetup(const void* engine, double hostRate, double kernelRate,
                std::uint32_t handle) noexcept;

// "B" line at the start of a chunk. The first chunk of a block (offset 0) advances the
// process-wide block counter first and stores the new number in `block`; later chunks and the
// block's event lines carry that number, so one block's lines agree even while other engines
// advance the counter.
void traceChunk(const void* engine, unsigned long long& block, int offset, int chunk, int frames,
                int events) noexcept;

// "E" line for a queued event that is not a parameter change: frame within the chunk, kernel
// kind (2 note-on, 3 note-off, 0 anything else), pitch, value and kernel status (-1 = not sent).
void traceQueuedEvent(const void* engine, unsigned long long block, std::uint32_t frame, int kind,
                      std::uint32_t pitch, double value, double status) noexcept;

// "E" line for a product parameter pushed to the kernel; `source` is "queue" or "republish".
void traceParameter(const void* engine, unsigned long long block, std::uint32_t frame,
                    std::uint32_t index, double value, const char* source, double status) noexcept;

// Flushes the trace file (before each kernel block call).
void traceFlush() noexcept;

}  // namespace norvo
