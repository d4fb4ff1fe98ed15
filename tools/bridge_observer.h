// IBridgeObserver as the host declares it (the plug-in declares the same interface, with the
// same name and id, on its side: the name is part of the interface, as run-time type checks
// across the module boundary compare it): an optional interface a host's IPlugFrame may offer to watch a Chord
// editor's page bridge. When the frame answers it, the editor view reports every text the page
// posts and every text delivered to the page. Hosts that do not offer it change nothing;
// norvo-probe offers it to print the traffic. Main thread only.
#pragma once

#include "pluginterfaces/base/funknown.h"

namespace norvo {

class IBridgeObserver : public Steinberg::FUnknown {
 public:
  // A text the page posted (UTF-8, `length` bytes, not NUL-terminated).
  virtual void PLUGIN_API pageSent(const char* text, Steinberg::int32 length) = 0;
  // A text delivered to the page.
  virtual void PLUGIN_API pageReceived(const char* text, Steinberg::int32 length) = 0;

  // The interface id, spelled out here so that a host can declare the same interface.
  static constexpr Steinberg::TUID iid = INLINE_UID(0x6E6F7276, 0x6F427269, 0x6467654F, 0x62737276);
};

}  // namespace norvo
