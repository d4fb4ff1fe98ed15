// Chord.vst3's processor state and messages through the built module, hosted directly: a state
// moves between processors with its CC map, pad overrides and chords; bank folders named in a
// state are loaded on restore and their refusal is reported; hostile documents never half-apply.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/banks/test_bank.h"
#include "support/e2e/bundle_host.h"

namespace norvo::e2e {
namespace {

using Steinberg::kResultFalse;
using Steinberg::kResultOk;

const std::string kRefused =
    "runtime bank load refused (bank-too-large): the engine refused the staged bank (arena "
    "capacity)";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ProcessorStateE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module = new LoadedModule(NORVO_CHORD_MODULE_PATH); }
  static void TearDownTestSuite() {
    delete module;
    module = nullptr;
  }
  void SetUp() override { ASSERT_NE(module->factory(), nullptr) << module->error(); }

  std::unique_ptr<HostedProcessor> fresh() const {
    auto processor = std::make_unique<HostedProcessor>(*module->factory());
    EXPECT_TRUE(processor->ready());
    return processor;
  }

  static LoadedModule* module;
  test::TempFolder folder;
};

LoadedModule* ProcessorStateE2e::module = nullptr;

TEST_F(ProcessorStateE2e, StateCarriesParametersMapsAndPadsToAFreshProcessor) {
  auto first = fresh();
  ASSERT_TRUE(first->start());
  // Mode 3 (minor) and spread -1, as a host sends them: normalized, in a block.
  first->play({{1, 0.6}, {2, 0.25}}, {}, {});
  ASSERT_EQ(first->send("norvo.ccMap", std::string(R"([{"cc":21,"path":"chord.velocity"}])")),
            kResultOk);
  ASSERT_EQ(first->send("norvo.padOverrides",
                        std::string(R"({"kick":{"transpose":-3,"muted":1},"hat":{"pan":-0.5}})")),
            kResultOk);
  const std::string saved = first->saveState();
  EXPECT_EQ(
      saved,
      R"({"params":{"chord.on":1,"chord.mode":3,"chord.spread":-1,"chord.velocity":0.8},)"
      R"("variation":16,"ccMap":{"version":1,"bindings":[{"cc":21,"path":"chord.velocity"}]},)"
      R"("sampler":{"v":1,"pads":{"kick":{"transpose":-3,"muted":1},"hat":{"pan":-0.5}}}})");

  auto second = fresh();
  ASSERT_EQ(second->restoreState(saved), kResultOk);
  EXPECT_EQ(second->saveState(), saved);
  ASSERT_TRUE(second->start());
  const std::vector<std::string> chord = {"60/100", "51/80", "55/80"};
  EXPECT_EQ(first->play({}, {60}, {}), chord);
  EXPECT_EQ(second->play({}, {60}, {}), chord);
  EXPECT_EQ(second->play({}, {}, {60}), (std::vector<std::string>{"-60", "-51", "-55"}));

  // A later state without a map keeps the map, without pads clears them; a second "params"
  // object adds its own keys to the first one's.
  ASSERT_EQ(second->restoreState(R"({"params":{"chord.mode":1},"params":{"chord.on":0}})"),
            kResultOk);
  EXPECT_EQ(
      second->saveState(),
      R"({"params":{"chord.on":0,"chord.mode":1,"chord.spread":-1,"chord.velocity":0.8},)"
      R"("variation":16,"ccMap":{"version":1,"bindings":[{"cc":21,"path":"chord.velocity"}]}})");
}

TEST_F(ProcessorStateE2e, BankFoldersNamedInAStateAreLoadedAndTheRefusalReported) {
  test::writeTestBank(folder, "bank");
  struct Case {
    std::string locator;
    std::string message;
  } cases[] = {
      {folder / "bank", kRefused},
      {folder / "none",
       "runtime bank load refused (bank-missing): cannot read " + folder / "none" + "/bank.json"},
  };
  for (const Case& c : cases) {
    auto processor = fresh();
    const std::string state = R"({"params":{"chord.mode":2},"bank":{"id":"test-bank",)"
                              R"("source":"user-folder","locator":")" +
                              c.locator + R"(","presetId":"warm"}})";
    ASSERT_EQ(processor->restoreState(state), kResultOk) << c.locator;
    const std::vector<std::string> reports = processor->sent("norvo.runtimeDiagnostics");
    ASSERT_EQ(reports.size(), 1u) << c.locator;
    EXPECT_TRUE(contains(reports[0], R"("message":")" + c.message + "\"")) << reports[0];
    EXPECT_TRUE(contains(reports[0], R"("code":"bank.missing","severity":"error","phase":"load")"))
        << reports[0];

    // The parameters were applied; no bank is saved; the recall of the named bank is reported
    // with the save.
    EXPECT_EQ(processor->saveState(),
              R"({"params":{"chord.on":1,"chord.mode":2,"chord.spread":0,"chord.velocity":0.8},)"
              R"("variation":16})");
    ASSERT_EQ(processor->sent("norvo.runtimeDiagnostics").size(), 2u);
    EXPECT_TRUE(contains(processor->sent("norvo.runtimeDiagnostics")[1],
                         R"("detail":"{\"bank\":\"test-bank\",\"banks\":0}")"));
  }
}

TEST_F(ProcessorStateE2e, HostedBanksNamedBySha256AreReadFromTheCache) {
  ::setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
  const std::string pin = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
  test::writeTestBank(folder, "Norvo/banks/" + pin);
  auto processor = fresh();
  const std::string state = R"({"bank":{"id":"test-bank","source":"hosted","sha256":")" + pin +
                            R"(","locator":"https://example.invalid/bank.zip"}})";
  ASSERT_EQ(processor->restoreState(state), kResultOk);
  const std::vector<std::string> reports = processor->sent("norvo.runtimeDiagnostics");
  ASSERT_EQ(reports.size(), 1u);
  // Read from the cache folder (a load from the URL would be "cannot read https://..."), then
  // refused by this engine like every bank.
  EXPECT_TRUE(contains(reports[0], R"("message":")" + kRefused + "\"")) << reports[0];
  EXPECT_TRUE(contains(reports[0], R"(\"source\":\"hosted\")")) << reports[0];
  EXPECT_FALSE(contains(processor->saveState(), "bank"));
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ProcessorStateE2e, RuntimeBankRequestsAreAnswered) {
  test::writeTestBank(folder, "bank");
  auto processor = fresh();
  struct Case {
    std::string request;
    std::string reply;
  } cases[] = {
      {"user-folder\n" + folder / "bank" + "\n\nkeys",
       "bank-too-large\nthe engine refused the staged bank (arena capacity)"},
      {"hosted", "bank-missing\n"},
      {"\n" + folder / "bank" + "\n\ndrums",
       "bank-instrument-unknown\nbank test-bank has no instrument or kit \"drums\" (known: keys, "
       "pads)"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(processor->send("norvo.loadRuntimeBank", c.request), kResultOk);
    EXPECT_EQ(processor->sent("norvo.runtimeBankResult").back(), c.reply);
  }
  EXPECT_EQ(processor->sent("norvo.runtimeBankResult").size(), 3u);
  EXPECT_EQ(processor->send("norvo.stageResourceSlot", std::string("x")), kResultFalse);
  EXPECT_EQ(processor->send("norvo.diag.feedDrain"), kResultOk);
}

// Either the processor refuses the document and saves what it saved before, or it takes it
// and saves a document that a fresh processor takes and saves again unchanged.
TEST_F(ProcessorStateE2e, HostileDocumentsNeverHalfApply) {
  const std::string good = R"({"params":{"chord.mode":4},"ccMap":[{"cc":1,"path":"chord.on"}],)"
                           R"("sampler":{"v":1,"pads":{"a":{"gain":3}}}})";
  const std::string nested32 = std::string(32, '[') + std::string(32, ']');
  const std::string nested33 = std::string(33, '[') + std::string(33, ']');
  const std::string documents[] = {
      good.substr(0, good.size() / 2),
      good.substr(0, good.size() - 1),
      R"({"params":{"chord.mode":1},"x":")" + std::string(1 << 20, 'y') + "\"}",
      std::string(1 << 20, '{'),
      R"({"params":{"chord.mode":1},"x":)" + nested32 + "}",
      R"({"params":{"chord.mode":1},"x":)" + nested33 + "}",
      "{\"params\":{\"chord.spread\":1},\"bank\":{\"id\":\"\xC3\x28\xFF\",\"presetId\":\"\xED\xA0"
      "\x80\"}}",
      "{\"params\":{\"chord.mode\":\"\xFF\xFE\"},\"variation\":1}",
      R"({"params":{"chord.mode":NaN,"chord.spread":nan,"chord.velocity":-nan},"variation":nan})",
      R"({"params":{"chord.mode":"NaN","chord.on":1e999},"variation":-1e999})",
      R"({"params":{"chord.mode":2}}{})",
      "",
  };
  auto processor = fresh();
  ASSERT_EQ(processor->restoreState(good), kResultOk);
  int refused = 0;
  for (const std::string& document : documents) {
    const std::string before = processor->saveState();
    const std::string label = document.substr(0, 60);
    const auto result = processor->restoreState(document);
    const std::string after = processor->saveState();
    if (result != kResultOk) {
      EXPECT_EQ(result, kResultFalse) << label;
      EXPECT_EQ(after, before) << label;
      ++refused;
      continue;
    }
    auto other = fresh();
    EXPECT_EQ(other->restoreState(after), kResultOk) << label;
    EXPECT_EQ(other->saveState(), after) << label;
  }
  EXPECT_EQ(refused, 6);  // cut, unclosed, 1 MB of braces, 33 levels, trailing text, empty
}

}  // namespace
}  // namespace norvo::e2e
