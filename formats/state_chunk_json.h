// The state document: the writer, the parser into a `StateChunk`, its object reader (shared
// with the bridge messages that carry a state) and the bank reference resolution. Whichever
// thread handles the host's state calls or the editor's messages; never the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/json_reader.h"
#include "formats/state_chunk.h"

namespace norvo {

// Borrowed texts of a bank reference to write; a null pointer counts as empty.
struct BankStateRefOut {
  const char* id = nullptr;
  const char* bankVersion = nullptr;
  const char* sha256 = nullptr;
  const char* source = nullptr;
  const char* presetId = nullptr;
  const char* instrument = nullptr;
  const char* locator = nullptr;
};

// Borrowed authored state bytes to write.
struct AuthoredStateOut {
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  std::int32_t version = 0;
};

// Points at the texts of `bank` (valid while `bank` lives).
BankStateRefOut bankStateRefOut(const BankStateRef& bank) noexcept;

// Writes the state document. `params` points at the four plain values; a negative variation
// and null pointers leave their members out, as do fault 0 and program 0.
std::string writeStateJson(const double* params, int variation, const CcMap* ccMap,
                           SamplerAssetDiagnostic fault, SamplerZoneProgram program,
                           const BankStateRefOut* bank, const SamplerPadOverrides* pads,
                           const AuthoredStateOut* authored);

// Parses one state document. On success `chunk` is replaced by a fresh chunk filled from the
// document; on failure `chunk` is untouched. `bytes` need not be NUL-terminated.
bool parseStateJson(const char* bytes, std::size_t length, StateChunk& chunk);

// The same, answering the chunk only on success.
std::optional<StateChunk> parseStateJson(std::string_view text);

// The state document's object reader. At depth 0 with a chunk, members are dispatched by key
// into the chunk; with `inParams` set, members are parameter values; otherwise members are
// skipped. Fails on malformed JSON, a required kind missing, or nesting beyond kJsonMaxDepth.
// Writes into `*chunk` as it goes: callers pass a scratch chunk and discard it on failure.
bool parseObject(Reader& r, StateChunk* chunk, int depth, bool inParams);

// What a chunk's bank reference names.
enum BankStateRefKind : int { kBankRefNone = 0, kBankRefCompiled = 1, kBankRefRuntime = 2 };

// kBankRefNone when the chunk names no bank, kBankRefRuntime when it does. This product has
// no compiled-in banks, so `compiledIndex` is never written.
int resolveBankStateRef(const StateChunk& chunk, std::uint32_t& compiledIndex) noexcept;

}  // namespace norvo
