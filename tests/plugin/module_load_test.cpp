// The built Chord.so loaded the way a host loads it: dlopen, the exported entry points found
// with dlsym, classes created through the factory, and one note played through the processor.
// Nothing of the plug-in is linked into this binary; it sees only the module's C exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/allocation_counter.h"
#include "support/plugin/vst_test_doubles.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

using ModuleEntryFn = bool (*)(void*);
using ModuleExitFn = bool (*)();
using GetFactoryFn = IPluginFactory* (*)();

class ModuleLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(NORVO_CHORD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    entry_ = reinterpret_cast<ModuleEntryFn>(dlsym(handle_, "ModuleEntry"));
    exit_ = reinterpret_cast<ModuleExitFn>(dlsym(handle_, "ModuleExit"));
    getFactory_ = reinterpret_cast<GetFactoryFn>(dlsym(handle_, "GetPluginFactory"));
    ASSERT_NE(entry_, nullptr);
    ASSERT_NE(exit_, nullptr);
    ASSERT_NE(getFactory_, nullptr);
    ASSERT_TRUE(entry_(handle_));
  }
  void TearDown() override {
    if (exit_ != nullptr) {
      EXPECT_TRUE(exit_());
    }
    if (handle_ != nullptr) dlclose(handle_);
  }

  void* handle_ = nullptr;
  ModuleEntryFn entry_ = nullptr;
  ModuleExitFn exit_ = nullptr;
  GetFactoryFn getFactory_ = nullptr;
};

TEST_F(ModuleLoadTest, ExportsEveryEntryPointAndHidesTheRest) {
  for (const char* name : {"bundleEntry", "bundleExit", "chord_5f2c9e_create",
                           "chord_5f2c9e_push_event", "chord_5f2c9e_event_output_b"}) {
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  }
  EXPECT_EQ(dlsym(handle_, "gPluginFactory"), nullptr);
  EXPECT_EQ(dlsym(handle_, "_ZN9Steinberg14CPluginFactory13countClassesEv"), nullptr);
}

// A host that releases everything, leaves and unloads the module, then loads it again gets a
// working factory and processor as on the first load.
TEST_F(ModuleLoadTest, UnloadedAndReloadedModuleWorksAgain) {
  IPluginFactory* factory = getFactory_();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->release(), 0u);  // the last reference: the factory is gone
  ASSERT_TRUE(exit_());
  EXPECT_FALSE(exit_());  // already left
  dlclose(handle_);

  handle_ = dlopen(NORVO_CHORD_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle_, nullptr) << dlerror();
  entry_ = reinterpret_cast<ModuleEntryFn>(dlsym(handle_, "ModuleEntry"));
  exit_ = reinterpret_cast<ModuleExitFn>(dlsym(handle_, "ModuleExit"));
  getFactory_ = reinterpret_cast<GetFactoryFn>(dlsym(handle_, "GetPluginFactory"));
  ASSERT_TRUE(entry_ != nullptr && exit_ != nullptr && getFactory_ != nullptr);
  ASSERT_TRUE(entry_(handle_));
  factory = getFactory_();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->countClasses(), 2);
  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  IComponent* component = nullptr;
  ASSERT_EQ(
      factory->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component)),
      kResultOk);
  HostApplication host;  // not reference-counted: lives on the stack
  ASSERT_EQ(component->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  FUnknownPtr<IAudioProcessor> processor(component);
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  EXPECT_EQ(processor->setupProcessing(setup), kResultOk);
  EXPECT_EQ(component->setActive(true), kResultOk);
  EXPECT_EQ(component->setActive(false), kResultOk);
  EXPECT_EQ(component->terminate(), kResultOk);
  processor.reset();
  EXPECT_EQ(component->release(), 0u);
  EXPECT_EQ(factory->release(), 0u);
}

TEST_F(ModuleLoadTest, FindsItsPageInsideTheBundle) {
  using UiRootFn = const char* (*)();
  auto uiRoot = reinterpret_cast<UiRootFn>(dlsym(handle_, "norvoPluginUiRootForDiagnostics"));
  ASSERT_NE(uiRoot, nullptr);
  char expected[4096];
  ASSERT_NE(realpath(NORVO_CHORD_UI_ROOT, expected), nullptr);
  EXPECT_STREQ(uiRoot(), expected);
}

TEST_F(ModuleLoadTest, PlaysAChordThroughTheLoadedModule) {
  IPluginFactory* factory = getFactory_();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->countClasses(), 2);
  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_STREQ(info.name, "Chord");

  IComponent* component = nullptr;
  ASSERT_EQ(
      factory->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component)),
      kResultOk);
  HostApplication host;  // not reference-counted: lives on the stack
  ASSERT_EQ(component->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  FUnknownPtr<IAudioProcessor> processor(component);
  ASSERT_TRUE(processor);
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(component->setActive(true), kResultOk);

  norvo::test::ParameterChangesDouble changes;
  norvo::test::EventListDouble in;
  norvo::test::EventListDouble out;
  changes.point(1, 0, 0.4);  // major
  in.addNoteOn(60, 0.5f, 9);
  ProcessData data;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 128;
  data.inputParameterChanges = &changes;
  data.inputEvents = &in;
  data.outputEvents = &out;
  ASSERT_EQ(processor->process(data), kResultOk);
  ASSERT_EQ(out.getEventCount(), 3);
  const int pitches[] = {60, 64, 67};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(out.at(i).noteOn.pitch, pitches[i]);
    EXPECT_EQ(out.at(i).sampleOffset, 9);
  }

  EXPECT_EQ(component->setActive(false), kResultOk);
  EXPECT_EQ(component->terminate(), kResultOk);
  processor.reset();
  component->release();
  factory->release();
}

// Hosts call process on an audio thread of their own. There, from its very first call into
// the module, the loaded plug-in neither allocates nor locks.
TEST_F(ModuleLoadTest, ProcessOnTheHostsAudioThreadNeitherAllocatesNorLocks) {
  IPluginFactory* factory = getFactory_();
  ASSERT_NE(factory, nullptr);
  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  IComponent* component = nullptr;
  {
    // The counter sees the module's own allocations (creating an instance allocates).
    norvo::test::AllocationScope scope;
    ASSERT_EQ(
        factory->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component)),
        kResultOk);
    EXPECT_GT(scope.counts().allocations, 0u);
  }
  HostApplication host;  // not reference-counted: lives on the stack
  ASSERT_EQ(component->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  FUnknownPtr<IAudioProcessor> processor(component);
  ASSERT_TRUE(processor);
  ProcessSetup setup{kRealtime, kSample32, 256, 44100.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(component->setActive(true), kResultOk);
  processor->setProcessing(true);

  norvo::test::ParameterChangesDouble changes;
  norvo::test::EventListDouble in;
  norvo::test::EventListDouble out;
  ProcessData data;
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 256;
  data.inputParameterChanges = &changes;
  data.inputEvents = &in;
  data.outputEvents = &out;
  int produced = 0;
  norvo::test::AllocationCounts counts;
  std::thread audio([&] {
    norvo::test::AllocationScope scope;
    for (int block = 0; block < 8; ++block) {
      changes.clear();
      in.clear();
      out.clear();
      changes.point(1, 0, (block % 6) / 5.0);
      in.addNoteOn(60 + block, 0.8f, 3);
      in.addNoteOff(60 + block, 200);
      if (processor->process(data) == kResultOk) produced += out.getEventCount();
    }
    counts = scope.counts();
  });
  audio.join();
  EXPECT_GT(produced, 0);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);

  processor->setProcessing(false);
  EXPECT_EQ(component->setActive(false), kResultOk);
  EXPECT_EQ(component->terminate(), kResultOk);
  processor.reset();
  component->release();
  factory->release();
}

}  // namespace
