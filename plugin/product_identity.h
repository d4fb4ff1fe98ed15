// The product's identity, in one place: names, vendor, versions, module id and the VST 3 class
// descriptions. Plain constants without SDK types, so every layer (diagnostics, the editor,
// the VST 3 layer) reads the same values. Any thread.
#pragma once

namespace norvo::product {

inline constexpr const char* kName = "Chord";
inline constexpr const char* kVendor = "Norvo Music";
inline constexpr const char* kVersion = "0.1.0";
inline constexpr const char* kModuleId = "music.norvo.chord";  // plug-in id in reports and hello

// VST 3 factory and class descriptions.
inline constexpr const char* kVendorUrl = "https://norvo.music";
inline constexpr const char* kVendorEmail = "support@norvo.music";
inline constexpr int kFactoryFlags = 16;  // Unicode class infos
inline constexpr const char* kVst3SdkVersion = "VST 3.8.1";
inline constexpr int kClassCardinality = 0x7FFFFFFF;  // many instances
inline constexpr const char* kProcessorCategory = "Audio Module Class";
inline constexpr const char* kProcessorSubCategories = "Fx";
inline constexpr const char* kProcessorName = "Chord";
inline constexpr unsigned kProcessorClassFlags = 1;  // distributable
inline constexpr const char* kControllerCategory = "Component Controller Class";
inline constexpr const char* kControllerName = "Chord Controller";
inline constexpr const char* kControllerSubCategories = "";
inline constexpr unsigned kControllerClassFlags = 0;

// Class ids as the four 32-bit words of a VST 3 FUID (processor names the controller as its
// controller class). Never change them: hosts store projects by these ids.
inline constexpr unsigned kProcessorClassId[4] = {0x04459454, 0xA1D0E159, 0xAA625401, 0xEA64466F};
inline constexpr unsigned kControllerClassId[4] = {0xD019285E, 0x1D2206E1, 0xF4BD3873, 0xF0678EC8};

// Diagnostics identity: what the shell reports about itself next to the product names.
inline constexpr const char* kHostClass = "effect";
inline constexpr const char* kShellSdkVersion = "0.0.0";
inline constexpr const char* kBuildMode = "production";
inline constexpr const char* kBuildConfiguration = "Release";
inline constexpr const char* kRatePolicy = "host-native";
inline constexpr int kStateVersion = 1;
inline constexpr int kStateMaxBytes = 65536;

}  // namespace norvo::product
