// Identity, capabilities, bank and preset state objects and the hello message's blocks.
#include "diagnostics/identity_json.h"

#include <gtest/gtest.h>

#include <string>

#include "common/fixed_text.h"
#include "diagnostics/hello_blocks_json.h"
#include "diagnostics/preset_state_json.h"

namespace norvo {
namespace {

const std::string kIdentityHead =
    "{\"moduleId\":\"music.norvo.chord\",\"name\":\"Chord\",\"vendor\":\"Norvo Music\","
    "\"version\":\"0.1.0\",\"hostClass\":\"effect\",\"target\":\"vst3\",\"sdkVersion\":\"0.0.0\","
    "\"build\":{\"mode\":\"production\",\"configuration\":\"Release\"}";
const std::string kIdentityTail =
    ",\"ratePolicy\":{\"mode\":\"host-native\"},\"state\":{\"version\":1,\"maxBytes\":65536},"
    "\"ports\":[{\"id\":\"midi-in\",\"kind\":\"midi\",\"direction\":\"input\",\"busRole\":\"main\"}"
    "]}";

TEST(DiagnosticIdentityJson, WithoutEditorBundleFacts) {
  std::string out;
  writeDiagnosticIdentityJson(out, kTargetVst3, UiBundleFacts{});
  EXPECT_EQ(out, kIdentityHead + kIdentityTail);
}

TEST(DiagnosticIdentityJson, UiBlockHoldsOnlyTheFactsPresent) {
  UiBundleFacts ui;
  copyFixedText(ui.sha256, "abc123");
  std::string out;
  writeDiagnosticIdentityJson(out, kTargetVst3, ui);
  EXPECT_EQ(out, kIdentityHead + ",\"ui\":{\"sha256\":\"abc123\"}" + kIdentityTail);

  copyFixedText(ui.buildTime, "2026-12-07");
  copyFixedText(ui.sourceRevision, "r42");
  out.clear();
  writeDiagnosticIdentityJson(out, kTargetVst3, ui);
  EXPECT_EQ(out, kIdentityHead +
                     ",\"ui\":{\"buildTime\":\"2026-12-07\",\"sourceRevision\":\"r42\","
                     "\"sha256\":\"abc123\"}" +
                     kIdentityTail);
}

TEST(DiagnosticIdentityJson, TargetNames) {
  EXPECT_STREQ(diagnosticTargetName(kTargetVst3), "vst3");
  EXPECT_STREQ(diagnosticTargetName(kTargetClap), "clap");
  EXPECT_STREQ(diagnosticTargetName(kTargetAu), "au");
  EXPECT_STREQ(diagnosticTargetName(kTargetStandalone), "standalone");
  EXPECT_STREQ(diagnosticTargetName(kTargetOffline), "offline");
  EXPECT_STREQ(diagnosticTargetName(5), "offline");
  std::string out;
  writeDiagnosticIdentityJson(out, kTargetClap, UiBundleFacts{});
  EXPECT_NE(out.find("\"target\":\"clap\""), std::string::npos);
}

TEST(DiagnosticBankJson, IdAlwaysOtherMembersOnlyWhenKnown) {
  BankFacts bank;
  std::string out;
  writeDiagnosticBankJson(out, bank);
  EXPECT_EQ(out, "{\"id\":\"\"}");

  copyFixedText(bank.id, "drums");
  copyFixedText(bank.name, "Drums");
  copyFixedText(bank.kind, "sampler");
  copyFixedText(bank.version, "1.2");
  copyFixedText(bank.sha256, "ff");
  copyFixedText(bank.source, "hosted");
  copyFixedText(bank.entryId, "kit-1");
  bank.index = 0;
  bank.zoneCount = 12;
  bank.roundRobinGroups = 2;
  bank.chokeGroups = 1;
  bank.velocityLayers = 3;
  bank.padCount = 16;
  out.clear();
  writeDiagnosticBankJson(out, bank);
  EXPECT_EQ(out,
            "{\"id\":\"drums\",\"name\":\"Drums\",\"kind\":\"sampler\",\"version\":\"1.2\","
            "\"sha256\":\"ff\",\"source\":\"hosted\",\"entryId\":\"kit-1\",\"index\":0,"
            "\"zoneCount\":12,\"roundRobinGroups\":2,\"chokeGroups\":1,\"velocityLayers\":3,"
            "\"padCount\":16}");
}

TEST(DiagnosticPresetStateJson, DefaultsAndFullFacts) {
  PresetStateFacts facts;
  std::string out;
  writeDiagnosticPresetStateJson(out, facts);
  EXPECT_EQ(out, "{\"factoryCount\":0,\"dirty\":false,\"userPresetsSupported\":false}");

  facts.factoryCount = 3;
  copyFixedText(facts.currentId, "init");
  copyFixedText(facts.currentName, "Init");
  facts.dirty = true;
  facts.lastStateBytes = 0;
  facts.bank.present = true;  // present without an id: still no "bank"
  out.clear();
  writeDiagnosticPresetStateJson(out, facts);
  EXPECT_EQ(out,
            "{\"factoryCount\":3,\"currentId\":\"init\",\"currentName\":\"Init\",\"dirty\":true,"
            "\"userPresetsSupported\":false,\"lastStateBytes\":0}");

  copyFixedText(facts.bank.id, "b");
  facts.bank.padCount = 8;
  out.clear();
  writeDiagnosticPresetStateJson(out, facts);
  EXPECT_EQ(out,
            "{\"factoryCount\":3,\"currentId\":\"init\",\"currentName\":\"Init\",\"dirty\":true,"
            "\"userPresetsSupported\":false,\"lastStateBytes\":0,\"bank\":{\"id\":\"b\","
            "\"padCount\":8}}");
  facts.bank.present = false;  // an id without presence: no "bank"
  out.clear();
  writeDiagnosticPresetStateJson(out, facts);
  EXPECT_EQ(out.find("\"bank\""), std::string::npos);
}

TEST(DiagnosticCompiledBanks, NoneInThisProduct) {
  EXPECT_EQ(compiledBankCount(), 0u);
  BankFacts facts;
  facts.present = true;
  facts.zoneCount = 4;
  copyFixedText(facts.id, "x");
  EXPECT_FALSE(describeCompiledBank(0, facts));
  EXPECT_FALSE(facts.present);
  EXPECT_EQ(facts.zoneCount, -1);
  EXPECT_STREQ(facts.id, "");
  std::string out = "x";
  writeDiagnosticBanksJson(out);
  EXPECT_EQ(out, "x");
}

TEST(DiagnosticHelloBlocks, HostBlockOnlyOnceARateIsKnown) {
  HostFacts host;
  PresetStateFacts presets;
  std::string identity;
  writeDiagnosticIdentityJson(identity, kTargetVst3);
  const std::string tail =
      ",\"diagnostics\":{\"feeds\":[],\"commands\":[],\"maxFeedHz\":0},\"presetState\":{"
      "\"factoryCount\":0,\"dirty\":false,\"userPresetsSupported\":false}";

  std::string out = "{\"type\":\"norvo.hello\"";
  appendDiagnosticHelloBlocks(out, kTargetVst3, host, presets);
  EXPECT_EQ(out, "{\"type\":\"norvo.hello\",\"identity\":" + identity + tail);

  host.sampleRate = 48000;
  out.clear();
  appendDiagnosticHelloBlocks(out, kTargetVst3, host, presets);
  EXPECT_EQ(out, ",\"identity\":" + identity +
                     ",\"host\":{\"sampleRate\":48000,\"maxBlockFrames\":0,\"processMode\":"
                     "\"realtime\",\"sampleSize\":32,\"latencySamples\":0,\"tailSamples\":"
                     "\"unreported\",\"buses\":[]}" +
                     tail);
}

}  // namespace
}  // namespace norvo
