// NorvoParameter: the SDK parameter wrapper around one parameter descriptor.
#include "plugin/norvo_parameter.h"

#include "pluginterfaces/base/ustring.h"

namespace norvo {

using Steinberg::UString;
using Steinberg::Vst::ParameterInfo;
using Steinberg::Vst::ParamValue;
using Steinberg::Vst::String128;
using Steinberg::Vst::TChar;

namespace {

constexpr Steinberg::int32 kString128Size = 128;
// Display text arrives from the host as UTF-16 and is narrowed into this many bytes.
constexpr Steinberg::int32 kParseBufferSize = 255;

void assignAscii(String128 dst, const char* src) {
  UString(dst, kString128Size).fromAscii(src != nullptr ? src : "");
}

}  // namespace

Steinberg::int32 paramStepCount(const norvo_param_desc& desc) noexcept {
  switch (desc.kind) {
    case kParamKindList:
      return desc.valueCount < 2 ? 1 : desc.valueCount - 1;
    case kParamKindToggle:
      return 1;
    default:
      return 0;
  }
}

NorvoParameter::NorvoParameter(const norvo_param_desc& desc) : desc_(desc) {
  info = {};
  info.id = desc.id;
  assignAscii(info.title, desc.name);
  assignAscii(info.shortTitle, desc.name);
  assignAscii(info.units, desc.units);
  info.stepCount = paramStepCount(desc);
  info.defaultNormalizedValue = desc.defaultNormalized;
  info.unitId = Steinberg::Vst::kRootUnitId;
  info.flags = ParameterInfo::kCanAutomate;
  setNormalized(desc.defaultNormalized);
}

NorvoParameter::~NorvoParameter() = default;

void NorvoParameter::toString(ParamValue valueNormalized, String128 string) const {
  char text[kParamTextCapacity];
  paramToText(desc_, valueNormalized, text, sizeof text);
  assignAscii(string, text);
}

bool NorvoParameter::fromString(const TChar* string, ParamValue& valueNormalized) const {
  if (string == nullptr) return false;
  char text[kParseBufferSize];
  // The source is read up to its terminator (at most the buffer's size).
  UString(const_cast<TChar*>(string), kParseBufferSize).toAscii(text, kParseBufferSize);
  // Hosts often pass an uninitialized value: it is only written, never read.
  double normalized = 0.0;
  if (!paramFromText(desc_, text, &normalized)) return false;
  valueNormalized = normalized;
  return true;
}

ParamValue NorvoParameter::toPlain(ParamValue valueNormalized) const {
  return paramToPlain(desc_, valueNormalized);
}

ParamValue NorvoParameter::toNormalized(ParamValue plainValue) const {
  return norvo_param_normalize(desc_, plainValue);
}

}  // namespace norvo
