// parseStateJson on arbitrary bytes: a chunk that parses, once written (with every part its
// flags say was read) and parsed again, gives the same record and the same text; a failed
// parse leaves the caller's chunk untouched.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "formats/state_chunk_json.h"
#include "fuzz/fuzz_check.h"

namespace {

// Writes what a parsed chunk holds, the way a state owner would save it back.
std::string writeChunk(const norvo::StateChunk& c, norvo::BankStateRefOut& bank,
                       norvo::AuthoredStateOut& authored) {
  bank = norvo::bankStateRefOut(c.bank);
  authored = {c.authoredBytes.data(), c.authoredBytes.size(), c.authoredVersion};
  return norvo::writeStateJson(
      c.params, c.variation, c.hasCcMap ? &c.ccMap : nullptr,
      c.hasSamplerAssetFault ? c.samplerAssetFault : norvo::kSamplerAssetNoFault,
      c.hasSamplerZoneProgram ? c.samplerZoneProgram : norvo::kZoneLegacySingleZone,
      c.bank.present ? &bank : nullptr, c.hasPadOverrides ? &c.padOverrides : nullptr,
      c.hasAuthoredState ? &authored : nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  norvo::StateChunk chunk;
  chunk.variation = 12345;
  if (!norvo::parseStateJson(reinterpret_cast<const char*>(data), size, chunk)) {
    NORVO_FUZZ_CHECK(chunk.variation == 12345 && !chunk.hasParam[0] && !chunk.bank.present);
    return 0;
  }
  norvo::BankStateRefOut bank;
  norvo::AuthoredStateOut authored;
  const std::string text = writeChunk(chunk, bank, authored);
  norvo::StateChunk again;
  NORVO_FUZZ_CHECK(norvo::parseStateJson(text.data(), text.size(), again));

  for (std::size_t i = 0; i < norvo::kStateParamCount; ++i) {
    NORVO_FUZZ_CHECK(again.hasParam[i]);
    NORVO_FUZZ_CHECK(norvo::fuzz::sameBits(again.params[i], chunk.params[i]));
  }
  NORVO_FUZZ_CHECK(again.variation == (chunk.variation < 0 ? -1 : chunk.variation));
  NORVO_FUZZ_CHECK(again.hasCcMap == chunk.hasCcMap);
  if (chunk.hasCcMap) NORVO_FUZZ_CHECK(norvo::fuzz::sameCcMap(again.ccMap, chunk.ccMap));
  NORVO_FUZZ_CHECK(again.hasSamplerAssetFault == chunk.hasSamplerAssetFault);
  NORVO_FUZZ_CHECK(again.samplerAssetFault == chunk.samplerAssetFault);
  if (chunk.samplerZoneProgram != norvo::kZoneLegacySingleZone) {
    NORVO_FUZZ_CHECK(again.hasSamplerZoneProgram &&
                     again.samplerZoneProgram == chunk.samplerZoneProgram);
  }
  if (chunk.hasPadOverrides && !chunk.padOverrides.empty()) {
    NORVO_FUZZ_CHECK(again.hasPadOverrides && again.padOverrides == chunk.padOverrides);
  }
  NORVO_FUZZ_CHECK(again.hasAuthoredState == chunk.hasAuthoredState);
  NORVO_FUZZ_CHECK(again.authoredBytes == chunk.authoredBytes);
  if (chunk.hasAuthoredState) NORVO_FUZZ_CHECK(again.authoredVersion == chunk.authoredVersion);
  if (chunk.bank.present && chunk.bank.id[0] != '\0') {
    const norvo::BankStateRef& a = again.bank;
    const norvo::BankStateRef& b = chunk.bank;
    NORVO_FUZZ_CHECK(
        a.present && std::strcmp(a.id, b.id) == 0 &&
        std::strcmp(a.bankVersion, b.bankVersion) == 0 && std::strcmp(a.sha256, b.sha256) == 0 &&
        std::strcmp(a.instrument, b.instrument) == 0 && std::strcmp(a.locator, b.locator) == 0 &&
        std::strcmp(a.presetId, b.presetId) == 0);
    NORVO_FUZZ_CHECK(std::strcmp(a.source, b.source[0] != '\0' ? b.source : "embedded") == 0);
  }
  std::uint32_t unused = 0;
  NORVO_FUZZ_CHECK(norvo::resolveBankStateRef(again, unused) ==
                   norvo::resolveBankStateRef(chunk, unused));

  // Saving the re-read chunk gives the same document: the text is a fixed point.
  NORVO_FUZZ_CHECK(writeChunk(again, bank, authored) == text);
  return 0;
}
