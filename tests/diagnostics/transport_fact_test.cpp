// Transport snapshots: comparison, the audio-to-main-thread ring and the transport message.
#include "diagnostics/transport_fact.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "diagnostics/transport_json.h"
#include "support/allocation_counter.h"

namespace norvo {
namespace {

TEST(TransportFactCompare, MovingPositionsDoNotCountStateFieldsDo) {
  TransportFact a;
  TransportFact b;
  b.ppqPosition = 17.5;
  b.barPositionPpq = 16;
  b.atFrame = 4096;
  b.projectTimeSamples = 4096;
  EXPECT_FALSE(a.differsFrom(b));

  const auto differsAfter = [](auto change) {
    TransportFact base;
    TransportFact changed;
    change(changed);
    return base.differsFrom(changed);
  };
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.tempo = 121; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.source = kTransportSourceHost; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.playing = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.recording = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.looping = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.hasTempo = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.hasTimeSignature = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.hasPosition = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.hasLoop = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.canSetTempo = true; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.numerator = 3; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.denominator = 8; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.loopStartPpq = 4; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.loopEndPpq = 8; }));
  EXPECT_TRUE(differsAfter([](TransportFact& f) { f.sampleRate = 48000; }));

  TransportFact nan;
  nan.tempo = NAN;
  EXPECT_TRUE(nan.differsFrom(nan)) << "NaN never compares equal";
}

TEST(DiagnosticTransportRing, FreshRingHasNothingNew) {
  DiagnosticTransportRing ring;
  TransportFact fact;
  fact.tempo = 99;
  EXPECT_FALSE(ring.drainLatest(fact));
  EXPECT_EQ(fact.tempo, 99) << "an empty drain leaves the caller's fact alone";
}

TEST(DiagnosticTransportRing, OverfullRingDropsOldestAndDrainTakesNewest) {
  DiagnosticTransportRing ring;
  for (std::uint64_t i = 1; i <= 40; ++i) {
    TransportFact fact;
    fact.atFrame = i;
    fact.tempo = 100.0 + static_cast<double>(i);
    ring.push(fact);
  }
  EXPECT_EQ(ring.dropped(), 8u);
  TransportFact newest;
  ASSERT_TRUE(ring.drainLatest(newest));
  EXPECT_EQ(newest.atFrame, 40u);
  EXPECT_EQ(newest.tempo, 140.0);
  EXPECT_FALSE(ring.drainLatest(newest));

  TransportFact later;
  later.atFrame = 41;
  ring.push(later);
  ASSERT_TRUE(ring.drainLatest(newest));
  EXPECT_EQ(newest.atFrame, 41u);
  EXPECT_EQ(ring.dropped(), 8u);
}

TEST(DiagnosticTransportRing, PushNeitherAllocatesNorLocks) {
  DiagnosticTransportRing ring;
  TransportFact fact;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int i = 0; i < 100; ++i) {
      fact.atFrame = static_cast<std::uint64_t>(i);
      ring.push(fact);
    }
    counts = scope.counts();
  }
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
  EXPECT_EQ(ring.dropped(), 68u);
}

TEST(DiagnosticTransportJson, DefaultFactWritesNullsForUnsuppliedValues) {
  std::string out = "X";
  TransportFact fact;
  fact.loopStartPpq = 4;  // ignored without the loop capability
  fact.loopEndPpq = 8;
  writeDiagnosticTransportJson(out, fact);
  EXPECT_EQ(
      out,
      "X{\"type\":\"norvo.transport\",\"frame\":{\"atFrame\":0,\"source\":\"none\",\"state\":{"
      "\"playing\":false,\"recording\":false,\"looping\":false,\"tempo\":120,"
      "\"timeSignature\":{\"numerator\":4,\"denominator\":4},\"ppqPosition\":0,"
      "\"barPositionPpq\":0,\"loopStartPpq\":null,\"loopEndPpq\":null,\"sampleRate\":null,"
      "\"projectTimeSamples\":0},\"capabilities\":{\"tempo\":false,\"timeSignature\":false,"
      "\"position\":false,\"loop\":false,\"canSetTempo\":false}}}");
}

TEST(DiagnosticTransportJson, SuppliedValuesAreWritten) {
  TransportFact fact;
  fact.atFrame = 1536;
  fact.source = kTransportSourceHost;
  fact.playing = true;
  fact.looping = true;
  fact.hasTempo = true;
  fact.hasTimeSignature = true;
  fact.hasPosition = true;
  fact.hasLoop = true;
  fact.tempo = 121.5;
  fact.numerator = 7;
  fact.denominator = 8;
  fact.ppqPosition = 10.25;
  fact.barPositionPpq = 7;
  fact.loopStartPpq = 4;
  fact.loopEndPpq = INFINITY;
  fact.sampleRate = 44100;
  fact.projectTimeSamples = -256;
  std::string out;
  writeDiagnosticTransportJson(out, fact);
  EXPECT_EQ(
      out,
      "{\"type\":\"norvo.transport\",\"frame\":{\"atFrame\":1536,\"source\":\"host\",\"state\":"
      "{\"playing\":true,\"recording\":false,\"looping\":true,\"tempo\":121.5,"
      "\"timeSignature\":{\"numerator\":7,\"denominator\":8},\"ppqPosition\":10.25,"
      "\"barPositionPpq\":7,\"loopStartPpq\":4,\"loopEndPpq\":null,\"sampleRate\":44100,"
      "\"projectTimeSamples\":-256},\"capabilities\":{\"tempo\":true,\"timeSignature\":true,"
      "\"position\":true,\"loop\":true,\"canSetTempo\":false}}}");
  fact.source = kTransportSourceInternal;
  out.clear();
  writeDiagnosticTransportJson(out, fact);
  EXPECT_NE(out.find("\"source\":\"internal\""), std::string::npos);
  fact.source = 9;
  out.clear();
  writeDiagnosticTransportJson(out, fact);
  EXPECT_NE(out.find("\"source\":\"none\""), std::string::npos);
}

}  // namespace
}  // namespace norvo
