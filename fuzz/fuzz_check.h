// Shared pieces of the document fuzz targets: the property check that makes libFuzzer keep
// a failing input, and exact comparisons of the records the parsers fill. Fuzzer thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ccmap/cc_map.h"

// Prints the broken property and aborts, so libFuzzer keeps the input.
#define NORVO_FUZZ_CHECK(condition)                                                         \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace norvo::fuzz {

// Bit-for-bit equality: -0 differs from 0, and a NaN equals the same NaN.
inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every field a binding carries through its text; `min`/`max` only while their flag is set.
inline bool sameCcBinding(const CcBinding& a, const CcBinding& b) {
  return a.param == b.param && a.cc == b.cc && a.channel == b.channel && a.curve == b.curve &&
         a.valueMode == b.valueMode && a.takeover == b.takeover && a.enabled == b.enabled &&
         a.hasMin == b.hasMin && a.hasMax == b.hasMax && (!a.hasMin || sameBits(a.min, b.min)) &&
         (!a.hasMax || sameBits(a.max, b.max));
}

// The same count and the same bindings in the slots in use.
inline bool sameCcMap(const CcMap& a, const CcMap& b) {
  if (a.count != b.count) return false;
  for (std::uint32_t i = 0; i < a.count && i < kCcMapCapacity; ++i) {
    if (!sameCcBinding(a.bindings[i], b.bindings[i])) return false;
  }
  return true;
}

}  // namespace norvo::fuzz
