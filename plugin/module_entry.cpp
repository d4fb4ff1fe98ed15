// Module entry and exit, reference-counted across both entry pairs.
#include "plugin/module_entry.h"

#include <cstddef>

#include "common/fixed_text.h"
#include "editor/ui_bundle_location.h"

namespace {

constexpr std::size_t kBundlePathCapacity = 2048;

int gEntryCount = 0;
bool gInitialized = false;
char gBundlePath[kBundlePathCapacity] = {};

// What the module does once when it is first entered and once when it is last left: it records
// its bundle folder. The kernel runtime starts lazily with the first processing set-up, so this
// stays small.
bool initModule() noexcept {
  try {
    norvo::copyFixedText(gBundlePath, norvo::pluginBundlePath().c_str());
  } catch (...) {
    gBundlePath[0] = '\0';  // out of memory: the module still loads, without a known path
  }
  gInitialized = true;
  return true;
}

bool deinitModule() noexcept {
  gInitialized = false;
  return true;
}

bool enter() noexcept {
  if (++gEntryCount == 1) {
    return initModule();
  }
  return true;
}

bool leave() noexcept {
  if (gEntryCount <= 0) return false;  // an exit without an entry
  if (--gEntryCount == 0) return deinitModule();
  return true;
}

}  // namespace

bool ModuleEntry(void* /*sharedLibraryHandle*/) { return enter(); }
bool ModuleExit() { return leave(); }
bool bundleEntry(void* /*bundleRef*/) { return enter(); }
bool bundleExit() { return leave(); }

namespace norvo {

bool moduleInitialized() noexcept { return gInitialized; }
int moduleEntryCount() noexcept { return gEntryCount; }
const char* moduleBundlePath() noexcept { return gBundlePath; }

}  // namespace norvo
