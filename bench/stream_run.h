// The measurement both benchmark hosts make on the stream: warm-up blocks, then either one
// counted pass for callgrind or several timed runs, and one result line. Main thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "bench/note_stream.h"

namespace norvo::bench {

struct StreamRunOptions {
  long blocks = 4000;
  int runs = 9;
  bool callgrind = false;
};

// Reads argv[i] (and its value) when it is --blocks N, --runs R or --callgrind; false for any
// other argument.
inline bool readStreamOption(int argc, char** argv, int& i, StreamRunOptions& options) {
  const std::string arg = argv[i];
  if (arg == "--blocks" && i + 1 < argc) {
    options.blocks = std::atol(argv[++i]);
  } else if (arg == "--runs" && i + 1 < argc) {
    options.runs = std::atoi(argv[++i]);
  } else if (arg == "--callgrind") {
    options.callgrind = true;
  } else {
    return false;
  }
  return true;
}

inline bool streamOptionsValid(const StreamRunOptions& options) {
  return options.blocks >= 1 && options.runs >= 1;
}

// `host` offers runBlock(block, counted) (the ns the plug-in's call took), resetOutputs() and
// outputs(). Prints "NAME counted-events=..." (callgrind) or "NAME ns-per-event=...".
template <class Host>
int runStream(Host& host, const char* name, const StreamRunOptions& options) {
  constexpr long kWarmUpBlocks = 200;
  for (long b = 0; b < kWarmUpBlocks; ++b) host.runBlock(b);
  std::int64_t block = kWarmUpBlocks;
  const double events = static_cast<double>(options.blocks) * kStreamEventsPerBlock;

  if (options.callgrind) {
    host.resetOutputs();
    for (long b = 0; b < options.blocks; ++b) host.runBlock(block++, true);
    std::printf("%s counted-events=%.0f outputs-per-event=%.2f valgrind=%s\n", name, events,
                host.outputs() / events, underValgrind() ? "yes" : "no");
    return 0;
  }
  std::vector<double> perEvent;
  for (int r = 0; r < options.runs; ++r) {
    host.resetOutputs();
    std::int64_t total = 0;
    for (long b = 0; b < options.blocks; ++b) total += host.runBlock(block++);
    perEvent.push_back(static_cast<double>(total) / events);
  }
  std::printf("%s ns-per-event=%.1f runs=%d blocks=%ld outputs-per-event=%.2f\n", name,
              median(perEvent), options.runs, options.blocks, host.outputs() / events);
  return 0;
}

}  // namespace norvo::bench
