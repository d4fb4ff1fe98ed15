// NorvoController linked directly, with a recording host around it: the texts it sends the page,
// the host's identity, parameters and the echo rule, MIDI mapping, the two state documents, the
// processor's messages, host changes, the transport push throttle, the page's dispatch, the bank
// adapter, the cadence clock on a host run loop and the diagnostic bridge's C functions.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/lifecycle_json.h"
#include "editor/platform/host_run_loop.h"
#include "plugin/diagnostic_bridge.h"
#include "plugin/host_run_loop_adapter.h"
#include "plugin/norvo_controller.h"
#include "support/engine/stderr_capture.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

const char kMap[] = R"({"version":1,"bindings":[{"cc":20,"path":"chord.mode"}]})";

// Times vary from run to run: every "timeMs" number reads as T.
std::string timeless(const std::string& text) {
  static const std::regex time(R"("timeMs":[-0-9.e+]+)");
  return std::regex_replace(text, time, R"("timeMs":T)");
}

// One initialized controller with a host around it: context, component handler, the
// processor's side of the connection and a page on the bridge sink.
struct Rig {
  explicit Rig(const char* hostName = "Test Host", Linux::IRunLoop* runLoop = nullptr) {
    host.name = hostName;
    host.runLoop = runLoop;
    EXPECT_EQ(controller->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
    controller->setComponentHandler(&handler);
    controller->connect(&processor);
    controller->setBridgeSink(page.sink());
  }
  ~Rig() {
    controller->disconnect(&processor);
    controller->terminate();
  }
  void send(const std::string& json) { controller->handleBridgeMessage(json.data(), json.size()); }
  tresult notify(const char* id, const std::string* json = nullptr) {
    IPtr<HostMessage> message = owned(new HostMessage);
    message->setMessageID(id);
    if (json != nullptr)
      message->getAttributes()->setBinary("json", json->data(), static_cast<uint32>(json->size()));
    return controller->notify(message);
  }
  tresult hostFacts(const HostFacts& facts) {
    const std::string raw(reinterpret_cast<const char*>(&facts), sizeof facts);
    return notify("norvo.diag.hostFacts", &raw);
  }
  std::string saved() {
    test::StreamDouble stream;
    EXPECT_EQ(controller->getState(&stream), kResultOk);
    EXPECT_EQ(stream.writes, 1);
    return stream.bytes;
  }
  std::string lastEvent() {
    const DiagnosticLifecycleLog& log = controller->lifecycleLog();
    std::string json;
    writeDiagnosticLifecycleEventJson(json, log.at(log.count() - 1));
    return timeless(json);
  }
  int mapped(int32 bus, int16 channel, CtrlNumber cc) {
    ParamID id = 99;
    return controller->getMidiControllerAssignment(bus, channel, cc, id) == kResultTrue
               ? static_cast<int>(id)
               : -1;
  }

  test::HostContextDouble host;
  test::ComponentHandlerDouble handler;
  test::MessageRecorder processor;
  test::PageRecorder page;
  IPtr<NorvoController> controller = owned(new NorvoController);
};

TEST(NorvoController, TypeNamesAndInterfaces) {
  Rig rig;
  NorvoController& c = *rig.controller;
  EXPECT_STREQ(c.isA(), "NorvoController");
  for (const char* parent : {"EditControllerEx1", "EditController", "ComponentBase", "FObject"}) {
    EXPECT_TRUE(c.isTypeOf(parent)) << parent;
    EXPECT_FALSE(c.isTypeOf(parent, false)) << parent;
  }
  for (const FUID* iid : {&IMidiMapping::iid, &IUnitInfo::iid, &IEditController2::iid}) {
    FUnknown* object = nullptr;
    ASSERT_EQ(c.queryInterface(*iid, reinterpret_cast<void**>(&object)), kResultOk);
    object->release();
  }
}

TEST(NorvoController, ValidatorKindFromTheHostName) {
  const struct {
    const char* name;
    std::uint8_t kind;
  } cases[] = {
      {"pluginval", 1},      {"Pluginval and auval", 1}, {"auval", 3},       {"clap-validator", 2},
      {"clap_validator", 2}, {"VST3 Validator", 4},      {"a validator", 4}, {"auval validator", 3},
      {"norvo-probe", 5},    {"Norvo host", 5},          {"Ardour", 0},      {"", 0},
  };
  for (const auto& c : cases) {
    Rig rig(c.name);
    EXPECT_EQ(rig.controller->hostFacts().validatorHost, c.kind) << c.name;
    EXPECT_STREQ(rig.controller->hostFacts().hostName, c.name);
  }
  Rig longName(std::string(300, 'x').c_str());
  EXPECT_EQ(std::string(longName.controller->hostFacts().hostName), std::string(127, 'x'));
}

// The texts the page receives, byte for byte, each from a controller that just started.
TEST(NorvoController, PageTextsByteForByte) {
  const std::string params = R"("params":[{"path":"chord.on","value":1,"normalized":1},)"
                             R"({"path":"chord.mode","value":0,"normalized":0},)"
                             R"({"path":"chord.spread","value":0,"normalized":0.5},)"
                             R"({"path":"chord.velocity","value":0.8,"normalized":0.8}])";
  const std::string identity =
      R"("identity":{"moduleId":"music.norvo.chord","name":"Chord","vendor":"Norvo Music",)"
      R"("version":"0.1.0","hostClass":"effect","target":"vst3","sdkVersion":"0.0.0",)"
      R"("build":{"mode":"production","configuration":"Release"},)"
      R"("ratePolicy":{"mode":"host-native"},"state":{"version":1,"maxBytes":65536},)"
      R"("ports":[{"id":"midi-in","kind":"midi","direction":"input","busRole":"main"}]})";
  const std::string hello =
      R"({"type":"norvo.hello","plugin":{"id":"music.norvo.chord","name":"Chord",)"
      R"("vendor":"Norvo Music","version":"0.1.0"},)" +
      params + R"(,"factoryPresets":[],)" + identity +
      R"(,"diagnostics":{"feeds":[],"commands":[],"maxFeedHz":0},)"
      R"("presetState":{"factoryCount":0,"dirty":false,"userPresetsSupported":false}})";
  HostFacts rate;
  rate.sampleRate = 48000;
  const struct {
    const char* what;
    std::function<void(Rig&)> act;
    std::vector<std::string> texts;
  } cases[] = {
      {"hello", [](Rig& r) { r.send(R"({"type":"norvo.ready"})"); }, {hello}},
      {"paramChanged",
       [](Rig& r) { r.controller->setParamNormalized(2, 0.75); },
       {R"({"type":"norvo.paramChanged","path":"chord.spread","value":1,"normalized":0.75})"}},
      {"state",
       [](Rig& r) { r.send(R"({"type":"norvo.getState"})"); },
       {R"({"type":"norvo.state","state":{"params":{"chord.on":1,"chord.mode":0,)"
        R"("chord.spread":0,"chord.velocity":0.8}}})"}},
      {"lifecycle replay and event",
       [](Rig& r) {
         r.send(R"({"type":"norvo.diag.subscribe","feeds":["lifecycle"]})");
         r.controller->onEditorError(nullptr);
       },
       {R"({"type":"norvo.lifecycle","events":[{"seq":1,"timeMs":T,"kind":"created"}]})",
        R"({"type":"norvo.lifecycle","events":[{"seq":2,"timeMs":T,"kind":"editorError",)"
        R"("detail":{"reason":"unknown"}}]})"}},
      {"hostChanged",
       [&](Rig& r) {
         r.controller->sendHello();
         r.page.texts.clear();
         r.hostFacts(rate);
       },
       {R"({"type":"norvo.hostChanged","host":{"sampleRate":48000},)"
        R"("event":{"seq":1,"timeMs":0,"kind":"sampleRateChanged"}})"}},
      {"runtimeDiagnostics",
       [](Rig& r) {
         const std::string report = R"({"state":"ok"})";
         r.notify("norvo.runtimeDiagnostics", &report);
       },
       {R"({"type":"norvo.runtimeDiagnostics","report":{"state":"ok"}})"}},
      {"ccMapChanged",
       [](Rig& r) { r.send(std::string(R"({"type":"norvo.setCcMap","map":)") + kMap + "}"); },
       {std::string(R"({"type":"norvo.ccMapChanged","map":)") + kMap + "}"}},
      {"bankState",
       [](Rig& r) { r.send(R"({"type":"norvo.getBankState"})"); },
       {R"({"type":"norvo.bankState","reason":"query","stateVersion":1,"pads":{},"banks":[],)"
        R"("presets":{"bankScoped":false,"items":[]}})"}},
      {"folderPicked",
       [](Rig& r) { r.send(R"({"type":"norvo.pickFolder"})"); },
       {R"({"type":"norvo.folderPicked","ok":false,"error":"this build has no folder picker"})"}},
  };
  static const std::regex uiFacts(R"(,"ui":\{[^}]*\})");  // read from the editor bundle, if any
  for (const auto& c : cases) {
    Rig rig;
    c.act(rig);
    std::vector<std::string> texts;
    for (const std::string& t : rig.page.texts) {  // host changes are sent with time 0
      const bool lifecycle = t.find("norvo.lifecycle") != std::string::npos;
      texts.push_back(std::regex_replace(lifecycle ? timeless(t) : t, uiFacts, ""));
    }
    EXPECT_EQ(texts, c.texts) << c.what;
  }
}

TEST(NorvoController, SetParamNormalizedClampsRefusesNaNAndTellsThePage) {
  const struct {
    ParamID id;
    double value;
    tresult result;
    double stored;  // of parameter 3 when id is 3
    std::size_t texts;
  } cases[] = {
      {3, 0.25, kResultOk, 0.25, 1},  {3, -0.5, kResultOk, 0, 1},
      {3, 1.5, kResultOk, 1, 1},      {3, std::nan(""), kResultFalse, 0.8, 0},
      {7, 0.5, kResultFalse, 0.8, 0},
  };
  for (const auto& c : cases) {
    Rig rig;
    EXPECT_EQ(rig.controller->setParamNormalized(c.id, c.value), c.result) << c.value;
    EXPECT_EQ(rig.controller->getParamNormalized(3), c.stored) << c.value;
    EXPECT_EQ(rig.page.texts.size(), c.texts) << c.value;
  }
}

TEST(NorvoController, ThePagesOwnEditIsNotEchoedButHostAutomationIs) {
  Rig rig;
  rig.send(R"({"type":"norvo.setParam","path":"chord.spread","value":1})");
  EXPECT_EQ(rig.controller->getParamNormalized(2), 0.75);
  EXPECT_EQ(rig.handler.calls, std::vector<std::string>{"perform 2 0.75"});
  EXPECT_TRUE(rig.page.texts.empty());
  for (const char* ignored : {R"({"type":"norvo.setParam","path":"chord.spread"})",
                              R"({"type":"norvo.setParam","path":"chord.spread","value":nan})",
                              R"({"type":"norvo.setParam","path":"chord.Spread","value":0})"})
    rig.send(ignored);
  EXPECT_EQ(rig.handler.calls.size(), 1u);
  EXPECT_EQ(rig.controller->getParamNormalized(2), 0.75);
  rig.controller->setParamNormalized(2, 0.75);  // the host plays the same value back later
  EXPECT_EQ(rig.page.texts.size(), 1u);
}

TEST(NorvoController, MidiMappingAnswersFromTheMap) {
  Rig rig;
  EXPECT_EQ(rig.mapped(0, 0, 20), -1);
  rig.send(
      R"({"type":"norvo.setCcMap","map":{"bindings":[)"
      R"({"cc":20,"path":"chord.mode"},{"cc":21,"channel":2,"path":"chord.spread"},)"
      R"({"cc":21,"path":"chord.on"},{"cc":22,"path":"chord.velocity","enabled":false},)"
      R"({"cc":23,"channel":5,"path":"chord.on"},{"cc":23,"channel":5,"path":"chord.mode"}]}})");
  EXPECT_EQ(rig.handler.calls, std::vector<std::string>{"restart 32"});
  ASSERT_EQ(rig.processor.withId("norvo.ccMap").size(), 1u);
  const struct {
    int32 bus;
    int16 channel;
    CtrlNumber cc;
    int id;
  } cases[] = {
      {0, 0, 20, 1},  {0, 15, 20, 1}, {1, 0, 20, -1},  {0, 0, 128, -1}, {0, 0, -1, -1},
      {0, 1, 21, 2},  {0, 0, 21, 0},  {0, 0, 22, -1},  {0, 4, 23, 0},   {0, 3, 23, -1},
      {0, 16, 20, 1}, {0, -1, 21, 0}, {0, 16, 23, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rig.mapped(c.bus, c.channel, c.cc), c.id) << c.bus << " " << c.channel << " " << c.cc;
}

TEST(NorvoController, ControllerStateSavesTheMapAndPadsAndRestoresThem) {
  Rig rig;
  EXPECT_EQ(rig.saved(), "{}");
  rig.send(R"({"type":"norvo.setCcMap","map":{"bindings":[]}})");
  EXPECT_EQ(rig.saved(), R"({"ccMap":{"version":1,"bindings":[]}})");
  test::StreamDouble shortStream;
  shortStream.writeLimit = 10;  // keeps only part of the document: not saved
  EXPECT_EQ(rig.controller->getState(&shortStream), kResultFalse);
  EXPECT_EQ(rig.controller->getState(nullptr), kResultFalse);

  const std::string full = std::string(R"({"ccMap":)") + kMap +
                           R"(,"sampler":{"v":1,"pads":{"kick":{"transpose":-3}}}})";
  Rig other;
  for (const char* refused : {"{", "[1]", R"({"ccMap":{"bindings":[{"cc":1,"path":7}]}})"}) {
    test::StreamDouble bad(refused);
    EXPECT_EQ(other.controller->setState(&bad), kResultFalse) << refused;
  }
  test::StreamDouble empty;
  EXPECT_EQ(other.controller->setState(&empty), kResultOk);
  EXPECT_EQ(other.saved(), "{}");
  EXPECT_TRUE(other.page.texts.empty());
  test::StreamDouble stream(full);
  EXPECT_EQ(other.controller->setState(&stream), kResultOk);
  EXPECT_EQ(other.saved(), full);
  EXPECT_EQ(other.mapped(0, 0, 20), 1);
  EXPECT_EQ(other.controller->lifecycleLog().count(), 2u);  // created, ccMapChanged: no restore
}

TEST(NorvoController, ComponentStateSetsParametersAndMapWithoutTheComponentHandler) {
  Rig rig;
  test::StreamDouble bad(R"({"params":{"chord.spread":1})");
  EXPECT_EQ(rig.controller->setComponentState(&bad), kResultFalse);
  EXPECT_EQ(rig.controller->getParamNormalized(2), 0.5);
  EXPECT_TRUE(rig.page.texts.empty());

  const std::string state =
      std::string(R"({"params":{"chord.spread":1,"chord.mode":9},"ccMap":)") + kMap + "}";
  test::StreamDouble stream(state);
  EXPECT_EQ(rig.controller->setComponentState(&stream), kResultOk);
  EXPECT_EQ(rig.controller->getParamNormalized(1), 1);  // clamped
  EXPECT_EQ(rig.controller->getParamNormalized(2), 0.75);
  ASSERT_EQ(rig.page.texts.size(), 4u);
  EXPECT_EQ(rig.page.texts[0],
            R"({"type":"norvo.paramChanged","path":"chord.mode","value":5,"normalized":1})");
  EXPECT_EQ(rig.page.texts[1],
            R"({"type":"norvo.paramChanged","path":"chord.spread","value":1,"normalized":0.75})");
  EXPECT_EQ(rig.page.texts[3].rfind(R"({"type":"norvo.bankState","reason":"restore")", 0), 0u);
  EXPECT_EQ(rig.handler.calls, std::vector<std::string>{"restart 32"});  // no edits
  EXPECT_EQ(rig.mapped(0, 9, 20), 1);
  EXPECT_EQ(rig.controller->presetStateFacts().lastStateBytes,
            static_cast<std::int64_t>(state.size()));
  EXPECT_EQ(rig.lastEvent(), R"({"seq":3,"timeMs":T,"kind":"stateRestored","detail":{)"
                             R"("stateBytes":)" +
                                 std::to_string(state.size()) + R"(,"source":"component"}})");
}

TEST(NorvoController, ProcessorMessagesAreCheckedForSize) {
  const std::string name63(63, 'a'), name64(64, 'a'), big(65536, ' '), tooBig(65537, ' ');
  const std::string tempo = "tempoChanged", wrongCase = "TempoChanged", empty;
  const std::string shortFacts(sizeof(HostFacts) - 1, '\0');
  const std::string shortFact(sizeof(TransportFact) + 1, '\0');
  const std::string report = big.substr(0, 65535) + "1";
  const struct {
    const char* id;
    const std::string* json;
    tresult result;
    std::uint32_t events;  // in the lifecycle log afterwards ("created" is one)
  } cases[] = {
      {"norvo.diag.lifecycle", &tempo, kResultOk, 2},
      {"norvo.diag.lifecycle", &name63, kResultOk, 1},
      {"norvo.diag.lifecycle", &name64, kResultOk, 1},
      {"norvo.diag.lifecycle", &wrongCase, kResultOk, 1},
      {"norvo.diag.lifecycle", &empty, kResultOk, 1},
      {"norvo.diag.lifecycle", nullptr, kResultOk, 1},
      {"norvo.runtimeDiagnostics", &report, kResultOk, 2},
      {"norvo.runtimeDiagnostics", &tooBig, kResultOk, 1},
      {"norvo.runtimeDiagnostics", &empty, kResultOk, 1},
      {"norvo.diag.hostFacts", &shortFacts, kResultOk, 1},
      {"norvo.diag.transport", &shortFact, kResultOk, 1},
      {"norvo.diag.signal", &tempo, kResultOk, 1},
      {"norvo.runtimeBankResult", nullptr, kResultOk, 1},
      {"norvo.somethingElse", &tempo, kResultFalse, 1},
  };
  for (const auto& c : cases) {
    Rig rig;
    EXPECT_EQ(rig.notify(c.id, c.json), c.result) << c.id;
    EXPECT_EQ(rig.controller->lifecycleLog().count(), c.events)
        << c.id << " " << (c.json ? c.json->size() : 0);
  }
  Rig rig;
  rig.notify("norvo.runtimeDiagnostics", &report);
  EXPECT_EQ(rig.lastEvent(), R"({"seq":2,"timeMs":T,"kind":"runtimeDiagnostic",)"
                             R"("detail":{"reportBytes":65536}})");
}

TEST(NorvoController, HostChangesAreRecordedWithTheirDetails) {
  HostFacts base;
  setHostName(base, "the processor's idea");
  base.sampleRate = 44100;
  base.maxBlockFrames = 512;
  const struct {
    std::function<void(HostFacts&)> change;
    std::string event;  // the event's kind and details; empty: nothing recorded
  } cases[] = {
      {[](HostFacts& f) { f.latencySamples = 64; },
       R"("kind":"latencyChanged","detail":{"latencySamples":64,"previous":0,"reported":true}})"},
      {[](HostFacts& f) { f.sampleRate = 48000; },
       R"("kind":"sampleRateChanged","detail":{"sampleRate":48000,"previous":44100}})"},
      {[](HostFacts& f) { f.maxBlockFrames = 1024; },
       R"("kind":"blockSizeChanged","detail":{"maxBlockFrames":1024,"previous":512}})"},
      {[](HostFacts& f) { f.addBus("out", false, 2, true, "stereo"); },
       R"("kind":"busLayoutChanged","detail":{"buses":1,"layout":"stereo"}})"},
      {[](HostFacts& f) { f.processMode = kProcessModeOffline; },
       R"("kind":"processModeChanged","detail":{"processMode":1}})"},
      {[](HostFacts& f) { f.bypassKnown = f.bypassed = true; },
       R"("kind":"bypassChanged","detail":{"bypassed":true}})"},
      {[](HostFacts& f) { f.tailKind = kTailInfinite; }, R"("kind":"tailChanged"})"},
      {[](HostFacts& f) { f.sampleSize = 64; }, R"("kind":"configured"})"},
      {[](HostFacts&) {}, ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.hostFacts(base);
    rig.controller->sendHello();
    rig.page.texts.clear();
    HostFacts next = base;
    c.change(next);
    rig.hostFacts(next);
    const std::string event = rig.lastEvent();
    EXPECT_EQ(c.event.empty() ? 2u : 3u, rig.controller->lifecycleLog().count()) << c.event;
    if (!c.event.empty()) {
      EXPECT_EQ(event.substr(event.find("\"kind\"")), c.event);
    }
    EXPECT_EQ(rig.page.texts.size(), c.event.empty() ? 0u : 1u) << c.event;
    EXPECT_STREQ(rig.controller->hostFacts().hostName, "Test Host");
  }
  Rig rig;  // a record whose bus count is out of range
  base.busCount = 200;
  rig.hostFacts(base);
  EXPECT_EQ(rig.controller->hostFacts().busCount, kHostBusCapacity);
}

TEST(NorvoController, TransportPushesOnChangeAndThrottlesWhilePlaying) {
  Rig rig;
  TransportFact stopped, playing;
  stopped.hasTempo = true;
  playing.playing = true;
  playing.hasTempo = true;
  playing.tempo = 121;
  playing.atFrame = 4096;
  const auto pushes = [&] { return rig.page.texts.size(); };
  rig.controller->adoptTransportFact(stopped);  // not subscribed: nothing
  EXPECT_EQ(pushes(), 0u);
  rig.send(R"({"type":"norvo.diag.subscribe","feeds":["transport"]})");
  EXPECT_EQ(pushes(), 1u);  // the fact received before
  rig.controller->adoptTransportFact(stopped);
  rig.controller->adoptTransportFact(stopped);
  EXPECT_EQ(pushes(), 2u);  // changed (the subscription reset it), then unchanged and stopped
  rig.controller->adoptTransportFact(playing);
  rig.controller->adoptTransportFact(playing);
  EXPECT_EQ(pushes(), 3u);  // unchanged within 33 ms
  EXPECT_EQ(rig.lastEvent(),
            R"({"seq":2,"timeMs":T,"atFrame":4096,"kind":"tempoChanged","detail":{"tempo":121,)"
            R"("previous":120}})");
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  rig.controller->adoptTransportFact(playing);
  rig.controller->adoptTransportFact(playing);  // throttled by the push just made
  EXPECT_EQ(pushes(), 4u);
  rig.send(R"({"type":"norvo.diag.subscribe","feeds":["transport"],"hz":1})");
  rig.controller->adoptTransportFact(playing);  // the first after subscribing counts as changed
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  rig.controller->adoptTransportFact(playing);  // one push a second now
  EXPECT_EQ(pushes(), 6u);
  EXPECT_EQ(rig.page.texts.back().rfind(R"({"type":"norvo.transport","frame":{"atFrame":4096,)", 0),
            0u);
}

TEST(NorvoController, SubscriptionsAndEditorLifecycle) {
  Rig rig;
  const auto polls = [&] { return rig.processor.withId("norvo.diag.transportPoll"); };
  rig.send(R"({"type":"norvo.diag.subscribe","feeds":["transport","lifecycle","nope"],"hz":120})");
  EXPECT_EQ(rig.controller->subscribedFeeds(), 66u);
  EXPECT_DOUBLE_EQ(rig.controller->cadenceIntervalSeconds(), 1.0 / 30);
  ASSERT_EQ(polls().size(), 1u);
  EXPECT_EQ(polls()[0]->reset, 1);
  rig.controller->tickCadence();
  ASSERT_EQ(polls().size(), 2u);
  EXPECT_TRUE(polls()[1]->hasReset);
  EXPECT_EQ(polls()[1]->reset, 0);
  EXPECT_EQ(rig.processor.received.back().id, "norvo.diag.feedDrain");
  rig.send(R"({"type":"norvo.diag.subscribe","feeds":[],"hz":10})");
  EXPECT_DOUBLE_EQ(rig.controller->cadenceIntervalSeconds(), 0.1);
  rig.send(R"({"type":"norvo.diag.unsubscribe"})");
  EXPECT_EQ(rig.controller->subscribedFeeds(), 0u);

  rig.send(R"({"type":"norvo.ready"})");
  rig.send(R"({"type":"norvo.ready"})");
  EXPECT_EQ(rig.page.texts.size(), 3u);  // the first replay, two hellos
  rig.send(R"({"type":"norvo.diag.subscribe","feeds":["lifecycle"]})");
  rig.controller->onEditorOpened();
  rig.controller->onEditorClosed();
  EXPECT_EQ(rig.lastEvent().substr(rig.lastEvent().find("\"kind\"")), R"("kind":"editorClosed"})");
  EXPECT_EQ(rig.page.texts.size(), 6u);  // replay, editorOpened, editorClosed
  EXPECT_FALSE(rig.controller->uiReady());
  EXPECT_EQ(rig.controller->subscribedFeeds(), 0u);
}

// Malformed texts end to end: tests/e2e/bridge_probe_test.cpp.
TEST(NorvoController, NotesAreOnlyLoggedAndFactoryPresetsIgnored) {
  const struct {
    std::string text;
    std::string line;
  } cases[] = {
      {R"({"type":"norvo.noteOn","note":60.9,"velocity":1})",
       "norvo-plugin-shell: bridge norvo.noteOn note=60\n"},
      {R"({"type":"norvo.noteOff","note":-3.5})",
       "norvo-plugin-shell: bridge norvo.noteOff note=-3\n"},
      {"{", "norvo-plugin-shell: malformed bridge message (1 bytes)\n"},
      {R"({"type":"norvo.loadFactoryPreset","id":"x"})", ""},
  };
  for (const auto& c : cases) {
    Rig rig;
    test::StderrCapture capture;
    rig.send(c.text);
    EXPECT_EQ(capture.take(), c.line) << c.text;
    EXPECT_TRUE(rig.page.texts.empty() && rig.handler.calls.empty()) << c.text;
  }
}

TEST(NorvoController, PageStateRestoresEditsMapAndPads) {
  Rig rig;
  const std::string message =
      R"({"type":"norvo.setState","state":{"params":{"chord.mode":2,"chord.velocity":0.5},)"
      R"("sampler":{"v":1,"pads":{"kick":{"muted":1}}}}})";
  rig.send(message);
  EXPECT_EQ(rig.handler.calls, (std::vector<std::string>{"begin 1", "perform 1 0.4", "end 1",
                                                         "begin 3", "perform 3 0.5", "end 3"}));
  ASSERT_EQ(rig.processor.withId("norvo.padOverrides").size(), 1u);
  EXPECT_EQ(rig.processor.withId("norvo.padOverrides")[0]->json, R"({"kick":{"muted":1}})");
  EXPECT_EQ(rig.page.texts.size(), 3u);  // two paramChanged, the bank state
  EXPECT_EQ(rig.saved(), R"({"sampler":{"v":1,"pads":{"kick":{"muted":1}}}})");
  EXPECT_EQ(rig.lastEvent(),
            R"({"seq":2,"timeMs":T,"kind":"stateRestored","detail":{"stateBytes":)" +
                std::to_string(message.size()) + R"(,"source":"ui"}})");
  rig.send(R"({"type":"norvo.setState","state":"not an object"})");
  EXPECT_EQ(rig.page.texts.size(), 3u);
}

TEST(NorvoController, BankRequestsPresetsAndAFailedSend) {
  Rig rig;
  rig.send(R"({"type":"norvo.loadBank","source":"user-folder","bankPath":"/b","instrument":"i"})");
  ASSERT_EQ(rig.processor.withId("norvo.loadRuntimeBank").size(), 1u);
  EXPECT_EQ(rig.processor.withId("norvo.loadRuntimeBank")[0]->json, "user-folder\n/b\n\ni");
  const std::string reply = "ok\n\ninst\tPiano\tinstruments\n\x01p1\tBright\tinst\tchord.spread=2";
  rig.notify("norvo.runtimeBankResult", &reply);
  rig.page.texts.clear();
  rig.send(R"({"type":"norvo.loadBankPreset","id":"p1"})");
  EXPECT_EQ(rig.handler.calls, (std::vector<std::string>{"begin 2", "perform 2 1", "end 2"}));
  EXPECT_EQ(rig.page.texts[0],
            R"({"type":"norvo.paramChanged","path":"chord.spread","value":2,"normalized":1})");
  EXPECT_EQ(rig.processor.received.back().json, "p1");
  EXPECT_STREQ(rig.controller->presetStateFacts().currentId, "p1");
  EXPECT_EQ(rig.lastEvent(), R"({"seq":2,"timeMs":T,"kind":"presetLoaded","detail":{"id":"p1",)"
                             R"("name":"Bright","origin":"bank"}})");

  rig.controller->disconnect(&rig.processor);  // no processor to ask: the page hears at once
  rig.page.texts.clear();
  rig.send(R"({"type":"norvo.loadBank","source":"user-folder","bankPath":"/c"})");
  ASSERT_EQ(rig.page.texts.size(), 1u);
  EXPECT_NE(rig.page.texts[0].find(R"("error":{"code":"missing","requestedId":"/c"})"),
            std::string::npos);
}

TEST(NorvoController, CadenceClockRunsOnTheContextsRunLoopAndMovesToAView) {
  test::RunLoopDouble contextLoop, viewLoop;
  {
    Rig rig("Test Host", &contextLoop);
    ASSERT_EQ(contextLoop.timers.size(), 1u);
    EXPECT_EQ(contextLoop.timers[0].milliseconds, 33u);
    contextLoop.fireAll();
    ASSERT_EQ(rig.processor.received.size(), 2u);
    EXPECT_EQ(rig.processor.received[0].id, "norvo.diag.transportPoll");
    EXPECT_EQ(rig.processor.received[1].id, "norvo.diag.feedDrain");

    HostRunLoopAdapter view(&viewLoop);  // what an attached view offers
    offerHostRunLoop(view.table());
    EXPECT_TRUE(contextLoop.timers.empty());
    ASSERT_EQ(viewLoop.timers.size(), 1u);
    viewLoop.fireAll();
    EXPECT_EQ(rig.processor.received.size(), 4u);
    withdrawHostRunLoop(view.table());
    EXPECT_EQ(contextLoop.timers.size(), 1u);
  }
  EXPECT_TRUE(contextLoop.timers.empty());  // terminate stopped it
  EXPECT_FALSE(hostRunLoopKnown());
}

void collect(void* texts, const char* text, std::size_t length) {
  static_cast<std::vector<std::string>*>(texts)->emplace_back(text, length);
}

TEST(NorvoController, DiagnosticBridgeFunctions) {
  Rig rig;
  FUnknown* unknown = static_cast<IEditController*>(rig.controller.get());
  std::vector<std::string> texts;
  const std::string ready = R"({"type":"norvo.ready"})";
  EXPECT_EQ(norvoDiagnosticBridgeAbiVersion(), 2);
  EXPECT_EQ(norvoInstallDiagnosticBridgeSink(nullptr, &collect, &texts), 0);
  EXPECT_EQ(norvoInstallDiagnosticBridgeSink(&rig.processor, &collect, &texts), 0);  // not ours
  EXPECT_EQ(norvoDeliverDiagnosticBridgeMessage(unknown, nullptr, 3), 0);
  EXPECT_EQ(norvoDeliverDiagnosticBridgeMessage(nullptr, ready.data(), ready.size()), 0);
  EXPECT_EQ(norvoTickDiagnosticCadence(nullptr), 0);
  EXPECT_TRUE(rig.processor.received.empty());
  // Installing, delivering and ticking work end to end: tests/e2e/bridge_probe_test.cpp.
  EXPECT_EQ(norvoInstallDiagnosticBridgeSink(unknown, &collect, &texts), 1);
  EXPECT_EQ(norvoInstallDiagnosticBridgeSink(unknown, nullptr, nullptr), 1);
  rig.controller->sendHello();
  EXPECT_TRUE(texts.empty() && rig.page.texts.empty());
}

}  // namespace
}  // namespace norvo
