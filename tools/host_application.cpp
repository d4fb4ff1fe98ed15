// The host context: name and message factory.
#include "tools/host_application.h"

#include "tools/host_message.h"
#include "tools/tchar_text.h"

namespace norvo::probe {

using namespace Steinberg;

tresult PLUGIN_API HostApplication::getName(Vst::String128 name) {
  if (!name) return kInvalidArgument;
  toUtf16(kHostName, name, 128);
  return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID cid, TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  const auto is = [](const TUID a, const TUID b) { return FUnknownPrivate::iidEqual(a, b); };
  if (is(cid, Vst::IMessage::iid) && is(iid, Vst::IMessage::iid)) {
    *obj = static_cast<Vst::IMessage*>(new HostMessage);
    return kResultOk;
  }
  if (is(cid, Vst::IAttributeList::iid) && is(iid, Vst::IAttributeList::iid)) {
    *obj = static_cast<Vst::IAttributeList*>(new HostAttributeList);
    return kResultOk;
  }
  return kNoInterface;
}

}  // namespace norvo::probe
