// Reading the factory's description and its class list.
#include "tools/factory_classes.h"

#include "tools/crash_guard.h"
#include "tools/probe_error.h"
#include "tools/tchar_text.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstdio>
#include <cstring>

namespace norvo::probe {

using namespace Steinberg;

namespace {

// Fixed-size SDK text fields may lack a terminator; never read past them.
template <size_t N>
std::string text(const char8 (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

template <size_t N>
std::string text(const char16 (&field)[N]) {
  return toUtf8(field, N);
}

// Queries an optional interface of the factory; null when it is not offered.
template <typename Interface>
IPtr<Interface> queryFactory(IPluginFactory& factory) {
  void* obj = nullptr;
  if (factory.queryInterface(Interface::iid, &obj) == kResultOk && obj)
    return owned(static_cast<Interface*>(obj));
  return nullptr;
}

// Copies the fields every class info version has in common.
template <typename Info>
void readClassInfo(const Info& info, FactoryClass& entry) {
  std::memcpy(entry.cid, info.cid, sizeof(TUID));
  entry.cardinality = info.cardinality;
  entry.category = text(info.category);
  entry.name = text(info.name);
}

template <typename Info>
void readClassInfo2(const Info& info, FactoryClass& entry) {
  readClassInfo(info, entry);
  entry.hasInfo2 = true;
  entry.classFlags = info.classFlags;
  entry.subCategories = text(info.subCategories);
  entry.vendor = text(info.vendor);
  entry.version = text(info.version);
  entry.sdkVersion = text(info.sdkVersion);
}

}  // namespace

FactoryFacts readFactoryFacts(IPluginFactory& factory) {
  setCrashStep("reading the factory information");
  PFactoryInfo info{};
  if (factory.getFactoryInfo(&info) != kResultOk)
    throw ProbeError("the plug-in factory refused getFactoryInfo");
  return {text(info.vendor), text(info.url), text(info.email), info.flags};
}

std::vector<FactoryClass> readFactoryClasses(IPluginFactory& factory) {
  setCrashStep("reading the factory's classes");
  // Like the SDK's own hosts: the Unicode class infos when offered, else the second version,
  // else the first.
  const IPtr<IPluginFactory3> factory3 = queryFactory<IPluginFactory3>(factory);
  const IPtr<IPluginFactory2> factory2 = queryFactory<IPluginFactory2>(factory);
  std::vector<FactoryClass> classes;
  const int32 count = factory.countClasses();
  for (int32 i = 0; i < count; ++i) {
    FactoryClass entry;
    PClassInfoW infoW{};
    PClassInfo2 info2{};
    PClassInfo info{};
    if (factory3 && factory3->getClassInfoUnicode(i, &infoW) == kResultOk) {
      readClassInfo2(infoW, entry);
    } else if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
      readClassInfo2(info2, entry);
    } else if (factory.getClassInfo(i, &info) == kResultOk) {
      readClassInfo(info, entry);
    } else {
      throw ProbeError("the plug-in factory refused getClassInfo for class " + std::to_string(i));
    }
    classes.push_back(entry);
  }
  return classes;
}

const FactoryClass& findProcessorClass(const std::vector<FactoryClass>& classes) {
  for (const FactoryClass& entry : classes)
    if (entry.category == kVstAudioEffectClass) return entry;
  throw ProbeError(std::string("the plug-in factory has no class of category \"") +
                   kVstAudioEffectClass + "\"");
}

std::string formatClassId(const TUID cid) {
  std::string out;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(cid[i]));
    out += digits;
  }
  return out;
}

}  // namespace norvo::probe
