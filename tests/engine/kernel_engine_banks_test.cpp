// The engine's bank staging against real bank folders (publication, refusal, recall and their
// diagnostics), the bank reference a state writes, and the sampler pad overrides with the
// velocity rules they drive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "banks/runtime_bank_loader.h"
#include "engine/kernel_engine.h"
#include "engine/runtime_bank_staging.h"
#include "support/banks/test_bank.h"
#include "support/engine/engine_test_support.h"

namespace norvo {
namespace {

using test::diagnosticsOf;
using test::DiagnosticSummary;

constexpr const char* kRefused = "the engine refused the staged bank (arena capacity)";
const std::string kRefusedReply = std::string("bank-too-large\n") + kRefused;

DiagnosticSummary loadFailure(std::uint32_t code, const std::string& outcome,
                              const std::string& error, const std::string& source) {
  return {code, 2, 4, "runtime bank load refused (" + outcome + "): " + error,
          "{\"reason\":\"" + outcome + "\",\"source\":\"" + source + "\"}"};
}

SamplerPadOverride pad(const std::string& id, std::uint32_t mask = kPadGain) {
  SamplerPadOverride entry;
  entry.padId = id;
  entry.mask = mask;
  return entry;
}

SamplerPadOverride sensitivity(const std::string& id, double value) {
  SamplerPadOverride entry = pad(id, kPadVelocitySensitivity);
  entry.velocitySensitivity = value;
  return entry;
}

StateChunk chunkNaming(const char* source, const char* locator, const char* id = "test-bank") {
  StateChunk chunk;
  chunk.bank.present = true;
  std::snprintf(chunk.bank.id, sizeof chunk.bank.id, "%s", id);
  std::snprintf(chunk.bank.source, sizeof chunk.bank.source, "%s", source);
  std::snprintf(chunk.bank.locator, sizeof chunk.bank.locator, "%s", locator);
  chunk.bank.hasLocator = locator[0] != '\0';
  return chunk;
}

class EngineBanks : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeTestBank(folder, "bank");
    bankFolder = folder / "bank";
  }

  test::TempFolder folder;
  std::string bankFolder;
  KernelEngine engine;
};

TEST_F(EngineBanks, EveryBankIsRefusedAndEveryFailureRecorded) {
  EXPECT_EQ(loadAndPublishRuntimeBank(engine, bankFolder, "user-folder", ""), kRefusedReply);
  const std::string missing = "cannot read " + folder / "none" + "/bank.json";
  EXPECT_EQ(loadAndPublishRuntimeBank(engine, folder / "none", nullptr, ""),
            "bank-missing\n" + missing);
  folder.write("bank/bank.json", R"({"format":"norvo-sound-pack/v1","id":"x","assetTable":[)"
                                 R"({"id":"a","path":"a.wav","bytes":1}]})");
  const std::string mismatch = "asset \"a\" is 50 bytes, manifest declares 1";
  EXPECT_EQ(loadAndPublishRuntimeBank(engine, bankFolder, "hosted", ""),
            "bank-hash-mismatch\n" + mismatch);
  EXPECT_EQ(diagnosticsOf(engine), (std::vector<DiagnosticSummary>{
                                       loadFailure(27, "bank-too-large", kRefused, "user-folder"),
                                       loadFailure(27, "bank-missing", missing, ""),
                                       loadFailure(28, "bank-hash-mismatch", mismatch, "hosted")}));
  EXPECT_EQ(engine.stagedBank(), nullptr);
  EXPECT_FALSE(engine.requestSampleBankIndex(0));
}

// A kernel that publishes a sample arena takes the banks that fit in it.
TEST_F(EngineBanks, AnArenaTakesBanksThatFitAndTheReplyListsThem) {
  engine.setSampleArenaFrames(2);  // the bank's one asset has 3 frames
  EXPECT_EQ(loadAndPublishRuntimeBank(engine, bankFolder, "user-folder", ""), kRefusedReply);
  engine.setSampleArenaFrames(3);
  EXPECT_EQ(loadAndPublishRuntimeBank(engine, bankFolder, "user-folder", ""),
            std::string("ok\n\n") + test::kTestBankListing);
  EXPECT_EQ(engine.stagedBank()->instrumentId, "keys");
  EXPECT_TRUE(engine.publishRuntimeBank(nullptr));  // withdrawing
  EXPECT_EQ(engine.stagedBank(), nullptr);
}

TEST_F(EngineBanks, RecallOfANamedBankIsRecordedAsNotContained) {
  EXPECT_EQ(engine.recallSampleBank(StateChunk{}), BankRecallOutcome::Nothing);
  EXPECT_EQ(engine.recallSampleBank(chunkNaming("user-folder", "", "")),
            BankRecallOutcome::Nothing);
  EXPECT_EQ(engine.recallSampleBank(chunkNaming("embedded", "", "drums")),
            BankRecallOutcome::NotContained);
  engine.recordBankRecallFailure(BankRecallOutcome::HashMismatch, nullptr);
  engine.recordBankRecallFailure(BankRecallOutcome::Nothing, "ignored");
  engine.recordRuntimeBankFailure(RuntimeBankOutcome::Ok, "ignored", "ignored");
  EXPECT_EQ(diagnosticsOf(engine),
            (std::vector<DiagnosticSummary>{
                {27, 2, 9,
                 "state recall named a bank this build does not contain; parameters kept, output "
                 "silent, no bank substituted",
                 "{\"bank\":\"drums\",\"banks\":0}"},
                {28, 2, 9,
                 "state recall named a bank whose manifest hash differs from the one compiled in; "
                 "parameters kept, output silent",
                 "{\"bank\":\"\",\"banks\":0}"}}));
}

TEST_F(EngineBanks, RecallFromAChunkLoadsFoldersAndFindsHostedBanksInTheCache) {
  ::setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
  const std::string pin(64, 'c');
  test::writeTestBank(folder, "Norvo/banks/" + pin);
  engine.setSampleArenaFrames(1 << 20);
  std::string source = "stale", locator = "stale", sha = "stale", instrument = "stale";

  // Loaded: the reference copied out; a failed load: cleared; nothing to load: untouched.
  struct Case {
    StateChunk chunk;
    bool loaded;
    const char* sourceAfter;
  };
  Case cases[] = {{chunkNaming("embedded", bankFolder.c_str()), false, "stale"},
                  {chunkNaming("user-folder", ""), false, "stale"},
                  {chunkNaming("user-folder", (folder / "none").c_str()), false, ""},
                  {chunkNaming("module-relative", bankFolder.c_str()), true, "module-relative"},
                  {chunkNaming("hosted", "https://example.invalid/b.zip"), true, "hosted"}};
  std::snprintf(cases[4].chunk.bank.sha256, 65, "%s", pin.c_str());
  std::snprintf(cases[4].chunk.bank.instrument, 64, "pads");
  for (Case& c : cases) {
    EXPECT_EQ(recallRuntimeBankFromChunk(engine, c.chunk, source, locator, sha, instrument),
              c.loaded)
        << c.chunk.bank.source << " " << c.chunk.bank.locator;
    EXPECT_EQ(source, c.sourceAfter) << c.chunk.bank.source << " " << c.chunk.bank.locator;
  }
  EXPECT_EQ(locator, "https://example.invalid/b.zip");
  EXPECT_EQ(sha, pin);
  EXPECT_EQ(engine.stagedBank()->instrumentId, "pads");  // from the cache folder
  ::unsetenv("XDG_DATA_HOME");
}

// ---- Pad overrides ----

TEST_F(EngineBanks, OverrideListsAreRefusedWholeOrPublishedWithANewGeneration) {
  EXPECT_EQ(engine.publishedPadOverrides(), nullptr);
  ASSERT_TRUE(engine.publishSamplerPadOverrides({pad("kick")}));
  const auto published = engine.padOverrides();
  SamplerPadOverrides tooMany(257, pad("p"));
  const SamplerPadOverrides refused[] = {
      tooMany, {pad(std::string(161, 'x'))}, {pad("")}, {pad("snare", 0)}};
  for (const SamplerPadOverrides& list : refused) {
    EXPECT_FALSE(engine.publishSamplerPadOverrides(list)) << list.size();
    EXPECT_EQ(engine.publishedPadOverrides(), published.get());
  }
  EXPECT_EQ(engine.padOverridesGeneration(), 1u);
  SamplerPadOverrides full;
  for (int i = 0; i < 256; ++i)
    full.push_back(pad(std::string(157, 'x') + std::to_string(100 + i)));
  EXPECT_TRUE(engine.publishSamplerPadOverrides(full));
  EXPECT_EQ(*engine.padOverrides(), full);
  EXPECT_EQ(engine.padOverridesGeneration(), 2u);
  EXPECT_EQ(nextPadOverridesGeneration(0xFFFFFFFFu), 1u);
}

TEST_F(EngineBanks, ReplacedListsLiveOnlyWhileTheAudioThreadUsesThem) {
  ASSERT_TRUE(engine.publishSamplerPadOverrides({pad("a")}));
  ASSERT_TRUE(engine.publishSamplerPadOverrides({pad("b")}));
  EXPECT_EQ(engine.retiredPadOverrideCount(), 0u);  // nothing took the first list into use
  const SamplerPadOverrides* inUse = engine.publishedPadOverrides();
  engine.acknowledgePadOverrides(inUse);
  ASSERT_TRUE(engine.publishSamplerPadOverrides({pad("c")}));
  ASSERT_TRUE(engine.publishSamplerPadOverrides({}));
  EXPECT_EQ(engine.retiredPadOverrideCount(), 1u);
  EXPECT_EQ(inUse->front().padId, "b");  // still alive
}

TEST_F(EngineBanks, SingleKeyPadsTakeTheirOverridesVelocitySensitivity) {
  RuntimeBankLoad load = loadRuntimeBank(bankFolder, 0, "pads");
  ASSERT_EQ(load.outcome, RuntimeBankOutcome::Ok) << load.error;
  // Only the first entry of an id counts; a pad without the value, a zone over two keys and
  // a key-tracking zone keep full sensitivity.
  const SamplerPadOverrides overrides = {sensitivity("kick", 0.25), sensitivity("kick", 0.75),
                                         pad("snare"), sensitivity("wide", 0.5),
                                         sensitivity("tracked", 0.5)};
  engine.refreshSamplerPadVelocitySensitivity(&overrides, &load.bank, 0);
  for (int key = -1; key <= 128; ++key)
    EXPECT_EQ(engine.padVelocitySensitivity(key), key == 36 ? 0.25f : 1.0f) << key;
  engine.setSamplerVelocityParams(1, 3, 2);
  engine.setParamValue(2, 0.0);
  EXPECT_DOUBLE_EQ(engine.resolveSamplerVelocity(36, 0.2), 1 - 0.25 + 0.2 * 0.25);
  EXPECT_DOUBLE_EQ(engine.resolveSamplerVelocity(38, 0.2), 0.2);

  // Without a bank (always, in this product) every key answers fully again.
  ASSERT_TRUE(engine.publishSamplerPadOverrides(overrides));
  EXPECT_EQ(engine.padVelocitySensitivity(36), 1.0f);
}

TEST_F(EngineBanks, SamplerVelocityRules) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(engine.resolveSamplerVelocity(60, -0.5), -0.5);  // unassigned: untouched
  EXPECT_TRUE(std::isnan(engine.resolveSamplerVelocity(60, nan)));

  // Mode, fixed velocity and humanize read chord.mode, chord.velocity and chord.spread.
  engine.setSamplerVelocityParams(1, 3, 2);
  engine.setParamValue(2, 0.0);
  struct Case {
    double mode, fixed, velocity, expected;
  } cases[] = {
      {0, 0.8, 0.5, 0.5}, {0, 0.8, 7, 1.0},        {0, 0.8, nan, 0.01}, {0, 0.8, -1, 0.01},
      {1, 0.8, 0.2, 0.8}, {1.4, 0.005, 0.9, 0.01}, {0.5, 2, 0.3, 1.0},  {1, nan, 0.3, 0.01},
  };
  for (const Case& c : cases) {
    engine.setParamValue(1, c.mode);
    engine.setParamValue(3, c.fixed);
    EXPECT_DOUBLE_EQ(engine.resolveSamplerVelocity(60, c.velocity), c.expected)
        << c.mode << " " << c.fixed << " " << c.velocity;
  }

  // Humanizing varies the velocity by at most the amount, capped at 0.25.
  engine.setParamValue(1, 0);
  engine.setParamValue(2, 1.0);
  double lowest = 1, highest = 0;
  for (int i = 0; i < 200; ++i) {
    const double v = engine.resolveSamplerVelocity(60, 0.5);
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_GE(lowest, 0.5 * 0.75);
  EXPECT_LE(highest, 0.5 * 1.25);
  EXPECT_LT(lowest, 0.45);
  EXPECT_GT(highest, 0.55);
}

}  // namespace
}  // namespace norvo
