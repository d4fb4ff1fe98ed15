// Runtime banks from folder to engine: the loader chained with publication, the bank a saved
// state names, and the reference a saved state writes for the published bank.
// Threads: the main thread (state restore and the processor's message handling); the loads
// read files and allocate.
#pragma once

#include <string>

#include "banks/runtime_bank.h"
#include "engine/kernel_engine.h"
#include "formats/state_chunk.h"
#include "formats/state_chunk_json.h"

namespace norvo {

// Loads the bank in `folder` (the bank's default instrument when `instrumentId` is empty) and
// publishes it to the engine. Every failure, a refusal by the engine included, is recorded as
// a diagnostic with `source` (null = empty) and answered with its outcome; `error` receives
// the loader's text, or the refusal's.
RuntimeBankOutcome stageRuntimeBank(KernelEngine& engine, const std::string& folder,
                                    const char* source, const std::string& instrumentId,
                                    std::string& error);

// stageRuntimeBank answered as the runtime bank reply text (the bank's listing on success).
std::string loadAndPublishRuntimeBank(KernelEngine& engine, const std::string& folder,
                                      const char* source, const std::string& instrumentId);

// True when a saved bank reference names a bank folder to load: present, with a locator, and
// not the "embedded" source.
bool namesRuntimeBankFolder(const BankStateRef& bank) noexcept;

// The folder a bank reference is loaded from: its locator, or for a "hosted" bank pinned by
// SHA-256 the pin's folder in the hosted bank cache (when the cache root exists).
std::string runtimeBankFolderFor(const BankStateRef& bank);

// Loads and publishes the runtime bank a saved state names. True with the reference's source,
// locator, SHA-256 and instrument copied out; false when the state names no bank folder (the
// four untouched) or the load fails (all four cleared).
bool recallRuntimeBankFromChunk(KernelEngine& engine, const StateChunk& chunk, std::string& source,
                                std::string& locator, std::string& sha256, std::string& instrument);

// Points `out` at the published bank's id, version and manifest hash, at the arguments, and at
// `scratch` for the bank's instrument. False when no bank is published or `source` is empty.
// The pointers stay valid until the next publication and while the arguments live.
bool fillBankStateRef(const KernelEngine& engine, const char* source, const char* locator,
                      const char* presetId, BankStateRefOut& out, std::string& scratch);

}  // namespace norvo
