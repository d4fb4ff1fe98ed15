// parseSamplerPadOverridesJson on arbitrary text: overrides that parse, once written and
// parsed again, are the same overrides and the same text; a failed parse changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/sampler_pad_overrides_json.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  norvo::SamplerPadOverrides pads(1);
  pads[0].padId = "sentinel";
  pads[0].mask = norvo::kPadGain;
  const norvo::SamplerPadOverrides before = pads;
  if (!norvo::parseSamplerPadOverridesJson(reinterpret_cast<const char*>(data), size, pads)) {
    NORVO_FUZZ_CHECK(pads == before);
    return 0;
  }
  NORVO_FUZZ_CHECK(pads.size() <= norvo::kMaxPadOverrides);
  for (const norvo::SamplerPadOverride& pad : pads) {
    NORVO_FUZZ_CHECK(pad.mask != 0 && pad.padId.size() <= norvo::kMaxPadIdBytes);
    for (int bit = 0; bit < norvo::kPadOverrideValueCount; ++bit) {
      const double value = pad.*norvo::kPadOverrideValues[bit].field;
      if (pad.mask & (1u << bit)) NORVO_FUZZ_CHECK(norvo::padOverrideValueAccepted(bit, value));
    }
  }
  std::string text;
  norvo::writeSamplerPadOverridesJson(text, pads);
  norvo::SamplerPadOverrides again;
  NORVO_FUZZ_CHECK(norvo::parseSamplerPadOverridesJson(text.data(), text.size(), again));
  NORVO_FUZZ_CHECK(again == pads);
  std::string textAgain;
  norvo::writeSamplerPadOverridesJson(textAgain, again);
  NORVO_FUZZ_CHECK(textAgain == text);
  return 0;
}
