// The host's IMessage and IAttributeList, handed out by the host application's createInstance
// so the processor and the controller can talk through their connection points. Main thread.
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <map>
#include <string>
#include <variant>
#include <vector>

namespace norvo::probe {

class HostAttributeList final : public RefCounted<Steinberg::Vst::IAttributeList> {
 public:
  using AttrID = Steinberg::Vst::IAttributeList::AttrID;

  Steinberg::tresult PLUGIN_API setInt(AttrID id, Steinberg::int64 value) override;
  Steinberg::tresult PLUGIN_API getInt(AttrID id, Steinberg::int64& value) override;
  Steinberg::tresult PLUGIN_API setFloat(AttrID id, double value) override;
  Steinberg::tresult PLUGIN_API getFloat(AttrID id, double& value) override;
  Steinberg::tresult PLUGIN_API setString(AttrID id, const Steinberg::Vst::TChar* string) override;
  Steinberg::tresult PLUGIN_API getString(AttrID id, Steinberg::Vst::TChar* string,
                                          Steinberg::uint32 sizeInBytes) override;
  Steinberg::tresult PLUGIN_API setBinary(AttrID id, const void* data,
                                          Steinberg::uint32 sizeInBytes) override;
  Steinberg::tresult PLUGIN_API getBinary(AttrID id, const void*& data,
                                          Steinberg::uint32& sizeInBytes) override;

 private:
  using Value = std::variant<Steinberg::int64, double, std::u16string, std::vector<char>>;
  std::map<std::string, Value> values_;
};

class HostMessage final : public RefCounted<Steinberg::Vst::IMessage> {
 public:
  HostMessage();

  Steinberg::FIDString PLUGIN_API getMessageID() override;
  void PLUGIN_API setMessageID(Steinberg::FIDString id) override;
  Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() override;

 private:
  std::string id_;
  bool hasId_ = false;
  Steinberg::IPtr<HostAttributeList> attributes_;
};

}  // namespace norvo::probe
