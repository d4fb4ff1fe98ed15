// NorvoProcessor: saving and restoring the component state, runtime bank loads and the
// controller's messages. Main thread.
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "banks/runtime_bank_exchange.h"
#include "ccmap/cc_map_json.h"
#include "engine/runtime_bank_staging.h"
#include "formats/sampler_pad_overrides_json.h"
#include "formats/state_chunk_json.h"
#include "plugin/norvo_processor.h"
#include "plugin/vst_payloads.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace norvo {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr const char* kDefaultRequestSource = "user-folder";

}  // namespace

// ---- Saving ----

tresult PLUGIN_API NorvoProcessor::getState(IBStream* state) {
  if (state == nullptr) return kResultFalse;
  engine_.drainRuntimeDiagnostics();
  if (engine_.runtimeDiagnosticRing().nextSequence != deliveredDiagnosticSequence_)
    sendRuntimeDiagnostics(false);

  double params[kParamCount];
  for (int i = 0; i < kParamCount; ++i)
    params[i] = engine_.paramValue(static_cast<std::uint32_t>(i));
  const std::shared_ptr<const SamplerPadOverrides> pads = engine_.padOverrides();
  BankStateRefOut bank;
  std::string instrument;
  const bool hasBank =
      fillBankStateRef(engine_, runtimeBank_.source.c_str(), runtimeBank_.locator.c_str(),
                       currentPresetId_.c_str(), bank, instrument);
  const std::string json = writeStateJson(
      params, engine_.variation(), hasCcMap_ ? &ccMap_ : nullptr, kSamplerAssetNoFault,
      kZoneLegacySingleZone, hasBank ? &bank : nullptr, pads.get(), nullptr);

  // The stream holds exactly the text. A stream that keeps only part of it has not saved the
  // state, whatever it answers.
  if (json.size() > static_cast<std::size_t>(std::numeric_limits<int32>::max()))
    return kResultFalse;
  const auto size = static_cast<int32>(json.size());
  int32 written = 0;
  const tresult result = state->write(const_cast<char*>(json.data()), size, &written);
  if (result == kResultOk && written != size) return kResultFalse;
  return result;
}

// ---- Restoring ----

tresult PLUGIN_API NorvoProcessor::setState(IBStream* state) {
  if (state == nullptr) return kResultFalse;
  const std::string bytes = readWholeStream(*state);
  auto chunk = std::make_unique<StateChunk>();
  if (!parseStateJson(bytes.data(), bytes.size(), *chunk)) return kResultFalse;

  for (int i = 0; i < kParamCount; ++i) {
    if (chunk->hasParam[i]) engine_.setParamValue(static_cast<std::uint32_t>(i), chunk->params[i]);
  }
  if (chunk->variation >= 0) engine_.setVariation(chunk->variation);
  if (chunk->hasCcMap) {
    ccMap_ = chunk->ccMap;
    hasCcMap_ = true;
  }
  // A list the engine refuses leaves the previous one published; the restore goes on.
  (void)engine_.publishSamplerPadOverrides(chunk->padOverrides);

  const BankStateRef& ref = chunk->bank;
  if (namesRuntimeBankFolder(ref)) {
    std::string error;
    const RuntimeBankOutcome outcome =
        loadRuntimeBankFromPath(runtimeBankFolderFor(ref), ref.source, ref.instrument, error);
    if (outcome == RuntimeBankOutcome::Ok) {
      runtimeBank_ = {ref.source, ref.locator, ref.sha256, ref.instrument};
      // The bank preset saved with the bank stays its preset until the controller names another.
      currentPresetId_ = ref.hasPresetId ? ref.presetId : "";
      return kResultOk;
    }
    runtimeBank_ = {};
  }
  if (!runtimeBank_.locator.empty() || ref.locator[0] != '\0') {
    engine_.publishRuntimeBank(nullptr);
    runtimeBank_ = {};
  }
  engine_.recallSampleBank(*chunk);
  return kResultOk;
}

// ---- Runtime banks ----

RuntimeBankOutcome NorvoProcessor::loadRuntimeBankFromPath(const std::string& path,
                                                           const std::string& source,
                                                           const std::string& instrumentId,
                                                           std::string& error) {
  const RuntimeBankOutcome outcome =
      stageRuntimeBank(engine_, path, source.c_str(), instrumentId, error);
  if (outcome != RuntimeBankOutcome::Ok) sendRuntimeDiagnostics(false);
  return outcome;
}

void NorvoProcessor::answerRuntimeBankRequest(const std::string& requestText) {
  RuntimeBankRequest request = parseRuntimeBankRequest(requestText);
  if (request.source.empty()) request.source = kDefaultRequestSource;
  RuntimeBankOutcome outcome = RuntimeBankOutcome::BankMissing;
  std::string error;
  std::shared_ptr<const StagedBank> bank;
  if (!request.folder.empty()) {
    outcome = loadRuntimeBankFromPath(request.folder, request.source, request.instrument, error);
    if (outcome == RuntimeBankOutcome::Ok) {
      bank = engine_.stagedBank();
      runtimeBank_ = {request.source, request.folder, request.sha256,
                      bank ? bank->instrumentId : std::string()};
    }
  }
  const std::string reply =
      encodeRuntimeBankReply(runtimeBankOutcomeName(outcome), error, bank.get());
  sendJsonMessage("norvo.runtimeBankResult", reply.data(), static_cast<uint32>(reply.size()));
}

// ---- Messages from the controller ----

tresult PLUGIN_API NorvoProcessor::notify(IMessage* message) {
  if (message == nullptr) return kInvalidArgument;
  const char* rawId = message->getMessageID();
  if (rawId == nullptr) return kResultFalse;
  const std::string_view id(rawId);
  std::string json;

  if (id == "norvo.ccMap") {
    CcMap map;
    if (readJsonAttribute(*message, json) && parseCcMapJson(json.data(), json.size(), map)) {
      ccMap_ = map;
      hasCcMap_ = true;
    }
    return kResultOk;
  }
  if (id == "norvo.padOverrides") {
    SamplerPadOverrides pads;
    if (readJsonAttribute(*message, json) &&
        parseSamplerPadOverridesJson(json.data(), json.size(), pads))
      engine_.publishSamplerPadOverrides(pads);
    return kResultOk;
  }
  if (id == "norvo.loadRuntimeBank") {
    if (readJsonAttribute(*message, json)) answerRuntimeBankRequest(json);
    return kResultOk;
  }
  if (id == "norvo.diag.presetLoaded") {
    if (readJsonAttribute(*message, json))
      currentPresetId_ = std::move(json);
    else
      currentPresetId_.clear();
    return kResultOk;
  }
  // Transport facts and feeds are not captured by this processor: polls find nothing.
  if (id == "norvo.diag.transportPoll" || id == "norvo.diag.feedDrain" ||
      id == "norvo.diag.resetCounters")
    return kResultOk;
  if (id == "norvo.stageResourceSlot") return kResultFalse;
  if (!safeForSdkNotify(*message)) return kResultFalse;
  return AudioEffect::notify(message);
}

}  // namespace norvo
