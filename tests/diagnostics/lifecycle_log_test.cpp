// Lifecycle kinds, event details, the 256-event log and the "norvo.lifecycle" messages.
#include "diagnostics/lifecycle_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "diagnostics/lifecycle_json.h"

namespace norvo {
namespace {

std::string eventJson(const DiagnosticLifecycleEvent& event) {
  std::string out;
  writeDiagnosticLifecycleEventJson(out, event);
  return out;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

TEST(DiagnosticLifecycleKinds, NamesInTableOrderAndExactLookup) {
  const char* const expected[] = {"created",
                                  "configured",
                                  "activated",
                                  "deactivated",
                                  "reset",
                                  "destroyed",
                                  "editorOpened",
                                  "editorClosed",
                                  "editorError",
                                  "stateSaved",
                                  "stateRestored",
                                  "presetLoaded",
                                  "presetSaved",
                                  "latencyChanged",
                                  "tailChanged",
                                  "tempoChanged",
                                  "timeSignatureChanged",
                                  "sampleRateChanged",
                                  "blockSizeChanged",
                                  "busLayoutChanged",
                                  "processModeChanged",
                                  "bypassChanged",
                                  "ccMapChanged",
                                  "stimulus",
                                  "runtimeDiagnostic"};
  for (std::uint32_t i = 0; i < kDiagnosticLifecycleKindCount; ++i) {
    const auto kind = static_cast<DiagnosticLifecycleKind>(i);
    EXPECT_STREQ(diagnosticLifecycleKindName(kind), expected[i]);
    DiagnosticLifecycleKind found = DiagnosticLifecycleKind::created;
    ASSERT_TRUE(diagnosticLifecycleKindFromName(expected[i], found)) << expected[i];
    EXPECT_EQ(found, kind);
  }
  EXPECT_EQ(diagnosticLifecycleKindName(static_cast<DiagnosticLifecycleKind>(25)), nullptr);

  DiagnosticLifecycleKind kind = DiagnosticLifecycleKind::reset;
  EXPECT_FALSE(diagnosticLifecycleKindFromName("TempoChanged", kind));
  EXPECT_FALSE(diagnosticLifecycleKindFromName(nullptr, kind));
  EXPECT_FALSE(diagnosticLifecycleKindFromName("tempoChanged ", kind));
  EXPECT_EQ(kind, DiagnosticLifecycleKind::reset) << "a failed lookup leaves the kind alone";
}

TEST(DiagnosticLifecycleEventJson, MembersAndDetailsInOrder) {
  DiagnosticLifecycleEvent event;
  event.seq = 7;
  event.timeMs = 12.5;
  event.atFrame = 480;
  event.kind = DiagnosticLifecycleKind::latencyChanged;
  event.addNumber("latencySamples", 64);
  event.addNumber("previous", INFINITY);
  event.addBool("reported", true);
  event.addString("layout", "st\"ereo");
  event.addNull("none");
  event.addString(nullptr, nullptr);
  event.addBool("seventh", false);  // ignored
  EXPECT_EQ(event.detailCount, 6u);
  EXPECT_EQ(eventJson(event),
            "{\"seq\":7,\"timeMs\":12.5,\"atFrame\":480,\"kind\":\"latencyChanged\",\"detail\":{"
            "\"latencySamples\":64,\"previous\":null,\"reported\":true,\"layout\":\"st\\\"ereo\","
            "\"none\":null,\"\":\"\"}}");
}

TEST(DiagnosticLifecycleEventJson, OptionalMembersAndFallbackKind) {
  DiagnosticLifecycleEvent event;
  event.seq = 1;
  event.timeMs = NAN;
  event.kind = static_cast<DiagnosticLifecycleKind>(40);
  EXPECT_EQ(eventJson(event), "{\"seq\":1,\"timeMs\":null,\"kind\":\"runtimeDiagnostic\"}");
}

TEST(DiagnosticLifecycleEvent, LongNamesAndTextsAreCut) {
  DiagnosticLifecycleEvent event;
  const std::string name(40, 'n');
  const std::string text(100, 't');
  event.addString(name.c_str(), text.c_str());
  EXPECT_EQ(std::string(event.details[0].name), std::string(23, 'n'));
  EXPECT_EQ(std::string(event.details[0].text), std::string(63, 't'));
}

TEST(DiagnosticLifecycleLog, RecordsSequenceTimeAndClearedSlots) {
  auto log = std::make_unique<DiagnosticLifecycleLog>();
  EXPECT_NE(log->epochNs(), 0);
  DiagnosticLifecycleEvent& first = log->record(DiagnosticLifecycleKind::created, -1);
  first.addNumber("a", 1);
  DiagnosticLifecycleEvent& second = log->record(DiagnosticLifecycleKind::activated, 256);
  EXPECT_EQ(first.seq, 1u);
  EXPECT_EQ(second.seq, 2u);
  EXPECT_EQ(second.detailCount, 0u);
  EXPECT_EQ(second.atFrame, 256);
  EXPECT_GE(first.timeMs, 0.0);
  EXPECT_GE(second.timeMs, first.timeMs);
  EXPECT_EQ(log->count(), 2u);
  EXPECT_EQ(log->nextSequence(), 2u);
  EXPECT_EQ(&log->at(1), &second);
  EXPECT_EQ(&log->at(2), &first) << "an index past the end gives the oldest";
  EXPECT_GE(log->nowMs(), second.timeMs);
}

TEST(DiagnosticLifecycleLog, TwoHundredFiftySeventhEventOverwritesTheFirst) {
  auto log = std::make_unique<DiagnosticLifecycleLog>();
  for (int i = 0; i < 257; ++i) {
    DiagnosticLifecycleEvent& event = log->record(DiagnosticLifecycleKind::stimulus, i);
    event.addNumber("i", i);
  }
  EXPECT_EQ(log->count(), 256u);
  EXPECT_EQ(log->dropped(), 1u);
  EXPECT_EQ(log->at(0).seq, 2u);
  EXPECT_EQ(log->at(255).seq, 257u);
  EXPECT_EQ(log->at(255).details[0].number, 256.0);

  std::string out;
  ASSERT_TRUE(writeDiagnosticLifecycleReplayJson(out, *log));
  EXPECT_EQ(out.rfind("{\"type\":\"norvo.lifecycle\",\"events\":[{\"seq\":2,\"timeMs\":", 0), 0u);
  const std::string tail = ",\"kind\":\"stimulus\",\"detail\":{\"i\":256}}],\"dropped\":1}";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(occurrences(out, "{\"seq\":"), 256u);
}

TEST(DiagnosticLifecycleJson, EventListMessages) {
  DiagnosticLifecycleEvent events[2];
  events[0].seq = 3;
  events[0].kind = DiagnosticLifecycleKind::stateSaved;
  events[0].addNumber("stateBytes", 1234);
  events[1].seq = 4;
  events[1].timeMs = 0.25;
  events[1].kind = DiagnosticLifecycleKind::ccMapChanged;

  std::string out = "X";
  EXPECT_FALSE(writeDiagnosticLifecycleJson(out, events, 0, 5));
  EXPECT_FALSE(writeDiagnosticLifecycleJson(out, nullptr, 2, 0));
  EXPECT_EQ(out, "X");

  ASSERT_TRUE(writeDiagnosticLifecycleJson(out, events, 2, 0));
  EXPECT_EQ(out,
            "X{\"type\":\"norvo.lifecycle\",\"events\":[{\"seq\":3,\"timeMs\":0,\"kind\":"
            "\"stateSaved\",\"detail\":{\"stateBytes\":1234}},{\"seq\":4,\"timeMs\":0.25,\"kind\":"
            "\"ccMapChanged\"}]}");
  out.clear();
  ASSERT_TRUE(writeDiagnosticLifecycleJson(out, events + 1, 1, 9));
  EXPECT_EQ(out,
            "{\"type\":\"norvo.lifecycle\",\"events\":[{\"seq\":4,\"timeMs\":0.25,\"kind\":"
            "\"ccMapChanged\"}],\"dropped\":9}");
}

TEST(DiagnosticLifecycleJson, EmptyLogReplaysNothing) {
  auto log = std::make_unique<DiagnosticLifecycleLog>();
  std::string out;
  EXPECT_FALSE(writeDiagnosticLifecycleReplayJson(out, *log));
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace norvo
