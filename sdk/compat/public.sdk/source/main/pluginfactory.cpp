// CPluginFactory for SDK copies that lack it (see the header).
#include "public.sdk/source/main/pluginfactory.h"

#include <cstring>
#include <utility>

namespace Steinberg {

IPluginFactory* gPluginFactory = nullptr;

namespace {

// UTF-16 to 8-bit for the narrow class infos: ASCII is kept, anything else becomes '?'.
template <std::size_t N, std::size_t M>
void narrowInto(char8 (&dst)[N], const char16 (&src)[M]) {
  constexpr std::size_t count = N < M ? N : M;
  std::size_t i = 0;
  for (; i + 1 < count && src[i] != 0; ++i)
    dst[i] = src[i] < 0x80 ? static_cast<char8>(src[i]) : '?';
  dst[i] = 0;
}

}  // namespace

CPluginFactory::CPluginFactory(const PFactoryInfo& info)
    : factoryInfo(info){FUNKNOWN_CTOR}

      CPluginFactory::~CPluginFactory() {
  if (gPluginFactory == this) gPluginFactory = nullptr;
  FUNKNOWN_DTOR
}

IMPLEMENT_REFCOUNT(CPluginFactory)

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, IPluginFactory::iid, IPluginFactory)
  QUERY_INTERFACE(iid, obj, IPluginFactory2::iid, IPluginFactory2)
  QUERY_INTERFACE(iid, obj, IPluginFactory3::iid, IPluginFactory3)
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IPluginFactory)
  *obj = nullptr;
  return kNoInterface;
}

bool CPluginFactory::addEntry(PClassEntry&& entry) {
  if (entry.createFunc == nullptr) return false;
  if (isClassRegistered(FUID::fromTUID(entry.info8.cid))) return false;
  classes.push_back(std::move(entry));
  return true;
}

bool CPluginFactory::registerClass(const PClassInfo* info, CreateFunc createFunc, void* context) {
  if (info == nullptr) return false;
  PClassEntry entry;
  std::memcpy(entry.info8.cid, info->cid, sizeof(TUID));
  entry.info8.cardinality = info->cardinality;
  strncpy8(entry.info8.category, info->category, PClassInfo::kCategorySize);
  strncpy8(entry.info8.name, info->name, PClassInfo::kNameSize);
  entry.info16.fromAscii(entry.info8);
  entry.createFunc = createFunc;
  entry.context = context;
  return addEntry(std::move(entry));
}

bool CPluginFactory::registerClass(const PClassInfo2* info, CreateFunc createFunc, void* context) {
  if (info == nullptr) return false;
  PClassEntry entry;
  entry.info8 = *info;
  entry.info16.fromAscii(*info);
  entry.createFunc = createFunc;
  entry.context = context;
  return addEntry(std::move(entry));
}

bool CPluginFactory::registerClass(const PClassInfoW* info, CreateFunc createFunc, void* context) {
  if (info == nullptr) return false;
  PClassEntry entry;
  entry.info16 = *info;
  std::memcpy(entry.info8.cid, info->cid, sizeof(TUID));
  entry.info8.cardinality = info->cardinality;
  strncpy8(entry.info8.category, info->category, PClassInfo::kCategorySize);
  narrowInto(entry.info8.name, info->name);
  entry.info8.classFlags = info->classFlags;
  strncpy8(entry.info8.subCategories, info->subCategories, PClassInfo2::kSubCategoriesSize);
  narrowInto(entry.info8.vendor, info->vendor);
  narrowInto(entry.info8.version, info->version);
  narrowInto(entry.info8.sdkVersion, info->sdkVersion);
  entry.createFunc = createFunc;
  entry.context = context;
  entry.isUnicode = true;
  return addEntry(std::move(entry));
}

bool CPluginFactory::isClassRegistered(const FUID& cid) {
  for (const auto& entry : classes) {
    if (FUnknownPrivate::iidEqual(cid.toTUID(), entry.info8.cid)) return true;
  }
  return false;
}

void CPluginFactory::removeAllClasses() { classes.clear(); }

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (info == nullptr) return kInvalidArgument;
  std::memcpy(info, &factoryInfo, sizeof(PFactoryInfo));
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() { return static_cast<int32>(classes.size()); }

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  if (info == nullptr) return kInvalidArgument;
  if (index < 0 || index >= countClasses()) return kInvalidArgument;
  const PClassEntry& entry = classes[static_cast<std::size_t>(index)];
  *info = PClassInfo();
  std::memcpy(info->cid, entry.info8.cid, sizeof(TUID));
  info->cardinality = entry.info8.cardinality;
  strncpy8(info->category, entry.info8.category, PClassInfo::kCategorySize);
  strncpy8(info->name, entry.info8.name, PClassInfo::kNameSize);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  if (info == nullptr) return kInvalidArgument;
  if (index < 0 || index >= countClasses()) return kInvalidArgument;
  std::memcpy(info, &classes[static_cast<std::size_t>(index)].info8, sizeof(PClassInfo2));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  if (info == nullptr) return kInvalidArgument;
  if (index < 0 || index >= countClasses()) return kInvalidArgument;
  std::memcpy(info, &classes[static_cast<std::size_t>(index)].info16, sizeof(PClassInfoW));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (cid == nullptr || iid == nullptr) return kInvalidArgument;
  for (const auto& entry : classes) {
    if (!FUnknownPrivate::iidEqual(entry.info8.cid, cid)) continue;
    FUnknown* instance = entry.createFunc(entry.context);
    if (instance == nullptr) return kOutOfMemory;
    // The instance starts with one reference; queryInterface adds the caller's, then ours goes.
    const tresult result = instance->queryInterface(iid, obj);
    instance->release();
    if (result != kResultOk) *obj = nullptr;
    return result == kResultOk ? kResultOk : kNoInterface;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/) { return kNotImplemented; }

}  // namespace Steinberg
