// Module entry and exit, reference-counted across both entry pairs.
#include "plugin/module_entry.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t kBundlePathCapacity = 2048;

int gEntryCount = 0;
bool gInitialized = false;
void* gModuleHandle = nullptr;
char gBundlePath[kBundlePathCapacity] = {};

// Finds this module's file and records its bundle folder: "<bundle>/Contents/<arch>/<file>"
// gives "<bundle>"; a module outside a bundle records its own path.
void recordBundlePath() noexcept {
  gBundlePath[0] = '\0';
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&recordBundlePath), &info) == 0 || info.dli_fname == nullptr)
    return;
  const char* path = info.dli_fname;
  std::size_t length = std::strlen(path);
  const char* contents = nullptr;
  for (const char* p = std::strstr(path, "/Contents/"); p != nullptr;
       p = std::strstr(p + 1, "/Contents/"))
    contents = p;
  if (contents != nullptr) length = static_cast<std::size_t>(contents - path);
  if (length >= kBundlePathCapacity) length = kBundlePathCapacity - 1;
  std::memcpy(gBundlePath, path, length);
  gBundlePath[length] = '\0';
}

// What the module does once when it is first entered and once when it is last left. The
// kernel runtime starts lazily with the first processing set-up, so this stays small.
bool initModule() noexcept {
  recordBundlePath();
  gInitialized = true;
  return true;
}

bool deinitModule() noexcept {
  gInitialized = false;
  gModuleHandle = nullptr;
  return true;
}

bool enter(void* handle) noexcept {
  if (++gEntryCount == 1) {
    gModuleHandle = handle;
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

bool ModuleEntry(void* sharedLibraryHandle) { return enter(sharedLibraryHandle); }
bool ModuleExit() { return leave(); }
bool bundleEntry(void* bundleRef) { return enter(bundleRef); }
bool bundleExit() { return leave(); }

namespace norvo {

bool moduleInitialized() noexcept { return gInitialized; }
int moduleEntryCount() noexcept { return gEntryCount; }
const char* moduleBundlePath() noexcept { return gBundlePath; }

}  // namespace norvo
