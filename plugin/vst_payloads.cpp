// Whole host streams and message payloads as byte strings.
#include "plugin/vst_payloads.h"

#include <cstring>

namespace norvo {

using namespace Steinberg;

namespace {

constexpr int32 kReadBlock = 4096;

}  // namespace

std::string readWholeStream(IBStream& stream) {
  std::string bytes;
  char block[kReadBlock];
  for (;;) {
    int32 got = 0;
    if (stream.read(block, kReadBlock, &got) != kResultOk || got <= 0) break;
    bytes.append(block, static_cast<std::size_t>(got < kReadBlock ? got : kReadBlock));
    if (got < kReadBlock) break;
  }
  return bytes;
}

bool readJsonAttribute(Vst::IMessage& message, std::string& out) {
  Vst::IAttributeList* attributes = message.getAttributes();
  if (attributes == nullptr) return false;
  const void* data = nullptr;
  uint32 size = 0;
  if (attributes->getBinary("json", data, size) != kResultOk) return false;
  if (data == nullptr && size != 0) return false;
  out.assign(static_cast<const char*>(data), size);
  return true;
}

bool safeForSdkNotify(Vst::IMessage& message) {
  const char* id = message.getMessageID();
  if (id == nullptr || std::strcmp(id, "TextMessage") != 0) return true;
  return message.getAttributes() != nullptr;
}

}  // namespace norvo
