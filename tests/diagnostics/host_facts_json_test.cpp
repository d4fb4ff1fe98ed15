// Host facts: the record, the host object, the delta, the change kind and the change message.
#include "diagnostics/host_facts_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace norvo {
namespace {

std::string hostJson(const HostFacts& facts) {
  std::string out;
  writeDiagnosticHostJson(out, facts);
  return out;
}

std::string deltaJson(const HostFacts& before, const HostFacts& after) {
  std::string out;
  const bool changed = writeDiagnosticHostDeltaJson(out, before, after);
  EXPECT_EQ(changed, !out.empty());
  return out;
}

const char* kindOf(const HostFacts& before, const HostFacts& after) {
  const char* kind = diagnosticHostChangeKind(before, after);
  return kind != nullptr ? kind : "(none)";
}

TEST(HostFacts, DefaultsAndRawCopy) {
  HostFacts facts;
  EXPECT_EQ(facts.lastBlockFrames, -1);
  EXPECT_EQ(facts.sampleSize, 32);
  EXPECT_EQ(facts.busCount, 0u);
  setHostName(facts, "Ardour");
  facts.addBus("in0", true, 2, true, "stereo");
  unsigned char bytes[sizeof(HostFacts)];
  std::memcpy(bytes, &facts, sizeof facts);
  HostFacts copy;
  std::memcpy(&copy, bytes, sizeof copy);
  EXPECT_EQ(hostJson(copy), hostJson(facts));
}

TEST(HostFacts, NinthBusIsIgnoredAndTextsAreCut) {
  HostFacts facts;
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(facts.addBus(("bus" + std::to_string(i)).c_str(), false, i, true, nullptr), i < 8);
  }
  EXPECT_EQ(facts.busCount, 8u);
  EXPECT_STREQ(facts.buses[7].id, "bus7");
  HostFacts cut;
  cut.addBus(std::string(40, 'i').c_str(), true, 1, false, std::string(30, 'l').c_str());
  EXPECT_EQ(std::string(cut.buses[0].id), std::string(31, 'i'));
  EXPECT_EQ(std::string(cut.buses[0].layout), std::string(23, 'l'));
  setHostVersion(cut, std::string(100, 'v').c_str());
  EXPECT_EQ(std::string(cut.hostVersion), std::string(63, 'v'));
}

TEST(HostFactsJson, DefaultFactsWithARate) {
  HostFacts facts;
  facts.sampleRate = 44100;
  EXPECT_EQ(hostJson(facts),
            "{\"sampleRate\":44100,\"maxBlockFrames\":0,\"processMode\":\"realtime\","
            "\"sampleSize\":32,\"latencySamples\":0,\"tailSamples\":\"unreported\",\"buses\":[]}");
}

TEST(HostFactsJson, EveryMemberInOrder) {
  HostFacts facts;
  setHostName(facts, "Host \"X\"");
  setHostVersion(facts, "8.1");
  setHostPath(facts, "/usr/bin/host");
  facts.validatorHost = kValidatorNorvoProbe;
  facts.sampleRate = 48000;
  facts.maxBlockFrames = 1024;
  facts.lastBlockFrames = 0;
  facts.processMode = kProcessModeOffline;
  facts.sampleSize = 64;
  facts.latencySamples = 12;
  facts.tailKind = kTailSamples;
  facts.tailSamples = 4410;
  facts.internalSampleRate = 96000;
  facts.bypassKnown = true;
  facts.bypassed = true;
  facts.addBus("in0", true, 2, true, "stereo");
  facts.addBus("out0", false, 1, false, nullptr);
  EXPECT_EQ(
      hostJson(facts),
      "{\"hostName\":\"Host \\\"X\\\"\",\"hostVersion\":\"8.1\",\"hostPath\":\"/usr/bin/host\","
      "\"validatorHost\":\"norvo-probe\",\"sampleRate\":48000,\"maxBlockFrames\":1024,"
      "\"lastBlockFrames\":0,\"processMode\":\"offline\",\"sampleSize\":64,"
      "\"latencySamples\":12,\"tailSamples\":4410,\"internalSampleRate\":96000,\"buses\":["
      "{\"id\":\"in0\",\"direction\":\"input\",\"channels\":2,\"active\":true,\"layout\":"
      "\"stereo\"},{\"id\":\"out0\",\"direction\":\"output\",\"channels\":1,\"active\":false}],"
      "\"bypassed\":true}");
}

TEST(HostFactsJson, FallbacksAndFirstMemberWithoutComma) {
  HostFacts facts;
  setHostVersion(facts, "1.0");
  facts.validatorHost = 6;
  facts.sampleRate = NAN;
  facts.processMode = 9;
  facts.tailKind = kTailInfinite;
  facts.internalSampleRate = INFINITY;
  EXPECT_EQ(hostJson(facts),
            "{\"hostVersion\":\"1.0\",\"sampleRate\":null,\"maxBlockFrames\":0,\"processMode\":"
            "\"realtime\",\"sampleSize\":32,\"latencySamples\":0,\"tailSamples\":\"infinite\","
            "\"internalSampleRate\":null,\"buses\":[]}");
  const char* names[] = {nullptr, "pluginval",           "clap-validator",
                         "auval", "steinberg-validator", "norvo-probe",
                         nullptr};
  for (std::uint8_t kind = 0; kind < 7; ++kind) {
    const char* name = hostValidatorName(kind);
    if (names[kind] == nullptr) {
      EXPECT_EQ(name, nullptr);
    } else {
      EXPECT_STREQ(name, names[kind]);
    }
  }
  facts.processMode = kProcessModePrefetch;
  EXPECT_NE(hostJson(facts).find("\"processMode\":\"prefetch\""), std::string::npos);

  // A tail kind past the table reads as unreported, in the host object and in a delta.
  HostFacts before;
  HostFacts after;
  after.tailKind = 5;
  after.tailSamples = 77;
  EXPECT_EQ(hostJson(after),
            "{\"sampleRate\":0,\"maxBlockFrames\":0,\"processMode\":\"realtime\",\"sampleSize\":32,"
            "\"latencySamples\":0,\"tailSamples\":\"unreported\",\"buses\":[]}");
  EXPECT_EQ(deltaJson(before, after), "{\"tailSamples\":\"unreported\"}");
  EXPECT_STREQ(kindOf(before, after), "tailChanged");
}

TEST(HostFactsDelta, LastBlockFramesAppearsOnlyWhenKnown) {
  HostFacts before;
  HostFacts after;
  after.lastBlockFrames = 512;
  EXPECT_EQ(deltaJson(before, after), "{\"lastBlockFrames\":512}");
  EXPECT_STREQ(kindOf(before, after), "blockSizeChanged");
  std::string message;
  EXPECT_TRUE(writeDiagnosticHostChangedJson(message, before, after, 3, 1.5));
  EXPECT_EQ(message,
            "{\"type\":\"norvo.hostChanged\",\"host\":{\"lastBlockFrames\":512},\"event\":{"
            "\"seq\":3,\"timeMs\":1.5,\"kind\":\"blockSizeChanged\"}}");

  EXPECT_EQ(deltaJson(after, before), "");
  message = "keep";
  EXPECT_FALSE(writeDiagnosticHostChangedJson(message, after, before, 4, 0));
  EXPECT_EQ(message, "keep");
}

TEST(HostFactsDelta, EveryMemberInOrderWithNewValues) {
  HostFacts before;
  HostFacts after;
  after.sampleRate = 48000;
  after.maxBlockFrames = 256;
  after.lastBlockFrames = 128;
  after.processMode = kProcessModePrefetch;
  after.sampleSize = 64;
  after.latencySamples = 32;
  after.tailKind = kTailInfinite;
  after.internalSampleRate = 44100;
  after.addBus("out0", false, 2, true, "stereo");
  after.bypassKnown = true;
  setHostName(after, "ignored");
  after.validatorHost = kValidatorAuval;
  EXPECT_EQ(deltaJson(before, after),
            "{\"sampleRate\":48000,\"maxBlockFrames\":256,\"lastBlockFrames\":128,\"processMode\":"
            "\"prefetch\",\"sampleSize\":64,\"latencySamples\":32,\"tailSamples\":\"infinite\","
            "\"internalSampleRate\":44100,\"buses\":[{\"id\":\"out0\",\"direction\":\"output\","
            "\"channels\":2,\"active\":true,\"layout\":\"stereo\"}],\"bypassed\":false}");
}

TEST(HostFactsDelta, IdentityAndUnknownBypassAreNotChanges) {
  HostFacts before;
  HostFacts after;
  setHostName(after, "Other");
  setHostPath(after, "/x");
  after.validatorHost = kValidatorPluginval;
  EXPECT_EQ(deltaJson(before, after), "");
  EXPECT_STREQ(kindOf(before, after), "(none)");

  before.bypassKnown = true;
  before.bypassed = true;
  EXPECT_EQ(deltaJson(before, after), "") << "a bypass state that became unknown is no change";
  after.bypassKnown = true;
  after.bypassed = true;
  EXPECT_EQ(deltaJson(before, after), "");
  after.bypassed = false;
  EXPECT_EQ(deltaJson(before, after), "{\"bypassed\":false}");
  EXPECT_STREQ(kindOf(before, after), "bypassChanged");

  HostFacts nanBefore;
  HostFacts nanAfter;
  nanBefore.sampleRate = NAN;
  nanAfter.sampleRate = NAN;
  EXPECT_EQ(deltaJson(nanBefore, nanAfter), "") << "an unknown rate that stays unknown";
}

TEST(HostFactsDelta, InternalRateDroppedToZeroIsAKindButNoMember) {
  HostFacts before;
  HostFacts after;
  before.internalSampleRate = 96000;
  EXPECT_EQ(deltaJson(before, after), "");
  EXPECT_STREQ(kindOf(before, after), "sampleRateChanged");
}

struct KindCase {
  const char* name;
  void (*change)(HostFacts&);
  const char* kind;
};

class HostChangeKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(HostChangeKindTest, FirstApplicableRuleWins) {
  HostFacts before;
  before.sampleRate = 44100;
  before.maxBlockFrames = 512;
  before.addBus("in0", true, 2, true, "stereo");
  HostFacts after = before;
  GetParam().change(after);
  EXPECT_STREQ(kindOf(before, after), GetParam().kind);
}

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Rules, HostChangeKindTest,
    ::testing::Values(
        KindCase{"rateAndLatency",
                 [](HostFacts& f) {
                   f.sampleRate = 48000;
                   f.latencySamples = 9;
                 },
                 "sampleRateChanged"},
        KindCase{"blockAndBuses",
                 [](HostFacts& f) {
                   f.maxBlockFrames = 64;
                   f.busCount = 0;
                 },
                 "blockSizeChanged"},
        KindCase{"busCount", [](HostFacts& f) { f.addBus("in1", true, 1, true, "mono"); },
                 "busLayoutChanged"},
        KindCase{"busChannels", [](HostFacts& f) { f.buses[0].channels = 1; }, "busLayoutChanged"},
        KindCase{"busDirection", [](HostFacts& f) { f.buses[0].isInput = false; },
                 "busLayoutChanged"},
        KindCase{"busActive", [](HostFacts& f) { f.buses[0].active = false; }, "busLayoutChanged"},
        KindCase{"busId", [](HostFacts& f) { f.buses[0].id[2] = '9'; }, "busLayoutChanged"},
        KindCase{"busLayout", [](HostFacts& f) { f.buses[0].layout[0] = '\0'; },
                 "busLayoutChanged"},
        KindCase{"latencyAndTail",
                 [](HostFacts& f) {
                   f.latencySamples = 5;
                   f.tailKind = 2;
                 },
                 "latencyChanged"},
        KindCase{"tailSamples", [](HostFacts& f) { f.tailSamples = 100; }, "tailChanged"},
        KindCase{"modeAndBypass",
                 [](HostFacts& f) {
                   f.processMode = 1;
                   f.bypassKnown = true;
                 },
                 "processModeChanged"},
        KindCase{"bypassAndLastBlock",
                 [](HostFacts& f) {
                   f.bypassKnown = true;
                   f.lastBlockFrames = 64;
                 },
                 "bypassChanged"},
        KindCase{"lastBlockAndSampleSize",
                 [](HostFacts& f) {
                   f.lastBlockFrames = 64;
                   f.sampleSize = 64;
                 },
                 "blockSizeChanged"},
        KindCase{"sampleSizeOnly", [](HostFacts& f) { f.sampleSize = 64; }, "configured"},
        KindCase{"internalRate", [](HostFacts& f) { f.internalSampleRate = 48000; },
                 "sampleRateChanged"},
        KindCase{"nothing", [](HostFacts& f) { f.hostName[0] = 'x'; }, "(none)"}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(HostChangedJson, RateAndLatencyTogether) {
  HostFacts before;
  HostFacts after;
  after.sampleRate = 96000;
  after.latencySamples = 64;
  std::string out;
  ASSERT_TRUE(writeDiagnosticHostChangedJson(out, before, after, 12, INFINITY));
  EXPECT_EQ(out,
            "{\"type\":\"norvo.hostChanged\",\"host\":{\"sampleRate\":96000,\"latencySamples\":64},"
            "\"event\":{\"seq\":12,\"timeMs\":null,\"kind\":\"sampleRateChanged\"}}");
}

}  // namespace
}  // namespace norvo
