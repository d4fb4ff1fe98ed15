#include "formats/state_chunk_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/base64.h"

namespace norvo {
namespace {

StateChunk parseOrDie(const std::string& text) {
  std::optional<StateChunk> chunk = parseStateJson(text);
  EXPECT_TRUE(chunk.has_value()) << text;
  return chunk ? std::move(*chunk) : StateChunk{};
}

bool parses(const std::string& text) { return parseStateJson(text).has_value(); }

std::string nested(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

const double kParams[4] = {1, 2, -1, 0.8};

TEST(StateChunkWrite, OnlyParamsWhenNothingElseIsGiven) {
  EXPECT_EQ(writeStateJson(kParams, -1, nullptr, kSamplerAssetNoFault, kZoneLegacySingleZone,
                           nullptr, nullptr, nullptr),
            R"({"params":{"chord.on":1,"chord.mode":2,"chord.spread":-1,"chord.velocity":0.8}})");
  const double nonFinite[4] = {std::nan(""), 1, std::numeric_limits<double>::infinity(), 0};
  const std::string text = writeStateJson(nonFinite, -1, nullptr, kSamplerAssetNoFault,
                                          kZoneLegacySingleZone, nullptr, nullptr, nullptr);
  EXPECT_EQ(
      text,
      R"({"params":{"chord.on":null,"chord.mode":1,"chord.spread":null,"chord.velocity":0}})");
  const StateChunk back = parseOrDie(text);
  EXPECT_FALSE(back.hasParam[0]);
  EXPECT_TRUE(back.hasParam[1]);
  EXPECT_FALSE(back.hasParam[2]);
  EXPECT_TRUE(back.hasParam[3]);
}

TEST(StateChunkWrite, EveryMemberInItsPlace) {
  CcMap map;
  map.count = 1;
  map.bindings[0].cc = 7;
  SamplerPadOverrides pads(1);
  pads[0].padId = "kick";
  pads[0].mask = kPadGain;
  pads[0].gain = 2;
  BankStateRefOut bank;
  bank.id = "drums";
  bank.bankVersion = "1.2";
  bank.locator = "/b";
  bank.presetId = "p1";
  const std::uint8_t bytes[] = {'A', 'B'};
  const AuthoredStateOut authored{bytes, 2, 3};
  EXPECT_EQ(
      writeStateJson(kParams, 4, &map, kSamplerAssetMovedInMemory, kZoneChokeAndSustain, &bank,
                     &pads, &authored),
      R"({"params":{"chord.on":1,"chord.mode":2,"chord.spread":-1,"chord.velocity":0.8},"variation":4,)"
      R"("ccMap":{"version":1,"bindings":[{"cc":7,"path":"chord.on"}]},)"
      R"("samplerAssetFault":"moved-in-memory-asset",)"
      R"("samplerZoneAbi":"norvo-dual-stack-sampler/zone-layer/v1","samplerZoneVersion":1,)"
      R"("samplerZoneProgram":"choke-and-sustain","sampler":{"v":1,"pads":{"kick":{"gain":2}}},)"
      R"("bank":{"version":1,"id":"drums","bankVersion":"1.2","locator":"/b","source":"embedded","presetId":"p1"},)"
      R"("authoredState":{"v":3,"bytes":"QUI="}})");
}

TEST(StateChunkWrite, OmitsAndFallsBackAsDocumented) {
  const auto tail = [](const std::string& text) {
    return text.substr(std::strlen(
        R"({"params":{"chord.on":1,"chord.mode":2,"chord.spread":-1,"chord.velocity":0.8})"));
  };
  const SamplerPadOverrides noPads;
  BankStateRefOut noId;
  noId.source = "hosted";
  const AuthoredStateOut empty{nullptr, 4, 1};
  EXPECT_EQ(tail(writeStateJson(kParams, -5, nullptr, kSamplerAssetNoFault, kZoneLegacySingleZone,
                                &noId, &noPads, &empty)),
            "}");
  EXPECT_EQ(
      tail(writeStateJson(kParams, 0, nullptr, static_cast<SamplerAssetDiagnostic>(7),
                          static_cast<SamplerZoneProgram>(9), nullptr, nullptr, nullptr)),
      R"(,"variation":0,"samplerAssetFault":"none","samplerZoneAbi":"norvo-dual-stack-sampler/zone-layer/v1",)"
      R"("samplerZoneVersion":1,"samplerZoneProgram":"legacy-single-zone"})");
  EXPECT_EQ(tail(writeStateJson(kParams, -1, nullptr, kSamplerAssetNoFault,
                                static_cast<SamplerZoneProgram>(-3), nullptr, nullptr, nullptr)),
            R"(,"samplerZoneAbi":"norvo-dual-stack-sampler/zone-layer/v1","samplerZoneVersion":1,)"
            R"("samplerZoneProgram":"legacy-single-zone"})");
  BankStateRefOut full;
  full.id = "i";
  full.source = "user-folder";
  full.sha256 = "ab";
  full.instrument = "piano";
  EXPECT_EQ(
      tail(writeStateJson(kParams, -1, nullptr, kSamplerAssetNoFault, kZoneLegacySingleZone, &full,
                          nullptr, nullptr)),
      R"(,"bank":{"version":1,"id":"i","sha256":"ab","source":"user-folder","instrument":"piano"}})");
}

TEST(StateChunkParse, EmptyObjectLeavesAFreshChunk) {
  const StateChunk chunk = parseOrDie(" {} ");
  EXPECT_EQ(chunk.variation, -1);
  EXPECT_FALSE(chunk.hasParam[0] || chunk.hasCcMap || chunk.hasPadOverrides ||
               chunk.hasAuthoredState || chunk.bank.present);
  EXPECT_EQ(chunk.ccMap.count, 0u);
  EXPECT_TRUE(chunk.ccMap.bindings[5].enabled);
}

TEST(StateChunkParse, ParamsTakeLiteralsAndNumbers) {
  const StateChunk chunk = parseOrDie(
      R"({"params":{"chord.on":true,"chord.mode":3,"chord.spread":null,"chord.velocity":"x","other":1},)"
      R"("params":{"chord.velocity":false,"chord.spread":nan}})");
  EXPECT_EQ(chunk.params[0], 1.0);
  EXPECT_EQ(chunk.params[1], 3.0);
  EXPECT_EQ(chunk.params[3], 0.0);  // repeated "params": processed in order
  EXPECT_TRUE(chunk.hasParam[0] && chunk.hasParam[1] && chunk.hasParam[3]);
  EXPECT_FALSE(chunk.hasParam[2]);
  EXPECT_FALSE(parses(R"({"params":{"chord.on":tru}})"));
  EXPECT_FALSE(parses(R"({"params":{"chord.on":fals}})"));
  EXPECT_FALSE(parses(R"({"params":3})"));
  EXPECT_FALSE(parses(R"({"params":[]})"));
}

TEST(StateChunkParse, VariationRules) {
  EXPECT_EQ(parseOrDie(R"({"variation":2.9})").variation, 2);
  EXPECT_EQ(parseOrDie(R"({"variation":-1})").variation, -1);
  EXPECT_EQ(parseOrDie(R"({"variation":-2.9})").variation, -2);
  EXPECT_EQ(parseOrDie(R"({"variation":1e300})").variation,
            std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(parseOrDie(R"({"variation":nan})").variation, -1);
  EXPECT_FALSE(parses(R"({"variation":"2"})"));
  EXPECT_FALSE(parses(R"({"variation":null})"));
}

TEST(StateChunkParse, CcMapMember) {
  const StateChunk none = parseOrDie(R"({"ccMap":null})");
  EXPECT_FALSE(none.hasCcMap);
  // A later map without a bindings array empties the map and does not ask for it to be applied.
  const StateChunk emptied = parseOrDie(R"({"ccMap":[{"cc":1,"path":"chord.on"}],"ccMap":{}})");
  EXPECT_FALSE(emptied.hasCcMap);
  EXPECT_EQ(emptied.ccMap.count, 0u);
  const StateChunk kept = parseOrDie(R"({"ccMap":[{"cc":1,"path":"chord.on"}],"ccMap":null})");
  EXPECT_TRUE(kept.hasCcMap);
  EXPECT_EQ(kept.ccMap.count, 1u);
  const StateChunk bound =
      parseOrDie(R"({"ccMap":{"version":1,"bindings":[{"cc":74.5,"path":"chord.mode"}]}})");
  EXPECT_TRUE(bound.hasCcMap);
  ASSERT_EQ(bound.ccMap.count, 1u);
  EXPECT_EQ(bound.ccMap.bindings[0].cc, 75);
  EXPECT_TRUE(parseOrDie(R"({"ccMap":[]})").hasCcMap);
  EXPECT_FALSE(parses(R"({"ccMap":[{"cc":1,"path":2}]})"));
}

TEST(StateChunkParse, SamplerNamesAndBlocks) {
  const StateChunk program =
      parseOrDie(R"({"samplerZoneProgram":"velocity-round-robin","samplerZoneAbi":"x"})");
  EXPECT_EQ(program.samplerZoneProgram, kZoneVelocityRoundRobin);
  EXPECT_TRUE(program.hasSamplerZoneProgram);
  const StateChunk unknownProgram =
      parseOrDie(R"({"samplerZoneProgram":"key-zones-pitch","samplerZoneProgram":"nope"})");
  EXPECT_EQ(unknownProgram.samplerZoneProgram, kZoneKeyZonesPitch);
  EXPECT_FALSE(parses(R"({"samplerZoneProgram":3})"));

  const StateChunk fault = parseOrDie(R"({"samplerAssetFault":"unsupported-stereo-source"})");
  EXPECT_EQ(fault.samplerAssetFault, kSamplerAssetUnsupportedStereoSource);
  EXPECT_TRUE(fault.hasSamplerAssetFault);
  const StateChunk cleared =
      parseOrDie(R"({"samplerAssetFault":"corrupt-in-memory-asset","samplerAssetFault":"odd"})");
  EXPECT_EQ(cleared.samplerAssetFault, kSamplerAssetNoFault);
  EXPECT_FALSE(cleared.hasSamplerAssetFault);
  EXPECT_FALSE(parses(R"({"samplerAssetFault":null})"));

  const StateChunk pads = parseOrDie(R"({"sampler":{"v":1,"pads":{"kick":{"muted":1}},"x":[{}]}})");
  ASSERT_TRUE(pads.hasPadOverrides);
  ASSERT_EQ(pads.padOverrides.size(), 1u);
  EXPECT_EQ(pads.padOverrides[0].padId, "kick");
  EXPECT_FALSE(parseOrDie(R"({"sampler":{"v":2,"pads":{"kick":{"muted":1}}}})").hasPadOverrides);
  EXPECT_FALSE(parseOrDie(R"({"sampler":{"pads":{"kick":{"muted":1}}}})").hasPadOverrides);
  EXPECT_FALSE(parseOrDie(R"({"sampler":{"v":1,"pads":[]}})").hasPadOverrides);
  EXPECT_FALSE(parseOrDie(R"({"sampler":{}})").hasPadOverrides);
  EXPECT_FALSE(parseOrDie(R"({"sampler":"on"})").hasPadOverrides);
  EXPECT_FALSE(parses(R"({"sampler":{"v":"1"}})"));
  EXPECT_FALSE(parses(R"({"sampler":{"v":1,"pads":{"kick":{"muted":tru}}}})"));
}

TEST(StateChunkParse, AuthoredStateIsDecodedOrIgnored) {
  const StateChunk chunk = parseOrDie(R"({"authoredState":{"v":2.7,"bytes":"QUI="}})");
  ASSERT_TRUE(chunk.hasAuthoredState);
  EXPECT_EQ(chunk.authoredVersion, 2);
  EXPECT_EQ(chunk.authoredBytes, (std::vector<std::uint8_t>{0x41, 0x42}));

  for (const std::string bad :
       {R"({"authoredState":{"v":1,"bytes":"QU I"}})", R"({"authoredState":{"v":1,"bytes":""}})",
        R"({"authoredState":{"v":1,"bytes":7}})", R"({"authoredState":{"v":1}})",
        R"({"authoredState":[1]})"}) {
    EXPECT_FALSE(parseOrDie(bad).hasAuthoredState) << bad;
  }
  // A bad payload after a good one keeps the good one.
  const StateChunk kept = parseOrDie(
      R"({"authoredState":{"v":1,"bytes":"QQ=="},"authoredState":{"v":5,"bytes":"!!!!"}})");
  EXPECT_EQ(kept.authoredBytes, (std::vector<std::uint8_t>{0x41}));
  EXPECT_EQ(kept.authoredVersion, 1);
  EXPECT_FALSE(parses(R"({"authoredState":{"v":"1","bytes":"QQ=="}})"));

  std::string atCap, overCap;
  const std::vector<std::uint8_t> big(kMaxAuthoredStateBytes + 3, 0x5a);
  base64Append(atCap, big.data(), kMaxAuthoredStateBytes);
  base64Append(overCap, big.data(), big.size());
  EXPECT_EQ(
      parseOrDie(R"({"authoredState":{"v":1,"bytes":")" + atCap + "\"}}").authoredBytes.size(),
      kMaxAuthoredStateBytes);
  EXPECT_FALSE(
      parseOrDie(R"({"authoredState":{"v":1,"bytes":")" + overCap + "\"}}").hasAuthoredState);
}

TEST(StateChunkParse, BankReferenceLimits) {
  const auto bankDoc = [](const std::string& members) { return R"({"bank":{)" + members + "}}"; };
  const StateChunk full = parseOrDie(bankDoc(
      R"("version":1,"id":"drums","bankVersion":"2","sha256":"ff","source":"hosted","presetId":"p","instrument":"kit","locator":"/x","v":[])"));
  EXPECT_TRUE(full.bank.present);
  EXPECT_STREQ(full.bank.id, "drums");
  EXPECT_STREQ(full.bank.bankVersion, "2");
  EXPECT_STREQ(full.bank.sha256, "ff");
  EXPECT_STREQ(full.bank.source, "hosted");
  EXPECT_STREQ(full.bank.presetId, "p");
  EXPECT_STREQ(full.bank.instrument, "kit");
  EXPECT_STREQ(full.bank.locator, "/x");
  EXPECT_TRUE(full.bank.hasLocator && full.bank.hasPresetId);
  std::uint32_t index = 77;
  EXPECT_EQ(resolveBankStateRef(full, index), kBankRefRuntime);
  EXPECT_EQ(index, 77u);

  const std::string id127(127, 'a');
  EXPECT_STREQ(parseOrDie(bankDoc(R"("id":")" + id127 + "\"")).bank.id, id127.c_str());
  const StateChunk longId = parseOrDie(bankDoc(R"("id":")" + id127 + R"(a","source":"hosted")"));
  EXPECT_FALSE(longId.bank.present);
  EXPECT_STREQ(longId.bank.id, "");
  EXPECT_EQ(resolveBankStateRef(longId, index), kBankRefNone);

  const StateChunk limits =
      parseOrDie(bankDoc(R"("id":"b","sha256":")" + std::string(65, 'f') + R"(","bankVersion":")" +
                         std::string(31, '1') + R"(","source":"cloud","locator":")" +
                         std::string(1024, 'l') + R"(","presetId":")" + std::string(63, 'p') +
                         R"(","instrument":")" + std::string(64, 'i') + "\""));
  EXPECT_TRUE(limits.bank.present);
  EXPECT_STREQ(limits.bank.sha256, "");
  EXPECT_EQ(std::strlen(limits.bank.bankVersion), 31u);
  EXPECT_STREQ(limits.bank.source, "");
  EXPECT_STREQ(limits.bank.locator, "");
  EXPECT_FALSE(limits.bank.hasLocator);
  EXPECT_EQ(std::strlen(limits.bank.presetId), 63u);
  EXPECT_TRUE(limits.bank.hasPresetId);
  EXPECT_STREQ(limits.bank.instrument, "");

  EXPECT_FALSE(parseOrDie(bankDoc(R"("id":"","source":"hosted")")).bank.present);
  EXPECT_FALSE(parseOrDie(bankDoc(R"("id":5)")).bank.present);
  EXPECT_FALSE(parseOrDie(R"({"bank":"drums"})").bank.present);
  EXPECT_FALSE(parses(bankDoc(R"("id":"a",)")));
}

TEST(StateChunkParse, RejectsAnythingButOneObject) {
  for (const std::string& text : std::initializer_list<std::string>{
           "", " ", "[]", "null", "{} x", "{}{}", "\xEF\xBB\xBF{}", R"({"a":1,})", R"({"a")",
           R"({"a":"open})", "{\"a\":\"" + std::string(1, '\0')}) {
    EXPECT_FALSE(parses(text)) << text;
  }
  EXPECT_TRUE(parses(" \t\r\n{\"unknown\":{\"deep\":[true,false,null,\"s\",-1e5]}} \n"));
  EXPECT_TRUE(parses(R"({"x":)" + nested(32) + "}"));
  EXPECT_FALSE(parses(R"({"x":)" + nested(33) + "}"));
  EXPECT_FALSE(parses(R"({"x":)" + nested(100000) + "}"));
}

TEST(StateChunkParse, HostileDocumentsFailOrLoadSafely) {
  const std::string megabyteString =
      R"({"x":")" + std::string(4 << 20, 'a') + R"(","variation":1})";
  EXPECT_EQ(parseOrDie(megabyteString).variation, 1);
  EXPECT_FALSE(parses(R"({"x":")" + std::string(4 << 20, 'a')));  // unterminated
  const StateChunk huge =
      parseOrDie(R"({"params":{"chord.mode":1e999999,"chord.on":-1e400,"chord.spread":1)" +
                 std::string(100000, '0') + "}}");
  EXPECT_FALSE(huge.hasParam[0] || huge.hasParam[1] || huge.hasParam[2]);  // non-finite: ignored
  const char withNul[] = "{\"bank\":{\"id\":\"a\0b\",\"source\":\"hosted\0x\"}}";
  const StateChunk nul = parseOrDie(std::string(withNul, sizeof withNul - 1));
  EXPECT_TRUE(nul.bank.present);
  EXPECT_STREQ(nul.bank.id, "a");
  EXPECT_STREQ(nul.bank.source, "");  // a name with a NUL byte in it is no known source
  std::string openObjects;
  for (int i = 0; i < 200000; ++i) openObjects += R"({"a":)";
  EXPECT_FALSE(parses(openObjects));
}

TEST(StateChunkParse, FailureLeavesTheCallersChunkUntouched) {
  StateChunk chunk = parseOrDie(R"({"variation":3,"params":{"chord.mode":2}})");
  const std::string bad =
      R"({"variation":9,"params":{"chord.mode":4},"bank":{"id":"x"},"ccMap":[{"path":1}]})";
  EXPECT_FALSE(parseStateJson(bad.data(), bad.size(), chunk));
  EXPECT_EQ(chunk.variation, 3);
  EXPECT_EQ(chunk.params[1], 2);
  EXPECT_FALSE(chunk.bank.present);
  const std::string good = R"({"variation":5})";
  ASSERT_TRUE(parseStateJson(good.data(), good.size(), chunk));
  EXPECT_EQ(chunk.variation, 5);
  EXPECT_FALSE(chunk.hasParam[1]);  // a successful parse starts from a fresh chunk
}

TEST(StateChunkNames, Tables) {
  for (const char* name : {"embedded", "module-relative", "user-folder", "hosted"})
    EXPECT_TRUE(bankSourceNameKnown(name));
  for (const char* name : std::initializer_list<const char*>{"", "Embedded", "cloud", nullptr})
    EXPECT_FALSE(bankSourceNameKnown(name));
  const char* programs[] = {"legacy-single-zone",   "one-shot-drum",    "looped-pad-release",
                            "velocity-round-robin", "key-zones-pitch",  "stereo-multi-mic",
                            "choke-and-sustain",    "voice-limit-steal"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(samplerZoneProgramFromName(programs[i]), i);
    EXPECT_TRUE(samplerZoneProgramNameKnown(programs[i]));
    EXPECT_STREQ(samplerZoneProgramName(i), programs[i]);
  }
  EXPECT_EQ(samplerZoneProgramFromName(nullptr), 0);
  EXPECT_EQ(samplerZoneProgramFromName("one-shot"), 0);
  EXPECT_FALSE(samplerZoneProgramNameKnown(nullptr));
}

}  // namespace
}  // namespace norvo
