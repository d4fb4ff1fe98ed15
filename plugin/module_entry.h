// The module's entry points. Hosts on Linux call ModuleEntry/ModuleExit; bundleEntry and
// bundleExit are the bundle-style pair. Both pairs share one reference count, so the module's
// initialization runs once on the first entry and its de-initialization once on the last exit,
// whichever pair the host uses. Main thread (the host loads and unloads modules there).
#pragma once

#include "common/export.h"

extern "C" NORVO_EXPORT bool ModuleEntry(void* sharedLibraryHandle);
extern "C" NORVO_EXPORT bool ModuleExit();
extern "C" NORVO_EXPORT bool bundleEntry(void* bundleRef);
extern "C" NORVO_EXPORT bool bundleExit();

namespace norvo {

// True between the first entry and the last exit.
bool moduleInitialized() noexcept;
// Entries not yet matched by an exit.
int moduleEntryCount() noexcept;
// The bundle folder ("…/Chord.vst3") recorded by the first entry; the module file's own path
// when it is not inside a bundle; empty before the first entry.
const char* moduleBundlePath() noexcept;

}  // namespace norvo
