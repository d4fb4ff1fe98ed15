// The edit controller of the built Chord.vst3 driven as its page drives it, through
// `norvo-probe bridge`: the hello, a page edit that reaches the next chord, the CC map across a
// host's save and restore of both states, the page's state round trip, a bank folder refused by
// the engine, lifecycle events for a subscribed page, and malformed messages.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "support/banks/test_bank.h"
#include "support/e2e/chord_reference.h"
#include "support/e2e/probe_runner.h"

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBundle = NORVO_BUNDLE_PATH;
const std::string kFreshState =
    R"({"params":{"chord.on":1,"chord.mode":0,"chord.spread":0,"chord.velocity":0.8},)"
    R"("variation":16})";
const std::string kSetMap =
    R"({"type":"norvo.setCcMap","map":{"bindings":[{"cc":20,"channel":3,"path":"chord.mode"}]}})";

struct BridgeRun {
  std::vector<std::string> out;  // one entry per line
  std::string err;
};

BridgeRun bridge(const std::vector<std::string>& input,
                 const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{kProbe, "bridge", kBundle};
  argv.insert(argv.end(), options.begin(), options.end());
  std::string text;
  for (const std::string& line : input) text += line + "\n";
  const CommandResult r = runCommand(argv, text);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  BridgeRun run{{}, r.err};
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) run.out.push_back(line);
  return run;
}

// The lines that start with `prefix`.
std::vector<std::string> starting(const BridgeRun& run, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : run.out)
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

// The document inside a {"probe":..,"state":DOCUMENT} line.
std::string stateOf(const std::string& line) {
  const std::size_t start = line.find(R"("state":)") + 8;
  return line.substr(start, line.size() - start - 1);
}

TEST(BridgeProbe, HelloThenAPageEditReachesTheNextChordWithoutAnEcho) {
  const BridgeRun run =
      bridge({R"({"type":"norvo.ready"})",
              R"({"type":"norvo.setParam","path":"chord.spread","value":1})", "!play 60"});
  ASSERT_EQ(run.out.size(), 3u) << run.err;
  const std::string hello =
      R"({"type":"norvo.hello","plugin":{"id":"music.norvo.chord","name":"Chord",)"
      R"("vendor":"Norvo Music","version":"0.1.0"},"params":[)"
      R"({"path":"chord.on","value":1,"normalized":1},)"
      R"({"path":"chord.mode","value":0,"normalized":0},)"
      R"({"path":"chord.spread","value":0,"normalized":0.5},)"
      R"({"path":"chord.velocity","value":0.8,"normalized":0.8}],"factoryPresets":[],)"
      R"("identity":{"moduleId":"music.norvo.chord","name":"Chord","vendor":"Norvo Music",)"
      R"("version":"0.1.0","hostClass":"effect","target":"vst3","sdkVersion":"0.0.0",)"
      R"("build":{"mode":"production","configuration":"Release"},)"
      R"("ratePolicy":{"mode":"host-native"},"state":{"version":1,"maxBytes":65536},)"
      R"("ports":[{"id":"midi-in","kind":"midi","direction":"input","busRole":"main"}]},)"
      R"("host":{"hostName":"norvo-probe","validatorHost":"norvo-probe","sampleRate":48000,)"
      R"("maxBlockFrames":512,"processMode":"realtime","sampleSize":32,"latencySamples":0,)"
      R"("tailSamples":"unreported","buses":[]},)"
      R"("diagnostics":{"feeds":[],"commands":[],"maxFeedHz":0},)"
      R"("presetState":{"factoryCount":0,"dirty":false,"userPresetsSupported":false,)"
      R"("lastStateBytes":)" +
      std::to_string(kFreshState.size()) + "}}";
  static const std::regex uiFacts(
      R"(,"ui":\{"buildTime":"[^"]+","sourceRevision":"[^"]+","sha256":"[0-9a-f]{64}"\})");
  EXPECT_EQ(std::regex_replace(run.out[0], uiFacts, ""), hello);
  EXPECT_EQ(run.out[1], R"({"probe":"edits","edits":[{"id":2,"normalized":0.75}]})");

  ChordReference reference;
  reference.set("chord.spread", 1);
  EXPECT_EQ(run.out[2], probePlayLine(reference, 60));
}

TEST(BridgeProbe, CcMapAnswersTheHostAndSurvivesASaveAndRestoreOfBothStates) {
  const std::string mapped = R"("midiMapping":[{"channel":2,"cc":20,"id":1}]})";
  const BridgeRun first =
      bridge({"!controller", kSetMap, "!controller", "!processor-state", "!controller-state"});
  ASSERT_EQ(first.out.size(), 5u) << first.err;
  EXPECT_NE(first.out[0].find(R"("midiMapping":[]})"), std::string::npos);
  EXPECT_EQ(first.out[1].rfind(R"({"type":"norvo.ccMapChanged")", 0), 0u);
  EXPECT_NE(first.out[2].find(mapped), std::string::npos);
  EXPECT_NE(stateOf(first.out[3]).find(R"("ccMap")"), std::string::npos);
  EXPECT_EQ(stateOf(first.out[4]),
            R"({"ccMap":{"version":1,"bindings":[{"cc":20,"path":"chord.mode","channel":3}]}})");

  TempDir dir;
  std::ofstream(dir.path("processor.json")) << stateOf(first.out[3]);
  std::ofstream(dir.path("controller.json")) << stateOf(first.out[4]);
  const BridgeRun restored = bridge(
      {"!controller", "!controller-state"},
      {"--state", dir.path("processor.json"), "--controller-state", dir.path("controller.json")});
  ASSERT_EQ(restored.out.size(), 2u) << restored.err;
  EXPECT_NE(restored.out[0].find(mapped), std::string::npos);
  EXPECT_EQ(restored.out[1], first.out[4]);
}

TEST(BridgeProbe, PageStateRoundTrips) {
  const BridgeRun first =
      bridge({R"({"type":"norvo.setParam","path":"chord.mode","value":3})",
              R"({"type":"norvo.setParam","path":"chord.velocity","value":0.25})", kSetMap,
              R"({"type":"norvo.getState"})", "!controller"});
  const std::vector<std::string> state = starting(first, R"({"type":"norvo.state","state":)");
  ASSERT_EQ(state.size(), 1u) << first.err;
  const std::string document = stateOf(state[0]);
  EXPECT_EQ(document.rfind(R"({"params":{"chord.on":1,"chord.mode":3,"chord.spread":0,)"
                           R"("chord.velocity":0.25},"ccMap":)",
                           0),
            0u);

  const BridgeRun second = bridge({R"({"type":"norvo.setState","state":)" + document + "}",
                                   R"({"type":"norvo.getState"})", "!controller"});
  EXPECT_EQ(starting(second, R"({"type":"norvo.state")"), state);
  EXPECT_EQ(second.out.back(), first.out.back());
}

TEST(BridgeProbe, ABankFolderReachesTheProcessorAndIsRefusedByTheEngine) {
  test::TempFolder folder;
  test::writeTestBank(folder, "bank");
  const BridgeRun run = bridge({R"({"type":"norvo.loadBank","source":"user-folder","bankPath":")" +
                                folder / "bank" + R"("})"});
  const std::vector<std::string> report = starting(run, R"({"type":"norvo.runtimeDiagnostics")");
  ASSERT_EQ(report.size(), 1u) << run.err;
  EXPECT_NE(report[0].find("runtime bank load refused (bank-too-large): the engine refused the "
                           "staged bank (arena capacity)"),
            std::string::npos);
  EXPECT_EQ(starting(run, R"({"type":"norvo.bankState")"),
            std::vector<std::string>{
                R"({"type":"norvo.bankState","reason":"loadBank","stateVersion":1,"pads":{},)"
                R"("banks":[],"presets":{"bankScoped":false,"items":[]},)"
                R"("error":{"code":"bank-too-large","requestedId":")" +
                folder / "bank" + R"("}})"});
}

TEST(BridgeProbe, LifecycleEventsReachASubscribedPageOnly) {
  const BridgeRun run = bridge({R"({"type":"norvo.diag.subscribe","feeds":["lifecycle"]})", kSetMap,
                                R"({"type":"norvo.diag.unsubscribe"})", kSetMap});
  const std::vector<std::string> events = starting(run, R"({"type":"norvo.lifecycle")");
  ASSERT_EQ(events.size(), 2u) << run.err;
  EXPECT_NE(events[0].find(R"({"seq":1,"timeMs":)"), std::string::npos);
  EXPECT_NE(events[0].find(R"("kind":"created"})"), std::string::npos);
  static const std::regex mapEvent(
      R"(\{"type":"norvo.lifecycle","events":\[\{"seq":\d+,"timeMs":[0-9.e+-]+,)"
      R"("kind":"ccMapChanged","detail":\{"bindings":1\}\}\]\})");
  EXPECT_TRUE(std::regex_match(events[1], mapEvent)) << events[1];
  EXPECT_EQ(starting(run, R"({"type":"norvo.ccMapChanged")").size(), 2u);
}

TEST(BridgeProbe, MalformedMessagesGiveOneLineEachAndChangeNothing) {
  const std::vector<std::string> look{"!controller", "!processor-state", "!controller-state"};
  const std::vector<std::string> malformed{
      "{", R"({"type":"norvo.setParam","path":"chord.mode","value":"3"})",
      R"({"type":"norvo.setCcMap","map":{"bindings":[{"cc":1,"path":2}]}} x)", "[]"};
  std::vector<std::string> input = malformed;
  input.insert(input.end(), look.begin(), look.end());
  const BridgeRun run = bridge(input);
  std::string lines;
  for (const std::string& m : malformed)
    lines +=
        "norvo-plugin-shell: malformed bridge message (" + std::to_string(m.size()) + " bytes)\n";
  EXPECT_EQ(run.err, lines);
  EXPECT_EQ(run.out, bridge(look).out);
}

}  // namespace
}  // namespace norvo::e2e
