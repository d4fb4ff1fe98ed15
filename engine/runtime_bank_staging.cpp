// Runtime banks from folder to engine.
#include "engine/runtime_bank_staging.h"

#include <cstring>
#include <memory>
#include <utility>

#include "banks/hosted_bank.h"
#include "banks/runtime_bank_exchange.h"
#include "banks/runtime_bank_loader.h"

namespace norvo {
namespace {

constexpr const char* kEmbeddedSource = "embedded";
constexpr const char* kHostedSource = "hosted";

bool isEmpty(const char* text) noexcept { return text == nullptr || text[0] == '\0'; }

}  // namespace

RuntimeBankOutcome stageRuntimeBank(KernelEngine& engine, const std::string& folder,
                                    const char* source, const std::string& instrumentId,
                                    std::string& error) {
  RuntimeBankLoad load = loadRuntimeBank(folder, 0, instrumentId);
  error = load.error;
  if (load.outcome != RuntimeBankOutcome::Ok) {
    engine.recordRuntimeBankFailure(load.outcome, error.c_str(), source);
    return load.outcome;
  }
  if (!engine.publishRuntimeBank(std::make_shared<const StagedBank>(std::move(load.bank)))) {
    error = kEngineRefusedBankMessage;
    engine.recordRuntimeBankFailure(RuntimeBankOutcome::BankTooLarge, error.c_str(), source);
    return RuntimeBankOutcome::BankTooLarge;
  }
  return RuntimeBankOutcome::Ok;
}

std::string loadAndPublishRuntimeBank(KernelEngine& engine, const std::string& folder,
                                      const char* source, const std::string& instrumentId) {
  std::string error;
  const RuntimeBankOutcome outcome = stageRuntimeBank(engine, folder, source, instrumentId, error);
  const std::shared_ptr<const StagedBank> bank =
      outcome == RuntimeBankOutcome::Ok ? engine.stagedBank() : nullptr;
  return encodeRuntimeBankReply(runtimeBankOutcomeName(outcome), error, bank.get());
}

bool namesRuntimeBankFolder(const BankStateRef& bank) noexcept {
  return bank.present && bank.hasLocator && bank.locator[0] != '\0' &&
         std::strcmp(bank.source, kEmbeddedSource) != 0;
}

std::string runtimeBankFolderFor(const BankStateRef& bank) {
  if (std::strcmp(bank.source, kHostedSource) == 0 && bank.sha256[0] != '\0') {
    const std::string root = hostedBankCacheRoot();
    if (!root.empty()) return root + "/" + bank.sha256;
  }
  return bank.locator;
}

bool recallRuntimeBankFromChunk(KernelEngine& engine, const StateChunk& chunk, std::string& source,
                                std::string& locator, std::string& sha256,
                                std::string& instrument) {
  const BankStateRef& bank = chunk.bank;
  if (!namesRuntimeBankFolder(bank)) return false;
  const std::string reply =
      loadAndPublishRuntimeBank(engine, runtimeBankFolderFor(bank), bank.source, bank.instrument);
  const bool loaded = reply == "ok" || reply.rfind("ok\n", 0) == 0;
  source = loaded ? bank.source : "";
  locator = loaded ? bank.locator : "";
  sha256 = loaded ? bank.sha256 : "";
  instrument = loaded ? bank.instrument : "";
  return loaded;
}

bool fillBankStateRef(const KernelEngine& engine, const char* source, const char* locator,
                      const char* presetId, BankStateRefOut& out, std::string& scratch) {
  const std::shared_ptr<const StagedBank> bank = engine.stagedBank();
  if (!bank || isEmpty(source)) return false;
  out = BankStateRefOut{};
  out.id = bank->id.c_str();
  out.bankVersion = bank->version.c_str();
  out.sha256 = bank->manifestSha256.c_str();
  out.source = source;
  out.locator = locator;
  if (!isEmpty(presetId)) out.presetId = presetId;
  if (!bank->instrumentId.empty()) {
    scratch = bank->instrumentId;
    out.instrument = scratch.c_str();
  }
  return true;
}

}  // namespace norvo
