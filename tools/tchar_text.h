// Conversions between the SDK's UTF-16 strings and UTF-8 text. Any thread.
#pragma once

#include "pluginterfaces/base/ftypes.h"

#include <string>

namespace norvo::probe {

// UTF-16 text (terminated, or at most maxUnits units) as UTF-8; lone surrogates become U+FFFD.
std::string toUtf8(const Steinberg::char16* text, size_t maxUnits = 128);

// UTF-8 text as terminated UTF-16 in a buffer of `units` units, cut to fit.
void toUtf16(const std::string& text, Steinberg::char16* out, size_t units);

// UTF-8 text as a UTF-16 string.
std::u16string toUtf16(const std::string& text);

}  // namespace norvo::probe
