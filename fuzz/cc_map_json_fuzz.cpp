// parseCcMapJson on arbitrary text: a map that parses, once written and parsed again, gives
// the same bindings and the same text; a failed parse leaves the destination untouched.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ccmap/cc_map_json.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  norvo::CcMap map;
  map.count = 1;
  map.bindings[0].cc = 99;
  const norvo::CcMap before = map;
  if (!norvo::parseCcMapJson(reinterpret_cast<const char*>(data), size, map)) {
    NORVO_FUZZ_CHECK(norvo::fuzz::sameCcMap(map, before));
    return 0;
  }
  NORVO_FUZZ_CHECK(map.count <= norvo::kCcMapCapacity);
  std::string text;
  norvo::writeCcMapJson(text, map);
  norvo::CcMap again;
  NORVO_FUZZ_CHECK(norvo::parseCcMapJson(text.data(), text.size(), again));
  NORVO_FUZZ_CHECK(norvo::fuzz::sameCcMap(again, map));
  std::string textAgain;
  norvo::writeCcMapJson(textAgain, again);
  NORVO_FUZZ_CHECK(textAgain == text);
  return 0;
}
