// The module's factory and entry points as a host meets them: the class list, the class infos
// field by field, instance creation and the module's reference-counted initialization.
#include "plugin/plugin_factory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/class_ids.h"
#include "plugin/module_entry.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace norvo {
namespace {

using namespace Steinberg;

// Holds the factory for one test and releases it at the end.
class FactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = GetPluginFactory();
    ASSERT_NE(factory_, nullptr);
  }
  void TearDown() override { factory_->release(); }

  IPluginFactory* factory_ = nullptr;
};

TEST_F(FactoryTest, EveryCallReturnsTheSameObjectWithOneMoreReference) {
  IPluginFactory* second = GetPluginFactory();
  EXPECT_EQ(second, factory_);
  // Two references held by this test now: the one from the second call plus one more counted.
  EXPECT_EQ(second->addRef(), 3u);
  second->release();
  second->release();
}

TEST_F(FactoryTest, FactoryInfoNamesTheVendorWithUnicodeFlag) {
  PFactoryInfo info;
  ASSERT_EQ(factory_->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Norvo Music");
  EXPECT_EQ(info.flags, 16);
  EXPECT_STRNE(info.url, "");
  EXPECT_STRNE(info.email, "");
}

struct ExpectedClass {
  FUID cid;
  const char* category;
  const char* name;
  uint32 classFlags;
  const char* subCategories;
};

TEST_F(FactoryTest, TwoClassesInOrderWithEveryField) {
  FUnknownPtr<IPluginFactory2> factory2(factory_);
  ASSERT_TRUE(factory2);
  ASSERT_EQ(factory_->countClasses(), 2);
  const ExpectedClass expected[] = {
      {processorClassId(), "Audio Module Class", "Chord", 1, "Fx"},
      {controllerClassId(), "Component Controller Class", "Chord Controller", 0, ""},
  };
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    PClassInfo2 info;
    ASSERT_EQ(factory2->getClassInfo2(i, &info), kResultOk);
    EXPECT_TRUE(FUID::fromTUID(info.cid) == expected[i].cid);
    EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
    EXPECT_STREQ(info.category, expected[i].category);
    EXPECT_STREQ(info.name, expected[i].name);
    EXPECT_EQ(info.classFlags, expected[i].classFlags);
    EXPECT_STREQ(info.subCategories, expected[i].subCategories);
    EXPECT_STREQ(info.vendor, "");
    EXPECT_STREQ(info.version, "0.1.0");
    EXPECT_STREQ(info.sdkVersion, "VST 3.8.1");

    PClassInfo basic;
    ASSERT_EQ(factory_->getClassInfo(i, &basic), kResultOk);
    EXPECT_STREQ(basic.name, expected[i].name);
    EXPECT_STREQ(basic.category, expected[i].category);
  }
  PClassInfo2 beyond;
  EXPECT_NE(factory2->getClassInfo2(2, &beyond), kResultOk);
}

TEST_F(FactoryTest, UnicodeClassInfoMatchesTheNarrowOne) {
  FUnknownPtr<IPluginFactory3> factory3(factory_);
  ASSERT_TRUE(factory3);
  PClassInfoW info;
  ASSERT_EQ(factory3->getClassInfoUnicode(1, &info), kResultOk);
  char name[64];
  UString(info.name, 64).toAscii(name, sizeof name);
  EXPECT_STREQ(name, "Chord Controller");
  char sdk[64];
  UString(info.sdkVersion, 64).toAscii(sdk, sizeof sdk);
  EXPECT_STREQ(sdk, "VST 3.8.1");
}

TEST_F(FactoryTest, CreatesTheProcessorAndTheControllerItNames) {
  Vst::IComponent* component = nullptr;
  ASSERT_EQ(factory_->createInstance(processorClassId().toTUID(), Vst::IComponent::iid,
                                     reinterpret_cast<void**>(&component)),
            kResultOk);
  ASSERT_NE(component, nullptr);
  FUnknownPtr<Vst::IAudioProcessor> processor(component);
  EXPECT_TRUE(processor);
  TUID controllerId;
  ASSERT_EQ(component->getControllerClassId(controllerId), kResultOk);
  EXPECT_TRUE(FUID::fromTUID(controllerId) == controllerClassId());

  Vst::IEditController* controller = nullptr;
  ASSERT_EQ(factory_->createInstance(controllerId, Vst::IEditController::iid,
                                     reinterpret_cast<void**>(&controller)),
            kResultOk);
  ASSERT_NE(controller, nullptr);
  controller->release();
  component->release();

  void* none = nullptr;
  EXPECT_EQ(factory_->createInstance(processorClassId().toTUID(), Vst::IEditController::iid, &none),
            kNoInterface);
  EXPECT_EQ(none, nullptr);
}

TEST_F(FactoryTest, ControllerPublishesFourAutomatableParametersInTableOrder) {
  Vst::IEditController* controller = nullptr;
  ASSERT_EQ(factory_->createInstance(controllerClassId().toTUID(), Vst::IEditController::iid,
                                     reinterpret_cast<void**>(&controller)),
            kResultOk);
  Vst::HostApplication host;  // not reference-counted: lives on the stack
  FUnknown* context = static_cast<Vst::IHostApplication*>(&host);
  ASSERT_EQ(controller->initialize(context), kResultOk);
  ASSERT_EQ(controller->getParameterCount(), 4);
  const char* titles[] = {"On", "Mode", "Spread", "Velocity"};
  const double defaults[] = {1.0, 0.0, 0.5, 0.8};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    Vst::ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(i, info), kResultOk);
    char title[128];
    UString(info.title, 128).toAscii(title, sizeof title);
    EXPECT_EQ(info.id, static_cast<Vst::ParamID>(i));
    EXPECT_STREQ(title, titles[i]);
    EXPECT_EQ(info.defaultNormalizedValue, defaults[i]);
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.unitId, Vst::kRootUnitId);
    EXPECT_EQ(info.flags, Vst::ParameterInfo::kCanAutomate);
    EXPECT_EQ(controller->getParamNormalized(info.id), defaults[i]);
  }
  // Indexes outside the lists are refused, never thrown at the host.
  Vst::ParameterInfo beyond{};
  EXPECT_EQ(controller->getParameterInfo(4, beyond), kResultFalse);
  EXPECT_EQ(controller->getParameterInfo(-1, beyond), kResultFalse);
  FUnknownPtr<Vst::IUnitInfo> units(controller);
  ASSERT_TRUE(units);
  EXPECT_EQ(units->getUnitCount(), 0);
  Vst::UnitInfo unit{};
  EXPECT_EQ(units->getUnitInfo(0, unit), kResultFalse);
  EXPECT_EQ(units->getUnitInfo(-1, unit), kResultFalse);
  Vst::String128 text{};
  ASSERT_EQ(controller->getParamStringByValue(2, 0.75, text), kResultOk);
  char narrow[128];
  UString(text, 128).toAscii(narrow, sizeof narrow);
  EXPECT_STREQ(narrow, "1");
  // A second initialize without terminate is refused and adds nothing.
  EXPECT_NE(controller->initialize(context), kResultOk);
  EXPECT_EQ(controller->getParameterCount(), 4);
  // Terminate drops the parameters; initializing again builds the same four once more.
  EXPECT_EQ(controller->terminate(), kResultOk);
  EXPECT_EQ(controller->getParameterCount(), 0);
  ASSERT_EQ(controller->initialize(context), kResultOk);
  ASSERT_EQ(controller->getParameterCount(), 4);
  Vst::ParameterInfo last{};
  ASSERT_EQ(controller->getParameterInfo(3, last), kResultOk);
  EXPECT_EQ(last.id, 3u);
  EXPECT_EQ(controller->getParamNormalized(3), 0.8);
  EXPECT_EQ(controller->terminate(), kResultOk);
  controller->release();
}

TEST(ModuleEntryTest, BothEntryPairsShareOneReferenceCount) {
  ASSERT_FALSE(moduleInitialized());
  EXPECT_FALSE(ModuleExit());  // an exit without an entry is refused
  EXPECT_TRUE(ModuleEntry(nullptr));
  EXPECT_TRUE(moduleInitialized());
  EXPECT_TRUE(bundleEntry(nullptr));
  EXPECT_TRUE(ModuleEntry(nullptr));
  EXPECT_EQ(moduleEntryCount(), 3);
  EXPECT_STRNE(moduleBundlePath(), "");  // the test binary's own path outside a bundle
  EXPECT_TRUE(ModuleExit());
  EXPECT_TRUE(bundleExit());
  EXPECT_TRUE(moduleInitialized());
  EXPECT_TRUE(ModuleExit());
  EXPECT_FALSE(moduleInitialized());
  EXPECT_EQ(moduleEntryCount(), 0);
  EXPECT_FALSE(bundleExit());
}

}  // namespace
}  // namespace norvo
