// A small but complete bank folder for tests that load banks end to end: a manifest with one
// instrument, one kit and two presets, the instrument and kit documents (the kit's pads each on
// one key) and one WAV asset. Test thread only.
#pragma once

#include <string>

#include "support/banks/temp_folder.h"
#include "support/banks/wav_builder.h"

namespace norvo::test {

// The listing a processor replies with for this bank (after the outcome and error lines).
inline constexpr const char* kTestBankListing =
    "keys\tKeys\tinstruments\n"
    "keys\tKeys\tinstruments\n"
    "pads\tPads\tkits\n"
    "\x01warm\tWarm\tkeys\tchord.mode=2\x1F"
    "chord.velocity=0.10000000000000001\n"
    "\x01hits\tHits\tpads\tchord.spread=1";

// Writes the bank into `folder` below `relative` ("" = the folder itself).
inline void writeTestBank(const TempFolder& folder, const std::string& relative = "") {
  const std::string base = relative.empty() ? "" : relative + "/";
  folder.write(base + "a.wav", wav16(1, 48000, {100, 200, 300}));
  folder.write(base + "bank.json",
               std::string(R"({"format":"norvo-sound-pack/v1","id":"test-bank","version":"1.0",)") +
                   R"("name":"Test Bank","assetTable":[{"id":"a","path":"a.wav"}],)" +
                   R"("instruments":[{"id":"keys","name":"Keys","document":"keys.json"}],)" +
                   R"("kits":[{"id":"pads","name":"Pads","document":"pads.json"}],)" +
                   R"("presets":[{"id":"warm","name":"Warm","instrument":"keys",)" +
                   R"("document":"warm.json"},{"id":"hits","name":"Hits",)" +
                   R"("instrument":"pads","document":"hits.json"}]})");
  folder.write(base + "keys.json", std::string(R"({"format":"norvo-sampler-instrument/v1",)") +
                                       R"("zones":[{"id":"k","assetId":"a"}]})");
  folder.write(base + "pads.json",
               std::string(R"({"format":"norvo-sampler-instrument/v1","zones":[)") +
                   R"({"id":"kick","assetId":"a","lowKey":36,"highKey":36,"keyTracking":false},)" +
                   R"({"id":"snare","assetId":"a","lowKey":38,"highKey":38,"keyTracking":false},)" +
                   R"({"id":"kick","assetId":"a","lowKey":36,"highKey":36,"keyTracking":false},)" +
                   R"({"id":"wide","assetId":"a","lowKey":40,"highKey":41,"keyTracking":false},)" +
                   R"({"id":"tracked","assetId":"a","lowKey":43,"highKey":43}]})");
  folder.write(base + "warm.json",
               std::string(R"({"params":{"chord.velocity":0.1,"chord.mode":2}})"));
  folder.write(base + "hits.json", std::string(R"({"params":{"chord.spread":1}})"));
}

}  // namespace norvo::test
