// A stand-in plug-in module for the bundle location tests: a shared library that carries the
// editor's bundle lookup and is copied into a bundle laid out in a temporary folder.
#include "editor/ui_bundle_facts.h"
#include "editor/ui_bundle_location.h"

extern "C" NORVO_EXPORT const char* probeUiBuildTime(void) {
  return norvo::uiBundleFacts().buildTime;
}

extern "C" NORVO_EXPORT const char* probeUiSha256(void) { return norvo::uiBundleFacts().sha256; }

extern "C" NORVO_EXPORT const void* probeAddressInModule(void) {
  static const char anchor = 0;
  return &anchor;
}
