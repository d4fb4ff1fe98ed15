// The host's IMessage and IAttributeList.
#include "tools/host_message.h"

#include <cstring>

namespace norvo::probe {

using namespace Steinberg;

namespace {

template <class T, class Map>
const T* find(const Map& values, const char* id) {
  if (!id) return nullptr;
  const auto it = values.find(id);
  return it == values.end() ? nullptr : std::get_if<T>(&it->second);
}

}  // namespace

tresult PLUGIN_API HostAttributeList::setInt(AttrID id, int64 value) {
  if (!id) return kInvalidArgument;
  values_[id] = value;
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::getInt(AttrID id, int64& value) {
  const auto* v = find<int64>(values_, id);
  if (!v) return kResultFalse;
  value = *v;
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setFloat(AttrID id, double value) {
  if (!id) return kInvalidArgument;
  values_[id] = value;
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::getFloat(AttrID id, double& value) {
  const auto* v = find<double>(values_, id);
  if (!v) return kResultFalse;
  value = *v;
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setString(AttrID id, const Vst::TChar* string) {
  if (!id || !string) return kInvalidArgument;
  std::u16string text;
  for (const Vst::TChar* p = string; *p; ++p) text += static_cast<char16_t>(*p);
  values_[id] = std::move(text);
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::getString(AttrID id, Vst::TChar* string, uint32 sizeInBytes) {
  const auto* v = find<std::u16string>(values_, id);
  const uint32 units = sizeInBytes / sizeof(Vst::TChar);
  if (!v || !string || units == 0) return kResultFalse;
  const size_t n = v->size() < units - 1 ? v->size() : units - 1;
  std::memcpy(string, v->data(), n * sizeof(Vst::TChar));
  string[n] = 0;
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setBinary(AttrID id, const void* data, uint32 sizeInBytes) {
  if (!id || (!data && sizeInBytes > 0)) return kInvalidArgument;
  const char* bytes = static_cast<const char*>(data);
  values_[id] = std::vector<char>(bytes, bytes + sizeInBytes);
  return kResultOk;
}

tresult PLUGIN_API HostAttributeList::getBinary(AttrID id, const void*& data, uint32& sizeInBytes) {
  const auto* v = find<std::vector<char>>(values_, id);
  if (!v) return kResultFalse;
  data = v->data();
  sizeInBytes = static_cast<uint32>(v->size());
  return kResultOk;
}

HostMessage::HostMessage() : attributes_(owned(new HostAttributeList)) {}

FIDString PLUGIN_API HostMessage::getMessageID() { return hasId_ ? id_.c_str() : nullptr; }

void PLUGIN_API HostMessage::setMessageID(FIDString id) {
  hasId_ = id != nullptr;
  id_ = id ? id : "";
}

Vst::IAttributeList* PLUGIN_API HostMessage::getAttributes() { return attributes_; }

}  // namespace norvo::probe
