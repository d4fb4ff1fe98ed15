// NorvoController: the editor page's half. The bridge sink, the hello message, parameter
// changes sent to the page, the dispatch of the page's messages and the editor's lifecycle.
// Main thread.
#include <cmath>
#include <string>
#include <utility>

#include "ccmap/cc_map_json.h"
#include "common/json_writer.h"
#include "diagnostics/hello_blocks_json.h"
#include "diagnostics/identity_json.h"
#include "diagnostics/lifecycle_json.h"
#include "diagnostics/transport_json.h"
#include "editor/bridge_log.h"
#include "editor/bridge_message.h"
#include "editor/bridge_message_parser.h"
#include "editor/diagnostic_feed.h"
#include "formats/state_chunk_json.h"
#include "plugin/norvo_controller.h"
#include "product/parameter_table.h"
#include "product/product_identity.h"

namespace norvo {

using namespace Steinberg;

namespace {

constexpr double kMaxFeedRateHz = 30.0;

// The index of the parameter with exactly this path, or -1.
int paramIndexForPath(const std::string& path) {
  for (int i = 0; i < kParamCount; ++i)
    if (path == NORVO_PARAMS[i].path) return i;
  return -1;
}

}  // namespace

void NorvoController::setBridgeSink(BridgeSink sink) { sink_ = std::move(sink); }

void NorvoController::onEditorOpened() { emitLifecycle(DiagnosticLifecycleKind::editorOpened, -1); }

void NorvoController::onEditorClosed() {
  emitLifecycle(DiagnosticLifecycleKind::editorClosed, -1);
  feedMask_ = 0;
  requestedRateHz_ = 0.0;
  uiReady_ = false;
}

void NorvoController::onEditorError(const char* reason) {
  recordLifecycle(DiagnosticLifecycleKind::editorError, -1)
      .addString("reason", reason != nullptr ? reason : "unknown");
  publishLastLifecycle();
}

// ---- Texts to the page ----

void NorvoController::sendHello() {
  std::string json = "{\"type\":\"norvo.hello\",\"plugin\":{\"id\":";
  jsonAppendQuoted(json, product::kModuleId);
  json += ",\"name\":";
  jsonAppendQuoted(json, product::kName);
  json += ",\"vendor\":";
  jsonAppendQuoted(json, product::kVendor);
  json += ",\"version\":";
  jsonAppendQuoted(json, product::kVersion);
  json += "},\"params\":[";
  for (int i = 0; i < kParamCount; ++i) {
    if (i > 0) json += ",";
    const double normalized = currentNormalized(i);
    json += "{\"path\":";
    jsonAppendQuoted(json, NORVO_PARAMS[i].path);
    json += ",\"value\":";
    jsonAppendNumber(json, paramToPlain(NORVO_PARAMS[i], normalized));
    json += ",\"normalized\":";
    jsonAppendNumber(json, normalized);
    json += "}";
  }
  json += "],\"factoryPresets\":[]";
  if (mapAdopted_) {
    json += ",\"ccMap\":";
    writeCcMapJson(json, ccMap_);
  }
  if (!lastRuntimeReport_.empty()) {
    json += ",\"runtimeHealth\":";
    json += lastRuntimeReport_;
  }
  refreshPresetState();
  appendDiagnosticHelloBlocks(json, kTargetVst3, hostFacts_, presetFacts_);
  json += "}";
  sendToUi(json);
  uiReady_ = true;
}

void NorvoController::sendParamChanged(int32 id, double normalized) {
  if (id < 0 || id >= kParamCount || !sink_) return;
  std::string json = "{\"type\":\"norvo.paramChanged\",\"path\":";
  jsonAppendQuoted(json, NORVO_PARAMS[id].path);
  json += ",\"value\":";
  jsonAppendNumber(json, paramToPlain(NORVO_PARAMS[id], normalized));
  json += ",\"normalized\":";
  jsonAppendNumber(json, normalized);
  json += "}";
  sendToUi(json);
}

void NorvoController::replayLifecycle() {
  if (!sink_ || (feedMask_ & kFeedLifecycle) == 0) return;
  std::string json;
  if (writeDiagnosticLifecycleReplayJson(json, lifecycle_)) sendToUi(json);
}

// ---- The page's messages ----

void NorvoController::handleBridgeMessage(const char* text, std::size_t length) {
  BridgeMessage message;
  if (text == nullptr || !parseBridgeMessage(text, length, message)) {
    writeBridgeLogLine(malformedBridgeMessageLine(length));
    return;
  }
  const std::string& type = message.type;
  if (type == "norvo.ready") return sendHello();
  if (message.diagAction != kBridgeDiagNone) return handleDiagnosticAction(message);
  if (type == "norvo.loadFactoryPreset" && !message.id.empty()) return;  // none in this product
  if (bankControl_.handleMessage(message)) return;
  if (type == "norvo.setParam") return handleSetParam(message);
  if (type == "norvo.beginEdit") return handleEditGesture(message, true);
  if (type == "norvo.endEdit") return handleEditGesture(message, false);
  if (type == "norvo.getState") return sendStateToUi();
  if (type == "norvo.setCcMap") {
    if (message.hasCcMap) adoptCcMap(message.ccMap, true);
    return;
  }
  if (type == "norvo.setState") {
    if (message.hasState) restoreStateFromUi(message, length);
    return;
  }
  if (type == "norvo.noteOn" || type == "norvo.noteOff")
    writeBridgeLogLine(bridgeNoteLine(type, message.note));  // logged only: no note is played
}

void NorvoController::handleDiagnosticAction(const BridgeMessage& message) {
  if (message.diagAction == kBridgeDiagUnsubscribe) {
    feedMask_ = 0;
    requestedRateHz_ = 0.0;
    return;
  }
  if (message.diagAction != kBridgeDiagSubscribe) return;  // stimuli are accepted and ignored
  feedMask_ = message.feeds;
  // A NaN rate would make every later comparison false: it counts as no rate.
  requestedRateHz_ = std::isnan(message.hz) ? 0.0 : std::fmin(message.hz, kMaxFeedRateHz);
  replayLifecycle();
  if (haveTransportFact_ && sink_ && (feedMask_ & kFeedTransport) != 0) {
    std::string json;
    writeDiagnosticTransportJson(json, previousTransport_);
    sendToUi(json);
    lastTransportPushMs_ = lifecycle_.nowMs();
  }
  resetPending_ = true;
  haveTransportFact_ = false;  // the next fact counts as changed
  if (sendTransportPoll(true)) resetPending_ = false;
}

void NorvoController::handleSetParam(const BridgeMessage& message) {
  // A NaN ("value":nan reads as a number) names no value: it would set the parameter to its
  // minimum. It is refused like a missing value.
  if (!message.hasValue || std::isnan(message.value)) return;
  const int index = paramIndexForPath(message.path);
  if (index < 0) return;
  const double normalized = norvo_param_normalize(NORVO_PARAMS[index], message.value);
  const auto id = static_cast<Vst::ParamID>(index);
  lastUiEditId_ = index;
  lastUiEditNormalized_ = normalized;
  setParamNormalized(id, normalized);
  performEdit(id, normalized);
}

void NorvoController::handleEditGesture(const BridgeMessage& message, bool begin) {
  const int index = paramIndexForPath(message.path);
  if (index < 0) return;
  if (begin)
    beginEdit(static_cast<Vst::ParamID>(index));
  else
    endEdit(static_cast<Vst::ParamID>(index));
}

void NorvoController::sendStateToUi() {
  double plain[kParamCount];
  for (int i = 0; i < kParamCount; ++i)
    plain[i] = paramToPlain(NORVO_PARAMS[i], currentNormalized(i));
  const std::string document =
      writeStateJson(plain, -1, mapAdopted_ ? &ccMap_ : nullptr, kSamplerAssetNoFault,
                     kZoneLegacySingleZone, nullptr, &bankControl_.currentPadOverrides(), nullptr);
  presetFacts_.lastStateBytes = static_cast<std::int64_t>(document.size());
  DiagnosticLifecycleEvent& event = recordLifecycle(DiagnosticLifecycleKind::stateSaved, -1);
  event.addNumber("stateBytes", static_cast<double>(document.size()));
  event.addString("source", "ui");
  publishLastLifecycle();
  sendToUi("{\"type\":\"norvo.state\",\"state\":" + document + "}");
}

void NorvoController::restoreStateFromUi(const BridgeMessage& message, std::size_t messageBytes) {
  const StateChunk& state = message.state;
  for (int i = 0; i < kParamCount; ++i) {
    if (!state.hasParam[i]) continue;
    const double normalized = norvo_param_normalize(NORVO_PARAMS[i], state.params[i]);
    const auto id = static_cast<Vst::ParamID>(i);
    beginEdit(id);
    setParamNormalized(id, normalized);
    performEdit(id, normalized);
    endEdit(id);
  }
  if (state.hasCcMap) adoptCcMap(state.ccMap, true);
  if (bankBridge_.applyPadOverrides(state.padOverrides))
    bankControl_.adoptRestoredPadOverrides(state.padOverrides);
  bankControl_.sendBankState("restore");
  DiagnosticLifecycleEvent& event = recordLifecycle(DiagnosticLifecycleKind::stateRestored, -1);
  event.addNumber("stateBytes", static_cast<double>(messageBytes));
  event.addString("source", "ui");
  publishLastLifecycle();
}

}  // namespace norvo
