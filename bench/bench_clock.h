// Timing and instruction-count helpers shared by the benchmark hosts. Main thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define RUNNING_ON_VALGRIND 0
#endif

namespace norvo::bench {

inline std::int64_t monotonicNanoseconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// Collects callgrind's counts only between start and stop, so a run under
// `valgrind --tool=callgrind --collect-atstart=no` counts the plug-in's call and nothing else.
// Outside valgrind both are a few no-op instructions.
inline void startCounting() noexcept { CALLGRIND_TOGGLE_COLLECT; }
inline void stopCounting() noexcept { CALLGRIND_TOGGLE_COLLECT; }
inline bool underValgrind() noexcept { return RUNNING_ON_VALGRIND != 0; }

inline double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

}  // namespace norvo::bench
