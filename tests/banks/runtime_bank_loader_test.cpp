#include "banks/runtime_bank_loader.h"

#include <gtest/gtest.h>

#include <functional>

#include "banks/sha256.h"
#include "support/banks/temp_folder.h"
#include "support/banks/wav_builder.h"

namespace norvo {
namespace {

constexpr float kStep = 1.0f / 32768.0f;
const std::string kEllipsis = "\xE2\x80\xA6";

// One bank folder: "a" is 16-bit mono (8 frames, 48 kHz), "b" 24-bit stereo (4 frames,
// 44.1 kHz), "c" float mono (2 frames) that no zone uses.
class BankFolder : public ::testing::Test {
 public:
  test::TempFolder folder;
  std::vector<std::uint8_t> a = test::wav16(1, 48000, {0, 1, 2, 3, 4, 5, 6, 7});
  std::vector<std::uint8_t> b = test::wav24(2, 44100, {256, 256, 512, 512, 768, 768, 1024, 1024});
  std::vector<std::uint8_t> c = test::wavFloat(1, 96000, {0.5f, -0.5f});

  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    folder.write("samples/a.wav", a);
    folder.write("samples/b.wav", b);
    folder.write("c.wav", c);
  }

  std::string assetTable() const {
    return R"([{"id":"a","path":"samples/a.wav","bytes":)" + std::to_string(a.size()) +
           R"(,"sha256":")" + sha256Hex(a) + R"("},{"id":"b","path":"samples/b.wav","sha256":")" +
           sha256Hex(b) + R"("},{"id":"c","path":"c.wav","codec":"wav"}])";
  }

  static std::string lists() {
    return R"("instruments":[{"id":"keys","name":"Keys","document":"keys.json"}],)"
           R"("kits":[{"id":"drums","name":"Drums","document":"drums.json"}])";
  }

  void writeManifest(const std::string& assets, const std::string& rest) const {
    folder.write("bank.json", R"({"format":"norvo-sound-pack/v1","id":"test-bank","version":"1.2",)"
                              R"("name":"Test Bank","assetTable":)" +
                                  assets + "," + rest + "}");
  }

  void writeInstrument(const std::string& document, const std::string& zones) const {
    folder.write(document, R"({"format":"norvo-sampler-instrument/v1","zones":)" + zones + "}");
  }

  // The usual bank with the given zones in keys.json.
  void writeBank(const std::string& zones) const {
    writeManifest(assetTable(), lists());
    writeInstrument("keys.json", zones);
    writeInstrument("drums.json", R"([{"id":"kick","assetId":"c"}])");
  }

  void manifest(const std::string& assets, const std::string& rest = lists()) const {
    writeManifest(assets, rest);
  }
  void raw(const std::string& relative, const std::string& text) const {
    folder.write(relative, text);
  }
  void instrument(const std::string& zones) const { writeInstrument("keys.json", zones); }

  RuntimeBankLoad load(const std::string& instrument = "", std::uint64_t arenaFrames = 0) const {
    return loadRuntimeBank(folder.path(), arenaFrames, instrument);
  }

  // Loads and returns the only zone, failing the test when the load fails.
  StagedZone onlyZone(const std::string& zoneMembers) const {
    writeBank(R"([{"assetId":"a")" + (zoneMembers.empty() ? "" : "," + zoneMembers) + "}]");
    const RuntimeBankLoad result = load();
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.bank.zones.size(), 1u);
    return result.bank.zones.empty() ? StagedZone{} : result.bank.zones.front();
  }
};

TEST_F(BankFolder, StagesTheFirstInstrument) {
  writeBank(
      R"([{"id":"z1","assetId":"b"},{"id":"z2","assetId":"a","lowKey":60},{"id":"z3","assetId":"b"}, 7])");
  const RuntimeBankLoad result = load();
  ASSERT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  EXPECT_EQ(result.error, "");
  const StagedBank& bank = result.bank;
  EXPECT_EQ(bank.id, "test-bank");
  EXPECT_EQ(bank.version, "1.2");
  EXPECT_EQ(bank.name, "Test Bank");
  EXPECT_EQ(bank.instrumentId, "keys");
  EXPECT_EQ(bank.instrumentName, "Keys");
  EXPECT_EQ(bank.instrumentKind, "instruments");
  ASSERT_EQ(bank.positionings.size(), 2u);
  EXPECT_EQ(bank.positionings[0].id, "keys");
  EXPECT_EQ(bank.positionings[1].id, "drums");
  EXPECT_EQ(bank.positionings[1].name, "Drums");
  EXPECT_EQ(bank.positionings[1].kind, "kits");
  std::vector<std::uint8_t> manifestBytes;
  {
    std::ifstream in(folder / "bank.json", std::ios::binary);
    manifestBytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(bank.manifestSha256, sha256Hex(manifestBytes));
  // "b" is used first, so it leads the arena; "c" is used by no zone and never enters it.
  ASSERT_EQ(bank.samples.size(), 12u);
  EXPECT_EQ(bank.samples[0], 1 * kStep);  // 256 / 8388608 * 32767 rounds to 1
  EXPECT_EQ(bank.samples[3], 4 * kStep);
  EXPECT_EQ(bank.samples[4], 0.0f);
  EXPECT_EQ(bank.samples[11], 7 * kStep);
  ASSERT_EQ(bank.zones.size(), 3u);
  EXPECT_EQ(bank.zones[0].id, "z1");
  EXPECT_EQ(bank.zones[0].assetOffset, 0u);
  EXPECT_EQ(bank.zones[0].assetFrames, 4u);
  EXPECT_EQ(bank.zones[0].sampleRate, 44100.0);
  EXPECT_EQ(bank.zones[1].assetOffset, 4u);
  EXPECT_EQ(bank.zones[1].start, 4u);
  EXPECT_EQ(bank.zones[1].frames, 8u);
  EXPECT_EQ(bank.zones[1].lowKey, 60u);
  EXPECT_EQ(bank.zones[1].sampleRate, 48000.0);
  EXPECT_EQ(bank.zones[2].assetOffset, 0u);  // shares the first copy of "b"
  EXPECT_EQ(bank.sampleRate, 44100.0);
}

TEST_F(BankFolder, ZoneDefaults) {
  const StagedZone zone = onlyZone("");
  EXPECT_EQ(zone.id, "");
  EXPECT_EQ(zone.start, 0u);
  EXPECT_EQ(zone.frames, 8u);
  EXPECT_EQ(zone.lowKey, 0u);
  EXPECT_EQ(zone.highKey, 127u);
  EXPECT_EQ(zone.rootKey, 60u);
  EXPECT_TRUE(zone.keyTracking);
  EXPECT_EQ(zone.lowVelocity, 0u);
  EXPECT_EQ(zone.highVelocity, 127u);
  EXPECT_EQ(zone.gain, 1.0);
  EXPECT_EQ(zone.pan, 0.0);
  EXPECT_EQ(zone.fineTuneCents, 0.0);
  EXPECT_EQ(zone.roundRobinGroup, 0u);
  EXPECT_EQ(zone.chokeGroup, 0u);
  EXPECT_EQ(zone.trigger, 0);
  EXPECT_EQ(zone.loopMode, 0);
  EXPECT_EQ(zone.declaredLoopStart, 4294967295u);
  EXPECT_EQ(zone.declaredLoopEnd, 4294967295u);
  EXPECT_EQ(zone.declaredCrossfade, 4294967295u);
  EXPECT_EQ(zone.attackSeconds, 0.001);
  EXPECT_EQ(zone.releaseSeconds, 0.05);
  EXPECT_FALSE(zone.reverse);
  EXPECT_EQ(zone.filterCutoffHz, 0.0);
  EXPECT_EQ(zone.filterResonance, 0.0);
}

TEST_F(BankFolder, ZoneValuesAndTheirRules) {
  const StagedZone zone = onlyZone(
      R"("id":"z","lowKey":64.5,"highKey":300,"rootKey":-3,"lowVelocity":"x","highVelocity":nan,)"
      R"("keyTracking":false,"gain":"loud","pan":-0.5,"fineTuneCents":12.5,"roundRobinGroup":1e12,)"
      R"("chokeGroup":-5,"trigger":"legato","attackSeconds":0.25,"releaseSeconds":2,"reverse":true,)"
      R"("filterCutoffHz":1200,"filterResonance":0.7)");
  EXPECT_EQ(zone.id, "z");
  EXPECT_EQ(zone.lowKey, 65u);
  EXPECT_EQ(zone.highKey, 127u);
  EXPECT_EQ(zone.rootKey, 0u);
  EXPECT_EQ(zone.lowVelocity, 0u);   // wrong type: the default
  EXPECT_EQ(zone.highVelocity, 0u);  // NaN is no number above 0
  EXPECT_FALSE(zone.keyTracking);
  EXPECT_EQ(zone.gain, 1.0);
  EXPECT_EQ(zone.pan, -0.5);
  EXPECT_EQ(zone.fineTuneCents, 12.5);
  EXPECT_EQ(zone.roundRobinGroup, 4294967295u);
  EXPECT_EQ(zone.chokeGroup, 0u);
  EXPECT_EQ(zone.trigger, 2);
  EXPECT_EQ(zone.attackSeconds, 0.25);
  EXPECT_EQ(zone.releaseSeconds, 2.0);
  EXPECT_TRUE(zone.reverse);
  EXPECT_EQ(zone.filterCutoffHz, 1200.0);
  EXPECT_EQ(zone.filterResonance, 0.7);
  EXPECT_EQ(onlyZone(R"("trigger":"release")").trigger, 1);
  EXPECT_EQ(onlyZone(R"("trigger":"Release")").trigger, 0);
  EXPECT_EQ(onlyZone(R"("trigger":2)").trigger, 0);
}

TEST_F(BankFolder, StartAndEndFrames) {
  struct Case {
    const char* members;
    std::uint32_t start;
    std::uint32_t frames;
  };
  const Case cases[] = {
      {R"("startFrame":2)", 2, 6},
      {R"("startFrame":2.9)", 2, 6},
      {R"("startFrame":8)", 0, 8},  // at or past the end: the whole asset
      {R"("startFrame":1e20)", 0, 8},
      {R"("startFrame":-4)", 0, 8},
      {R"("startFrame":"3")", 0, 8},  // present but not a number: 0
      {R"("startFrame":2,"endFrame":5)", 2, 3},
      {R"("startFrame":2,"endFrame":2)", 2, 6},  // end not after start: ignored
      {R"("startFrame":2,"endFrame":1)", 2, 6},
      {R"("startFrame":2,"endFrame":100)", 2, 6},
      {R"("endFrame":3)", 0, 3},
      {R"("endFrame":null)", 0, 8},
      {R"("endFrame":"5")", 0, 8},
  };
  for (const Case& c : cases) {
    const StagedZone zone = onlyZone(c.members);
    EXPECT_EQ(zone.start, c.start) << c.members;
    EXPECT_EQ(zone.frames, c.frames) << c.members;
  }
}

TEST_F(BankFolder, ForwardLoops) {
  struct Case {
    const char* members;
    int mode;
    std::uint32_t loopStart, loopEnd, crossfade;
    std::uint32_t declaredStart, declaredEnd, declaredCrossfade;
  };
  constexpr std::uint32_t kNone = 4294967295u;
  const Case cases[] = {
      {R"("loopMode":"forward","loopStartFrame":2,"loopEndFrame":6,"loopCrossfadeFrames":3)", 1, 2,
       6, 3, 2, 6, 3},
      {R"("loopMode":"forward","loopStartFrame":2,"loopEndFrame":6,"loopCrossfadeFrames":5)", 1, 2,
       6, 0, 2, 6, 5},
      {R"("loopMode":"forward","loopStartFrame":3,"loopEndFrame":7,"startFrame":1,"endFrame":7)", 1,
       2, 6, 0, 3, 7, 0},
      {R"("loopMode":"forward","loopStartFrame":100,"loopEndFrame":50)", 0, 0, 0, 0, 100, 50,
       kNone},
      {R"("loopMode":"forward","loopStartFrame":0,"loopEndFrame":9)", 0, 0, 0, 0, 0, 9, kNone},
      {R"("loopMode":"forward","loopStartFrame":1,"loopEndFrame":4,"startFrame":2)", 0, 0, 0, 0, 1,
       4, kNone},
      {R"("loopMode":"forward","loopStartFrame":"a","loopEndFrame":8)", 1, 0, 8, 0, 0, 8, 0},
      {R"("loopMode":"forward","loopStartFrame":2)", 0, 0, 0, 0, kNone, kNone, kNone},
      {R"("loopMode":"forward","loopStartFrame":2,"loopEndFrame":null)", 0, 0, 0, 0, kNone, kNone,
       kNone},
      {R"("loopMode":"none","loopStartFrame":2,"loopEndFrame":6)", 0, 0, 0, 0, kNone, kNone, kNone},
  };
  for (const Case& c : cases) {
    const StagedZone zone = onlyZone(c.members);
    EXPECT_EQ(zone.loopMode, c.mode) << c.members;
    EXPECT_EQ(zone.loopStart, c.loopStart) << c.members;
    EXPECT_EQ(zone.loopEnd, c.loopEnd) << c.members;
    EXPECT_EQ(zone.loopCrossfade, c.crossfade) << c.members;
    EXPECT_EQ(zone.declaredLoopStart, c.declaredStart) << c.members;
    EXPECT_EQ(zone.declaredLoopEnd, c.declaredEnd) << c.members;
    EXPECT_EQ(zone.declaredCrossfade, c.declaredCrossfade) << c.members;
  }
}

TEST_F(BankFolder, ChoosesTheRequestedOrFirstDocumentedEntry) {
  writeManifest(assetTable(), R"("instruments":[{"id":"bare","name":"No document"},7,)"
                              R"({"id":"keys","name":"Keys","document":"keys.json"}],)"
                              R"("kits":[{"id":"drums","name":"Drums","document":"drums.json"}])");
  writeInstrument("keys.json", R"([{"assetId":"a"}])");
  writeInstrument("drums.json", R"([{"assetId":"c"}])");
  RuntimeBankLoad result = load();
  ASSERT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  EXPECT_EQ(result.bank.instrumentId, "keys");
  EXPECT_EQ(result.bank.positionings.size(), 3u);
  result = load("drums");
  ASSERT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  EXPECT_EQ(result.bank.instrumentId, "drums");
  EXPECT_EQ(result.bank.instrumentKind, "kits");
  EXPECT_EQ(result.bank.sampleRate, 96000.0);
  EXPECT_EQ(result.bank.samples.size(), 2u);
}

TEST_F(BankFolder, AcceptsLenientManifestValues) {
  folder.write("empty.wav", std::vector<std::uint8_t>{});
  folder.write("s/d.wav", a);
  writeManifest(
      R"([{"id":"a","path":"./samples/a.wav","bytes":-1},{"id":"e","path":"empty.wav","bytes":0},)"
      R"({"id":"d","path":"s//d.wav"},{"id":"a","path":"samples//b.wav"},"skipped"])",
      R"("version":1,"instruments":[{"id":"keys","document":"keys.json"}])");
  writeInstrument("keys.json", R"([{"assetId":"a"}])");
  const RuntimeBankLoad result = load();
  ASSERT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  EXPECT_EQ(result.bank.version, "");
  EXPECT_EQ(result.bank.samples.size(), 4u);  // the later "a" entry (b.wav) replaced the first
}

TEST_F(BankFolder, PresetsWithSortedFiniteParams) {
  writeManifest(
      assetTable(),
      lists() +
          R"(,"presets":[{"id":"p1","name":"One","instrument":"keys","document":"p/one.json"},)"
          R"({"id":"p2","document":"p/two.json"},{"id":"p3","document":"p/none.json"},)"
          R"({"id":"p4","document":"../p/one.json"},{"id":"p5","document":"p/bad.json"},)"
          R"({"id":"","document":"p/one.json"},{"id":"p6","document":"p/nan.json"},)"
          R"({"id":"p7"},{"id":"p8","document":"p/array.json"}])");
  writeInstrument("keys.json", R"([{"assetId":"a"}])");
  folder.write("p/one.json",
               R"({"params":{"chord.spread":2,"chord.mode":3,"B":1,"x":"text","y":nan,"z":inf}})");
  folder.write("p/two.json", R"({"params":{"chord.on":0}})");
  folder.write("p/bad.json", R"({"params":{"a":1},})");
  folder.write("p/nan.json", R"({"params":{"a":nan,"b":-inf}})");
  folder.write("p/array.json", R"({"params":[1,2]})");
  const RuntimeBankLoad result = load();
  ASSERT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  ASSERT_EQ(result.bank.presets.size(), 2u);
  const StagedPreset& one = result.bank.presets[0];
  EXPECT_EQ(one.id, "p1");
  EXPECT_EQ(one.name, "One");
  EXPECT_EQ(one.instrument, "keys");
  using Params = std::vector<std::pair<std::string, double>>;
  EXPECT_EQ(one.params, (Params{{"B", 1.0}, {"chord.mode", 3.0}, {"chord.spread", 2.0}}));
  EXPECT_EQ(result.bank.presets[1].name, "p2");
  EXPECT_EQ(result.bank.presets[1].instrument, "");
  EXPECT_EQ(result.bank.presets[1].params, (Params{{"chord.on", 0.0}}));
}

TEST_F(BankFolder, ArenaCapacity) {
  writeBank(R"([{"assetId":"a"},{"assetId":"b"}])");
  RuntimeBankLoad result = load("", 12);
  EXPECT_EQ(result.outcome, RuntimeBankOutcome::Ok) << result.error;
  result = load("", 11);
  EXPECT_EQ(result.outcome, RuntimeBankOutcome::BankTooLarge);
  EXPECT_EQ(result.error, "bank needs 12 arena frames, the kernel published 11");
  EXPECT_EQ(result.bank.id, "");
  EXPECT_TRUE(result.bank.positionings.empty());
  EXPECT_EQ(result.bank.sampleRate, 48000.0);
  result = load("", 7);
  EXPECT_EQ(result.error, "bank needs 8 arena frames, the kernel published 7");
}

struct FailureCase {
  const char* what;
  std::function<void(const BankFolder&)> setUp;
  RuntimeBankOutcome outcome;
  std::string error;  // "$" stands for the bank folder
  bool cleared = false;
  std::string instrument = "";
};

class BankFailures : public BankFolder {
 protected:
  void check(const FailureCase& c) {
    SetUp();  // each case starts from the untouched files
    writeBank(R"([{"id":"z1","assetId":"a"}])");
    c.setUp(*this);
    const RuntimeBankLoad result = load(c.instrument);
    std::string expected = c.error;
    if (const auto at = expected.find('$'); at != std::string::npos)
      expected.replace(at, 1, folder.path());
    EXPECT_EQ(result.outcome, c.outcome) << c.what;
    EXPECT_STREQ(runtimeBankOutcomeName(result.outcome), runtimeBankOutcomeName(c.outcome))
        << c.what;
    EXPECT_EQ(result.error, expected) << c.what;
    if (c.cleared) {
      EXPECT_EQ(result.bank.id, "") << c.what;
      EXPECT_EQ(result.bank.manifestSha256, "") << c.what;
      EXPECT_TRUE(result.bank.positionings.empty()) << c.what;
    }
  }
};

std::string upper(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

TEST_F(BankFailures, ManifestAndAssetChecks) {
  using O = RuntimeBankOutcome;
  const std::string aBytes = std::to_string(a.size());
  const std::vector<FailureCase> cases = {
      {"no manifest", [](const BankFolder& f) { std::filesystem::remove(f.folder / "bank.json"); },
       O::BankMissing, "cannot read $/bank.json"},
      {"not JSON", [](const BankFolder& f) { f.raw("bank.json", "{\"format\":"); },
       O::BankMalformed, "bank.json is not a JSON object"},
      {"array", [](const BankFolder& f) { f.raw("bank.json", "[]"); }, O::BankMalformed,
       "bank.json is not a JSON object"},
      {"v2",
       [](const BankFolder& f) {
         f.raw("bank.json", R"({"format":"norvo-sound-pack/v2","id":"x"})");
       },
       O::BankMalformed,
       "bank.json format is \"norvo-sound-pack/v2\", expected norvo-sound-pack/v1"},
      {"format not a string",
       [](const BankFolder& f) { f.raw("bank.json", R"({"format":1,"id":"x"})"); },
       O::BankMalformed, "bank.json format is \"\", expected norvo-sound-pack/v1"},
      {"no id",
       [](const BankFolder& f) {
         f.raw("bank.json", R"({"format":"norvo-sound-pack/v1","id":""})");
       },
       O::BankMalformed, "bank.json declares no id"},
      {"no assets", [](const BankFolder& f) { f.manifest("[]"); }, O::BankMalformed,
       "bank.json declares no assetTable"},
      {"assets not an array", [](const BankFolder& f) { f.manifest("{}"); }, O::BankMalformed,
       "bank.json declares no assetTable"},
      {"no path", [](const BankFolder& f) { f.manifest(R"([{"id":"a"}])"); }, O::BankMalformed,
       "assetTable entry missing id or path"},
      {"parent path", [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"../x.wav"}])"); },
       O::BankMalformed, "asset \"a\" path escapes the bank directory"},
      {"absolute path",
       [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"/abs.wav"}])"); },
       O::BankMalformed, "asset \"a\" path escapes the bank directory"},
      {"backslash", [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"a\\b.wav"}])"); },
       O::BankMalformed, "asset \"a\" path escapes the bank directory"},
      {"inner parent",
       [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"a/../b.wav"}])"); },
       O::BankMalformed, "asset \"a\" path escapes the bank directory"},
      {"codec",
       [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"x.flac","codec":"flac"}])"); },
       O::BankUnsupportedCodec,
       "asset \"a\" codec \"flac\" is not decoded by the native runtime loader (wav only)"},
      {"missing file",
       [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"samples/none.wav"}])"); },
       O::BankMissing, "asset \"a\" file missing: samples/none.wav"},
      {"wrong size",
       [&](const BankFolder& f) {
         f.manifest(R"([{"id":"a","path":"samples/a.wav","bytes":)" + std::to_string(a.size() + 1) +
                    "}]");
       },
       O::BankHashMismatch,
       "asset \"a\" is " + aBytes + " bytes, manifest declares " + std::to_string(a.size() + 1)},
      {"zero size",
       [](const BankFolder& f) { f.manifest(R"([{"id":"a","path":"samples/a.wav","bytes":0}])"); },
       O::BankHashMismatch, "asset \"a\" is " + aBytes + " bytes, manifest declares 0"},
      {"uppercase hash",
       [&](const BankFolder& f) {
         f.manifest(R"([{"id":"a","path":"samples/a.wav","sha256":")" + upper(sha256Hex(a)) +
                    "\"}]");
       },
       O::BankHashMismatch,
       "asset \"a\" sha256 " + sha256Hex(a).substr(0, 16) + kEllipsis +
           " does not match the manifest"},
      {"unused asset missing",
       [&](const BankFolder& f) {
         f.manifest(R"([{"id":"a","path":"samples/a.wav"},{"id":"u","path":"gone.wav"}])");
       },
       O::BankMissing, "asset \"u\" file missing: gone.wav"},
      {"unused asset altered",
       [&](const BankFolder& f) {
         f.manifest(R"([{"id":"a","path":"samples/a.wav"},{"id":"u","path":"c.wav","sha256":")" +
                    sha256Hex(a) + "\"}]");
       },
       O::BankHashMismatch,
       "asset \"u\" sha256 " + sha256Hex(c).substr(0, 16) + kEllipsis +
           " does not match the manifest"},
  };
  for (const FailureCase& c : cases) check(c);
}

TEST_F(BankFailures, InstrumentAndZoneChecks) {
  using O = RuntimeBankOutcome;
  const std::string twoEntries =
      R"("instruments":[{"id":"a","document":"keys.json"}],"kits":[{"id":"b","document":"keys.json"}])";
  const std::vector<FailureCase> cases = {
      {"unknown id", [&](const BankFolder& f) { f.manifest(f.assetTable(), twoEntries); },
       O::BankInstrumentUnknown, "bank test-bank has no instrument or kit \"piano\" (known: a, b)",
       true, "piano"},
      {"unknown id, no lists",
       [](const BankFolder& f) { f.manifest(f.assetTable(), R"("kits":{})"); },
       O::BankInstrumentUnknown,
       "bank test-bank has no instrument or kit \"piano\" (the bank lists none)", true, "piano"},
      {"requested entry has no document",
       [](const BankFolder& f) { f.manifest(f.assetTable(), R"("instruments":[{"id":"piano"}])"); },
       O::BankInstrumentUnknown, "bank test-bank has no instrument or kit \"piano\" (known: piano)",
       true, "piano"},
      {"no documents",
       [](const BankFolder& f) { f.manifest(f.assetTable(), R"("instruments":[{"id":"a"}])"); },
       O::BankMalformed, "bank.json names no readable instrument/kit document"},
      {"escaping document",
       [](const BankFolder& f) {
         f.manifest(f.assetTable(), R"("instruments":[{"id":"a","document":"../keys.json"}])");
       },
       O::BankMalformed, "bank.json names no readable instrument/kit document"},
      {"missing document",
       [](const BankFolder& f) {
         f.manifest(f.assetTable(), R"("instruments":[{"id":"a","document":"gone.json"}])");
       },
       O::BankMissing, "instrument document missing: gone.json"},
      {"document not JSON", [](const BankFolder& f) { f.raw("keys.json", "zones"); },
       O::BankMalformed, "instrument document is not a JSON object"},
      {"document format",
       [](const BankFolder& f) {
         f.raw("keys.json", R"({"format":"norvo-sampler-instrument/v2","zones":[{}]})");
       },
       O::BankMalformed,
       "instrument document format is \"norvo-sampler-instrument/v2\", expected "
       "norvo-sampler-instrument/v1"},
      {"no zones", [](const BankFolder& f) { f.instrument("[]"); }, O::BankMalformed,
       "instrument document declares no zones"},
      {"zones not an array", [](const BankFolder& f) { f.instrument("{}"); }, O::BankMalformed,
       "instrument document declares no zones"},
      {"unknown asset",
       [](const BankFolder& f) {
         f.instrument(R"([{"id":"z1","assetId":"a"},{"id":"z2","assetId":"nope"}])");
       },
       O::BankMalformed, "zone \"z2\" names asset \"nope\" which the assetTable does not declare"},
      {"no asset id", [](const BankFolder& f) { f.instrument(R"([{"assetId":7}])"); },
       O::BankMalformed, "zone \"\" names asset \"\" which the assetTable does not declare"},
      {"decoder refusal",
       [](const BankFolder& f) {
         f.folder.write("samples/a.wav",
                        test::WavBuilder().format(1, 1, 8000, 8).data({1, 2}).bytes());
         f.manifest(R"([{"id":"a","path":"samples/a.wav"}])");
       },
       O::BankUnsupportedCodec, "asset \"a\": unsupported WAV format tag 1 / 8-bit"},
      {"refusal comes before a later unknown asset",
       [](const BankFolder& f) {
         f.folder.write("samples/a.wav", std::string("RIFF"));
         f.manifest(R"([{"id":"a","path":"samples/a.wav"}])");
         f.instrument(R"([{"assetId":"a"},{"assetId":"x"}])");
       },
       O::BankUnsupportedCodec, "asset \"a\": not a RIFF/WAVE file"},
      {"no object zones", [](const BankFolder& f) { f.instrument("[1,\"two\",[]]"); },
       O::BankMalformed, "bank staged no zones or no samples", true},
  };
  for (const FailureCase& c : cases) check(c);
}

TEST(RuntimeBankOutcomeName, NamesEveryCode) {
  const char* names[] = {"ok",
                         "bank-missing",
                         "bank-hash-mismatch",
                         "bank-malformed",
                         "bank-unsupported-codec",
                         "bank-too-large",
                         "bank-instrument-unknown",
                         "bank-missing",
                         "bank-missing"};
  for (int code = 0; code < 9; ++code) {
    EXPECT_STREQ(runtimeBankOutcomeName(static_cast<RuntimeBankOutcome>(code)), names[code])
        << code;
  }
  EXPECT_STREQ(runtimeBankOutcomeName(static_cast<RuntimeBankOutcome>(255)), "bank-missing");
}

}  // namespace
}  // namespace norvo
