// The product's identity, in one place: names, vendor, version, module id and the class ids.
// Plain constants without SDK types, so every layer reads the same values. Any thread.
#pragma once

#include "product/product_version.h"

namespace norvo::product {

inline constexpr const char* kName = "Chord";
inline constexpr const char* kControllerName = "Chord Controller";
inline constexpr const char* kVendor = "Norvo Music";
inline constexpr const char* kVendorUrl = "https://norvo.music";
inline constexpr const char* kVendorEmail = "support@norvo.music";
inline constexpr const char* kVersion = NORVO_PRODUCT_VERSION;  // from the build's project version
inline constexpr const char* kModuleId = "music.norvo.chord";   // plug-in id in reports and hello

// Class ids as the four 32-bit words of a VST 3 FUID (the processor names the controller as its
// controller class). Never change them: hosts store projects by these ids.
inline constexpr unsigned kProcessorClassId[4] = {0x04459454, 0xA1D0E159, 0xAA625401, 0xEA64466F};
inline constexpr unsigned kControllerClassId[4] = {0xD019285E, 0x1D2206E1, 0xF4BD3873, 0xF0678EC8};

}  // namespace norvo::product
