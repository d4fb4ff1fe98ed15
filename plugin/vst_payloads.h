// Reading what the host and the peer component hand over: a whole IBStream (the state calls)
// and the "json" attribute of an IMessage (every processor/controller message carries its
// payload there). Main thread.
#pragma once

#include <string>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace norvo {

// Everything the stream holds: 4096-byte reads, each appended, until a read fails, returns
// nothing or returns fewer than 4096 bytes.
std::string readWholeStream(Steinberg::IBStream& stream);

// The bytes of the message's binary "json" attribute; false (and `out` untouched) when the
// message carries none.
bool readJsonAttribute(Steinberg::Vst::IMessage& message, std::string& out);

// Whether the SDK's own message handler (ComponentBase::notify) may see the message: it reads a
// "TextMessage"'s attribute list without checking that there is one, so such a message without
// attributes must be refused before it gets there.
bool safeForSdkNotify(Steinberg::Vst::IMessage& message);

}  // namespace norvo
