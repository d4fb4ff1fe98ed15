// NorvoProcessor's state and messages: the stream calls, the controller's message catalogue,
// and what a loaded runtime bank saves and restores (a kernel with a sample arena takes banks;
// the chord kernel's refusals are tested end to end through the bundle).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "plugin/norvo_processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/banks/test_bank.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using test::MessageRecorder;
using test::StreamDouble;

const std::string kFreshState =
    R"({"params":{"chord.on":1,"chord.mode":0,"chord.spread":0,"chord.velocity":0.8},)"
    R"("variation":16})";

class ProcessorState : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(processor->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
    ASSERT_EQ(processor->connect(&peer), kResultOk);
    test::writeTestBank(folder, "bank");
    bankFolder = folder / "bank";
  }
  void TearDown() override {
    processor->disconnect(&peer);
    processor->terminate();
  }

  std::string saved() {
    StreamDouble stream;
    EXPECT_EQ(processor->getState(&stream), kResultOk);
    EXPECT_EQ(stream.writes, 1);
    return stream.bytes;
  }
  tresult restore(const std::string& text) {
    StreamDouble stream(text);
    return processor->setState(&stream);
  }
  tresult send(const char* id, const std::string* json = nullptr) {
    IPtr<HostMessage> message = owned(new HostMessage);
    message->setMessageID(id);
    if (json != nullptr)
      message->getAttributes()->setBinary("json", json->data(), static_cast<uint32>(json->size()));
    return processor->notify(message);
  }
  tresult send(const char* id, const std::string& json) { return send(id, &json); }
  // The "json" payloads the processor sent with `id`, in order.
  std::vector<std::string> sent(const std::string& id) const {
    std::vector<std::string> out;
    for (const auto* m : peer.withId(id)) out.push_back(m->json);
    return out;
  }

  HostApplication host;  // not reference-counted; outlives the processor
  IPtr<NorvoProcessor> processor = owned(new NorvoProcessor());
  MessageRecorder peer;
  test::TempFolder folder;
  std::string bankFolder;
};

TEST_F(ProcessorState, ReadsTheStreamInBlocksUntilAShortRead) {
  struct Case {
    std::size_t size;
    int reads;
  } cases[] = {{4095, 1}, {4096, 2}, {8192, 3}, {10000, 3}, {0, 1}};
  for (const Case& c : cases) {
    // A valid document padded with whitespace to the size wanted ("" when 0).
    std::string text = c.size == 0 ? "" : R"({"variation":3})";
    text.resize(c.size, ' ');
    StreamDouble stream(text);
    EXPECT_EQ(processor->setState(&stream), c.size == 0 ? kResultFalse : kResultOk) << c.size;
    EXPECT_EQ(stream.reads, c.reads) << c.size;
  }
  EXPECT_EQ(processor->setState(nullptr), kResultFalse);
  EXPECT_EQ(processor->getState(nullptr), kResultFalse);
}

TEST_F(ProcessorState, SavesExactlyTheDocumentInOneWrite) {
  EXPECT_EQ(saved(), kFreshState);
  StreamDouble shortStream;
  shortStream.writeLimit = 10;  // a stream that keeps only part of the text has not saved it
  EXPECT_EQ(processor->getState(&shortStream), kResultFalse);
}

TEST_F(ProcessorState, AnswersEveryMessageOfTheCatalogue) {
  const std::string map = R"({"bindings":[{"cc":74,"path":"chord.spread"}]})";
  const std::string badMap = R"({"bindings":[)";
  const std::string pads = R"({"snare":{"muted":1}})";
  const std::string preset = "warm";
  struct Case {
    const char* id;
    const std::string* json;
    tresult result;
  } cases[] = {
      {"norvo.ccMap", &map, kResultOk},
      {"norvo.ccMap", &badMap, kResultOk},
      {"norvo.ccMap", nullptr, kResultOk},
      {"norvo.padOverrides", &pads, kResultOk},
      {"norvo.padOverrides", &badMap, kResultOk},
      {"norvo.diag.presetLoaded", &preset, kResultOk},
      {"norvo.diag.transportPoll", nullptr, kResultOk},
      {"norvo.diag.feedDrain", nullptr, kResultOk},
      {"norvo.diag.resetCounters", nullptr, kResultOk},
      {"norvo.loadRuntimeBank", nullptr, kResultOk},
      {"norvo.stageResourceSlot", &map, kResultFalse},
      {"norvo.runtimeBankResult", &map, kResultFalse},
      {"norvo.somethingElse", nullptr, kResultFalse},
  };
  for (const Case& c : cases) EXPECT_EQ(send(c.id, c.json), c.result) << c.id;
  EXPECT_EQ(processor->notify(nullptr), kInvalidArgument);
  EXPECT_TRUE(peer.received.empty());  // no request carried its "json": nothing to answer
  EXPECT_EQ(saved(),
            R"({"params":{"chord.on":1,"chord.mode":0,"chord.spread":0,"chord.velocity":0.8},)"
            R"("variation":16,"ccMap":{"version":1,"bindings":[{"cc":74,"path":"chord.spread"}]},)"
            R"("sampler":{"v":1,"pads":{"snare":{"muted":1}}}})");
}

// A kernel that publishes a sample arena takes banks: what a loaded bank saves and restores.
class ProcessorWithArena : public ProcessorState {
 protected:
  void SetUp() override {
    ProcessorState::SetUp();
    processor->engine().setSampleArenaFrames(1 << 20);
  }
  std::string bankRef(const std::string& tail) const {
    std::string sha = processor->engine().stagedBank()->manifestSha256;
    return R"(,"bank":{"version":1,"id":"test-bank","bankVersion":"1.0","sha256":")" + sha + "\"," +
           tail + "}}";
  }
};

TEST_F(ProcessorWithArena, ALoadedBankIsSavedWithItsRequestAndPresetId) {
  ASSERT_EQ(send("norvo.loadRuntimeBank", "\n" + bankFolder + "\npin\npads"), kResultOk);
  EXPECT_EQ(sent("norvo.runtimeBankResult").back().substr(0, 19), "ok\n\npads\tPads\tkits\n");
  ASSERT_EQ(send("norvo.diag.presetLoaded", std::string("hits")), kResultOk);
  const std::string withPreset = saved();
  EXPECT_EQ(withPreset, kFreshState.substr(0, kFreshState.size() - 1) +
                            bankRef(R"("locator":")" + bankFolder +
                                    R"(","source":"user-folder","instrument":"pads",)"
                                    R"("presetId":"hits")"));

  // Restored into a fresh processor, the state loads the bank again and saves the same text,
  // preset id included.
  IPtr<NorvoProcessor> other = owned(new NorvoProcessor());
  ASSERT_EQ(other->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  other->engine().setSampleArenaFrames(1 << 20);
  StreamDouble in(withPreset);
  ASSERT_EQ(other->setState(&in), kResultOk);
  StreamDouble out;
  ASSERT_EQ(other->getState(&out), kResultOk);
  EXPECT_EQ(out.bytes, withPreset);
  other->terminate();

  ASSERT_EQ(send("norvo.diag.presetLoaded"), kResultOk);  // no attribute: the id is cleared
  EXPECT_EQ(saved().find("presetId"), std::string::npos);
}

TEST_F(ProcessorWithArena, HostedBanksRestoreFromTheCacheAndKeepTheirUrl) {
  ::setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
  const std::string pin(64, 'e');
  test::writeTestBank(folder, "Norvo/banks/" + pin);
  const std::string state = R"({"bank":{"id":"test-bank","source":"hosted","sha256":")" + pin +
                            R"(","locator":"https://example.invalid/b.zip","instrument":"keys"}})";
  ASSERT_EQ(restore(state), kResultOk);
  EXPECT_TRUE(sent("norvo.runtimeDiagnostics").empty());
  EXPECT_EQ(processor->engine().stagedBank()->instrumentId, "keys");
  EXPECT_NE(saved().find(R"("locator":"https://example.invalid/b.zip","source":"hosted")"),
            std::string::npos);
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ProcessorWithArena, EmbeddedOrFailingBanksWithdrawTheLoadedOne) {
  const std::string failing[] = {
      R"({"bank":{"id":"test-bank","source":"embedded","locator":")" + bankFolder + R"("}})",
      R"({"bank":{"id":"test-bank","source":"user-folder","locator":")" + folder / "none" +
          R"("}})",
  };
  std::size_t reports = 0;
  for (const std::string& state : failing) {
    ASSERT_EQ(send("norvo.loadRuntimeBank", "\n" + bankFolder), kResultOk);
    ASSERT_NE(processor->engine().stagedBank(), nullptr);
    EXPECT_EQ(restore(state), kResultOk) << state;
    EXPECT_EQ(processor->engine().stagedBank(), nullptr) << state;
    // Only the failed load is reported at once; the recall of the named bank is reported with
    // the next save.
    reports += state.find("embedded") == std::string::npos ? 1 : 0;
    EXPECT_EQ(sent("norvo.runtimeDiagnostics").size(), reports) << state;
    EXPECT_EQ(saved(), kFreshState) << state;
    EXPECT_EQ(sent("norvo.runtimeDiagnostics").size(), ++reports) << state;
    EXPECT_NE(sent("norvo.runtimeDiagnostics").back().find("state recall named a bank"),
              std::string::npos);
  }
  EXPECT_EQ(saved(), kFreshState);
  EXPECT_EQ(sent("norvo.runtimeDiagnostics").size(), reports);  // nothing new to deliver
}

}  // namespace
}  // namespace norvo
