// The processor's audio thread against its main thread: process runs block after block while
// the main thread restores states, publishes pad overrides and saves. Built and run under
// ThreadSanitizer (label "threads"); the plain build checks what the blocks played.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "plugin/norvo_processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(ProcessorStateThreads, RestoresAndPadOverridesWhileProcessing) {
  HostApplication host;  // not reference-counted; outlives the processor
  IPtr<NorvoProcessor> processor = owned(new NorvoProcessor());
  test::MessageRecorder peer;
  ASSERT_EQ(processor->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  ASSERT_EQ(processor->connect(&peer), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(processor->setActive(true), kResultOk);

  std::atomic<bool> done{false};
  int notesOut = 0;
  std::thread audio([&] {
    test::EventListDouble in;
    test::EventListDouble out;
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = 256;
    data.inputEvents = &in;
    data.outputEvents = &out;
    for (int block = 0; !done.load(std::memory_order_acquire) || block < 64; ++block) {
      in.clear();
      out.clear();
      in.addNoteOn(60, 0.8f, 0);
      in.addNoteOff(60, 200);
      processor->process(data);
      notesOut += out.getEventCount();
    }
  });

  // Every restore alternates mode and pads; every state saved in between parses back.
  for (int round = 0; round < 200; ++round) {
    const std::string mode = std::to_string(round % 6);
    test::StreamDouble state(R"({"params":{"chord.mode":)" + mode +
                             R"(},"sampler":{"v":1,"pads":{"p)" + mode + R"(":{"gain":1}}}})");
    EXPECT_EQ(processor->setState(&state), kResultOk);
    const std::string pads = R"({"q)" + mode + R"(":{"pan":0.5}})";
    IPtr<HostMessage> message = owned(new HostMessage);
    message->setMessageID("norvo.padOverrides");
    message->getAttributes()->setBinary("json", pads.data(), static_cast<uint32>(pads.size()));
    EXPECT_EQ(processor->notify(message), kResultOk);
    test::StreamDouble saved;
    EXPECT_EQ(processor->getState(&saved), kResultOk);
    EXPECT_NE(saved.bytes.find(R"("chord.mode":)" + mode), std::string::npos);
    EXPECT_NE(saved.bytes.find(R"("pads":{"q)" + mode), std::string::npos);
  }
  done.store(true, std::memory_order_release);
  audio.join();

  EXPECT_GT(notesOut, 0);
  EXPECT_EQ(processor->engine().padOverridesGeneration(), 400u);
  EXPECT_EQ(processor->engine().retiredPadOverrideCount(), 0u);
  processor->setActive(false);
  processor->disconnect(&peer);
  processor->terminate();
}

}  // namespace
}  // namespace norvo
