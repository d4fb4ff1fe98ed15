// BankControl driven through a recording host: the page's bank messages, the processor's
// replies and the exact bank state documents they produce; the request and reply texts.
#include "banks/bank_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "banks/runtime_bank_exchange.h"
#include "support/banks/temp_folder.h"
#include "support/banks/test_bank.h"

namespace norvo {
namespace {

const std::string kEmptyState =
    R"({"type":"norvo.bankState","reason":"query","stateVersion":1,"pads":{},"banks":[],)"
    R"("presets":{"bankScoped":false,"items":[]}})";

class RecordingHost : public BankControlHost {
 public:
  struct Request {
    std::string source, folder, sha256, instrument;
    bool operator==(const Request&) const = default;
  };
  struct Edit {
    int index;
    double plain;
    bool operator==(const Edit&) const = default;
  };

  std::vector<std::string> sent;
  std::vector<Request> requests;
  std::vector<Edit> edits;
  std::vector<std::string> selections;
  int padLists = 0;
  bool acceptPads = true;
  bool pickResult = false;
  std::string pickPath;
  std::string pickError;

  void sendBankJson(const std::string& json) override { sent.push_back(json); }
  void editParam(int index, double plain) override { edits.push_back({index, plain}); }
  double readParam(int) override { return 0; }
  void requestRuntimeBank(const std::string& source, const std::string& folder,
                          const std::string& sha256, const std::string& instrument) override {
    requests.push_back({source, folder, sha256, instrument});
  }
  bool applyPadOverrides(const SamplerPadOverrides& overrides) override {
    padLists += overrides.empty() ? 0 : 1;
    return acceptPads;
  }
  bool pickFolder(std::string& path, std::string& error) override {
    path = pickPath;
    error = pickError;
    return pickResult;
  }
  void notePresetSelected(const std::string& id, const std::string& name) override {
    selections.push_back(id + "/" + name);
  }

  std::string last() const { return sent.empty() ? "" : sent.back(); }
};

BridgeMessage message(const std::string& type) {
  BridgeMessage m;
  m.type = type;
  return m;
}

BridgeMessage loadBank(const std::string& source, const std::string& path,
                       const std::string& instrument = "") {
  BridgeMessage m = message("norvo.loadBank");
  m.source = source;
  m.bankPath = path;
  m.instrument = instrument;
  return m;
}

std::string stateWith(const std::string& reason, const std::string& middle,
                      const std::string& tail = "") {
  return R"({"type":"norvo.bankState","reason":")" + reason +
         R"(","stateVersion":1,"pads":{},"banks":[])" + middle + tail + "}";
}

const std::string kNoPresets = R"(,"presets":{"bankScoped":false,"items":[]})";

class BankControlTest : public ::testing::Test {
 protected:
  RecordingHost host;
  BankControl control{host};
};

TEST_F(BankControlTest, ReplyLinesAfterTheErrorLine) {
  control.handleMessage(loadBank("user-folder", "/b"));
  struct Case {
    const char* reply;
    const char* instrument;
    std::size_t presets;
    const char* keptParams;
  } cases[] = {
      {"ok", "", 0, ""},
      {"ok\nerror ignored\n\nkeys\tKeys\tinstruments", "", 0, ""},
      {"ok\n\n\x01p\tP\t\tchord.on=1", "", 1, "chord.on"},
      {"ok\n\nk\tK\tkits\n\x01p\tP\t\tchord.on=1\x1Fnoequals\x1F"
       "chord.mode=abc\x1F=5\x1F"
       "chord.spread=inf\x1F"
       "chord.velocity=0.5x",
       "k", 1, "chord.on chord.velocity"},
      {"ok\n\nk\n\x01\tnameless\t\tchord.on=1\n\x01q\tQ\tk\tnone", "k", 0, ""},
  };
  for (const Case& c : cases) {
    control.adoptRuntimeBankReply(c.reply);
    EXPECT_TRUE(control.isRuntimeLoaded()) << c.reply;
    EXPECT_EQ(control.stagedInstrumentId(), c.instrument) << c.reply;
    ASSERT_EQ(control.bankPresets().size(), c.presets) << c.reply;
    std::string kept;
    for (const auto& preset : control.bankPresets())
      for (const auto& [key, value] : preset.params) kept += (kept.empty() ? "" : " ") + key;
    EXPECT_EQ(kept, c.keptParams) << c.reply;
  }
  control.adoptRuntimeBankReply("ok");
  EXPECT_EQ(host.last(),
            stateWith("loadBank", R"(,"runtime":{"source":"user-folder","locator":"/b",)"
                                  R"("positionings":[]})" +
                                      kNoPresets));
}

TEST_F(BankControlTest, FailedReplyClearsTheFactsAndNamesTheRequest) {
  struct Case {
    std::string instrument;
    std::string reply;
    std::string requestedId;
    std::string code;
  } cases[] = {
      {"pads", "bank-too-large\nthe engine refused the staged bank (arena capacity)", "pads",
       "bank-too-large"},
      {"", "bank-missing\ncannot read /b/bank.json", "/b", "bank-missing"},
      {"", "missing\n/b", "/b", "missing"},
  };
  for (const Case& c : cases) {
    control.handleMessage(loadBank("user-folder", "/b", c.instrument));
    control.adoptRuntimeBankReply("ok\n\nk\tK\tkits");
    control.adoptRuntimeBankReply(c.reply);
    EXPECT_FALSE(control.isRuntimeLoaded());
    EXPECT_EQ(control.runtimeLocator(), "");
    EXPECT_EQ(control.requestedInstrumentId(), c.instrument);
    EXPECT_EQ(host.last(), stateWith("loadBank", kNoPresets,
                                     R"(,"error":{"code":")" + c.code + R"(","requestedId":")" +
                                         c.requestedId + R"("})"));
  }
}

TEST_F(BankControlTest, WhichMessagesAreBankMessages) {
  BridgeMessage embeddedWithId = loadBank("embedded", "/ignored");
  embeddedWithId.id = "factory";
  BridgeMessage noSourceWithId = loadBank("", "");
  noSourceWithId.id = "other";
  struct Case {
    BridgeMessage message;
    bool handled;
    std::string sent;
  } cases[] = {
      {message("norvo.setPadOverrides"), false, ""},
      {message("norvo.loadBankPreset"), false, ""},
      {loadBank("embedded", "/b"), false, ""},
      {loadBank("", "/b"), false, ""},
      {message("norvo.setParam"), false, ""},
      {message("norvo.getBankState"), true, kEmptyState},
      {embeddedWithId, true,
       stateWith("loadBank", kNoPresets,
                 R"(,"error":{"code":"bank-missing","requestedId":"factory"})")},
      {noSourceWithId, true,
       stateWith("loadBank", kNoPresets,
                 R"(,"error":{"code":"bank-missing","requestedId":"other"})")},
      {loadBank("user-folder", ""), true,
       stateWith("loadBank", kNoPresets,
                 R"(,"error":{"code":"bank-missing","requestedId":"user-folder"})")},
  };
  for (const Case& c : cases) {
    host.sent.clear();
    EXPECT_EQ(control.handleMessage(c.message), c.handled) << c.message.type;
    EXPECT_EQ(host.last(), c.sent) << c.message.type;
  }
  EXPECT_TRUE(host.requests.empty());
}

TEST_F(BankControlTest, PadOverridesReachThePageOnlyWhenTheProcessorTookThem) {
  BridgeMessage m = message("norvo.setPadOverrides");
  m.hasPads = true;
  SamplerPadOverride kick;
  kick.padId = "kick";
  kick.mask = kPadTranspose;
  kick.transpose = -3;
  m.pads = {kick};
  host.acceptPads = false;
  EXPECT_TRUE(control.handleMessage(m));
  EXPECT_TRUE(host.sent.empty());
  EXPECT_TRUE(control.currentPadOverrides().empty());
  host.acceptPads = true;
  EXPECT_TRUE(control.handleMessage(m));
  EXPECT_EQ(host.last(), R"({"type":"norvo.bankState","reason":"setPadOverrides","stateVersion":1,)"
                         R"("pads":{"kick":{"transpose":-3}},"banks":[])" +
                             kNoPresets + "}");
  EXPECT_EQ(host.padLists, 2);
}

TEST_F(BankControlTest, HostedBanksComeFromTheCacheOrReportTheFetchFailure) {
  test::TempFolder data;
  ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
  const std::string pin(64, 'd');
  test::writeTestBank(data, "Norvo/banks/" + pin);
  BridgeMessage hosted = loadBank("hosted", "", "pads");
  hosted.url = "https://example.invalid/bank.zip";
  hosted.sha256 = pin;
  EXPECT_TRUE(control.handleMessage(hosted));
  EXPECT_EQ(host.requests, (std::vector<RecordingHost::Request>{
                               {"hosted", data / ("Norvo/banks/" + pin), pin, "pads"}}));
  EXPECT_EQ(control.runtimeLocator(), hosted.url);
  EXPECT_TRUE(host.sent.empty());  // the answer comes with the reply

  hosted.sha256 = "short";
  EXPECT_TRUE(control.handleMessage(hosted));
  EXPECT_EQ(host.last(), stateWith("loadBank", kNoPresets,
                                   R"(,"error":{"code":"bank-fetch-failed","requestedId":")" +
                                       hosted.url + R"("})"));
  EXPECT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(control.runtimeSha256(), pin);  // a failed fetch keeps the last request's facts
  ::unsetenv("XDG_DATA_HOME");
}

TEST_F(BankControlTest, BankPresetsApplyParametersOrReloadAnotherInstrument) {
  control.handleMessage(loadBank("user-folder", "/b"));
  control.adoptRuntimeBankReply(std::string("ok\n\n") + test::kTestBankListing);
  host.sent.clear();

  BridgeMessage preset = message("norvo.loadBankPreset");
  preset.id = "warm";  // the staged instrument's preset
  EXPECT_TRUE(control.handleMessage(preset));
  EXPECT_EQ(host.edits, (std::vector<RecordingHost::Edit>{{1, 2.0}, {3, 0.1}}));
  EXPECT_EQ(host.selections, std::vector<std::string>{"warm/Warm"});
  EXPECT_EQ(host.sent.size(), 1u);
  EXPECT_EQ(control.currentPresetId(), "warm");

  preset.id = "hits";  // a kit preset: the bank is asked for again with the kit
  EXPECT_TRUE(control.handleMessage(preset));
  EXPECT_EQ(host.requests.back(), (RecordingHost::Request{"user-folder", "/b", "", "pads"}));
  EXPECT_EQ(host.edits.back(), (RecordingHost::Edit{2, 1.0}));
  EXPECT_EQ(host.sent.size(), 1u);

  preset.id = "gone";
  EXPECT_TRUE(control.handleMessage(preset));
  EXPECT_EQ(host.last(),
            stateWith("loadBank",
                      R"(,"runtime":{"source":"user-folder","locator":"/b",)"
                      R"("instrument":{"id":"keys","name":"Keys","list":"instruments"},)"
                      R"("positionings":[{"id":"keys","name":"Keys","list":"instruments"},)"
                      R"({"id":"pads","name":"Pads","list":"kits"}]})"
                      R"(,"presets":{"bankScoped":true,"items":[)"
                      R"({"id":"warm","name":"Warm","instrument":"keys",)"
                      R"("params":{"chord.mode":2,"chord.velocity":0.10000000000000001}},)"
                      R"({"id":"hits","name":"Hits","instrument":"pads",)"
                      R"("params":{"chord.spread":1}}]})",
                      R"(,"error":{"code":"bank-missing","requestedId":"gone"})"));
}

TEST_F(BankControlTest, FolderPickerAnswers) {
  struct Case {
    bool ok;
    std::string path, error, sent;
  } cases[] = {
      {true, "/home/u/bank", "",
       R"({"type":"norvo.folderPicked","ok":true,"path":"/home/u/bank"})"},
      {false, "", "this build has no folder picker",
       R"({"type":"norvo.folderPicked","ok":false,"error":"this build has no folder picker"})"},
      {false, "", "", R"({"type":"norvo.folderPicked","ok":false,"cancelled":true})"},
  };
  for (const Case& c : cases) {
    host.pickResult = c.ok;
    host.pickPath = c.path;
    host.pickError = c.error;
    EXPECT_TRUE(control.handleMessage(message("norvo.pickFolder")));
    EXPECT_EQ(host.last(), c.sent);
  }
}

// ---- Texts ----

TEST(BankControlTexts, FieldsRequestsAndReplies) {
  using Fields = std::vector<std::string>;
  EXPECT_EQ(BankControl::splitFields("a\tb\tc\td", 3), (Fields{"a", "b", "c\td"}));
  EXPECT_EQ(BankControl::splitFields("a", 3), (Fields{"a", "", ""}));

  // Missing trailing request lines read as empty; the last keeps any further line feeds.
  const RuntimeBankRequest shortRequest = parseRuntimeBankRequest("\n/b");
  EXPECT_EQ(encodeRuntimeBankRequest(shortRequest), "\n/b\n\n");
  const std::string full = "hosted\n/c/p\npin\nkit\nwith feed";
  const RuntimeBankRequest request = parseRuntimeBankRequest(full);
  EXPECT_EQ(request.instrument, "kit\nwith feed");
  EXPECT_EQ(encodeRuntimeBankRequest(request), full);

  StagedBank bank;
  bank.instrumentId = "k";
  bank.instrumentKind = "kits";
  bank.presets.push_back({"p", "P", "k", {{"a", 0.1}, {"b", -2}, {"c", 1e300}}});
  EXPECT_EQ(BankControl::encodeRuntimeBankReply(nullptr, "", nullptr), "missing\n");
  EXPECT_EQ(BankControl::encodeRuntimeBankReply("ok", "", &bank),
            "ok\n\nk\t\tkits\n\x01p\tP\tk\ta=0.10000000000000001\x1F"
            "b=-2\x1F"
            "c=1.0000000000000001e+300");
}

}  // namespace
}  // namespace norvo
