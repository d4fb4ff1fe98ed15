// Loading a bank folder (manifest, instrument and preset documents, WAV assets) into a
// StagedBank. Runs off the audio thread (processor message handler, engine staging) and
// allocates freely; it never throws and never partially succeeds.
#pragma once

#include <cstdint>
#include <string>

#include "banks/runtime_bank.h"

namespace norvo {

// Loads the bank in `folder`. `arenaFrames` caps the sample arena (0: no cap). An empty
// `instrumentId` takes the first instrument or kit entry that names a document. On failure
// the outcome and one error text name the first problem found. Main thread or any non-audio
// thread.
RuntimeBankLoad loadRuntimeBank(const std::string& folder, std::uint64_t arenaFrames,
                                const std::string& instrumentId);

}  // namespace norvo
