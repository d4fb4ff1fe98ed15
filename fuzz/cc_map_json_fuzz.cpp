// parseCcMapJson on arbitrary text: a map that parses, once written and parsed again, gives
// the same bindings and the same text; a failed parse leaves the destination untouched.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>

#include "ccmap/cc_map_json.h"

// Prints the broken property and aborts, so libFuzzer keeps the input.
#define NORVO_FUZZ_CHECK(condition)                                                          \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameBinding(const norvo::CcBinding& a, const norvo::CcBinding& b) {
  return a.param == b.param && a.cc == b.cc && a.channel == b.channel && a.curve == b.curve &&
         a.valueMode == b.valueMode && a.takeover == b.takeover && a.enabled == b.enabled &&
         a.hasMin == b.hasMin && a.hasMax == b.hasMax && (!a.hasMin || sameBits(a.min, b.min)) &&
         (!a.hasMax || sameBits(a.max, b.max));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  norvo::CcMap map;
  map.count = 1;
  map.bindings[0].cc = 99;
  const norvo::CcMap before = map;
  if (!norvo::parseCcMapJson(reinterpret_cast<const char*>(data), size, map)) {
    NORVO_FUZZ_CHECK(std::memcmp(&map, &before, sizeof map) == 0);
    return 0;
  }
  NORVO_FUZZ_CHECK(map.count <= norvo::kCcMapCapacity);
  std::string text;
  norvo::writeCcMapJson(text, map);
  norvo::CcMap again;
  NORVO_FUZZ_CHECK(norvo::parseCcMapJson(text.data(), text.size(), again));
  NORVO_FUZZ_CHECK(again.count == map.count);
  for (std::uint32_t i = 0; i < map.count; ++i) NORVO_FUZZ_CHECK(sameBinding(again.bindings[i], map.bindings[i]));
  std::string textAgain;
  norvo::writeCcMapJson(textAgain, again);
  NORVO_FUZZ_CHECK(textAgain == text);
  return 0;
}
