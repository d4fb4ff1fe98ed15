// NorvoController: the processor's messages (runtime bank replies, health reports, host facts,
// transport facts, lifecycle kinds) and the messages the controller sends the processor.
// Main thread.
#include <cstring>
#include <string>
#include <string_view>

#include "common/fixed_text.h"
#include "diagnostics/host_facts_json.h"
#include "diagnostics/transport_json.h"
#include "editor/diagnostic_feed.h"
#include "plugin/norvo_controller.h"
#include "plugin/vst_payloads.h"

namespace norvo {

using namespace Steinberg;

namespace {

constexpr std::size_t kMaxRuntimeReportBytes = 65536;
constexpr double kDefaultTransportPushMs = 1000.0 / 30.0;

bool isMessage(Vst::IMessage& message, const char* id) {
  const char* messageId = message.getMessageID();
  return messageId != nullptr && std::strcmp(messageId, id) == 0;
}

// The kind details a host change is recorded with.
void addHostChangeDetails(DiagnosticLifecycleEvent& event, DiagnosticLifecycleKind kind,
                          const HostFacts& previous, const HostFacts& current) {
  switch (kind) {
    case DiagnosticLifecycleKind::latencyChanged:
      event.addNumber("latencySamples", current.latencySamples);
      event.addNumber("previous", previous.latencySamples);
      event.addBool("reported", true);
      break;
    case DiagnosticLifecycleKind::sampleRateChanged:
      event.addNumber("sampleRate", current.sampleRate);
      event.addNumber("previous", previous.sampleRate);
      break;
    case DiagnosticLifecycleKind::blockSizeChanged:
      event.addNumber("maxBlockFrames", current.maxBlockFrames);
      event.addNumber("previous", previous.maxBlockFrames);
      break;
    case DiagnosticLifecycleKind::busLayoutChanged:
      event.addNumber("buses", current.busCount);
      event.addString("layout", current.busCount > 0 ? current.buses[0].layout : "");
      break;
    case DiagnosticLifecycleKind::processModeChanged:
      event.addNumber("processMode", current.processMode);
      break;
    case DiagnosticLifecycleKind::bypassChanged:
      event.addBool("bypassed", current.bypassed);
      break;
    default:
      break;
  }
}

}  // namespace

tresult PLUGIN_API NorvoController::notify(Vst::IMessage* message) {
  if (message == nullptr) return EditControllerEx1::notify(message);
  std::string payload;
  const bool hasPayload = readJsonAttribute(*message, payload);
  const auto size = static_cast<uint32>(payload.size());
  if (isMessage(*message, "norvo.runtimeBankResult")) {
    if (hasPayload) bankControl_.adoptRuntimeBankReply(payload);
  } else if (isMessage(*message, "norvo.diag.lifecycle")) {
    if (hasPayload) adoptLifecycleMessage(payload.data(), size);
  } else if (isMessage(*message, "norvo.diag.transport")) {
    if (hasPayload && payload.size() == sizeof(TransportFact)) {
      TransportFact fact;
      std::memcpy(static_cast<void*>(&fact), payload.data(), sizeof fact);
      adoptTransportFact(fact);
    }
  } else if (isMessage(*message, "norvo.diag.signal")) {
    if (hasPayload) adoptSignalMessage(payload.data(), size);
  } else if (isMessage(*message, "norvo.diag.hostFacts")) {
    if (hasPayload && payload.size() == sizeof(HostFacts)) {
      HostFacts facts;
      std::memcpy(static_cast<void*>(&facts), payload.data(), sizeof facts);
      adoptHostFacts(facts);
    }
  } else if (isMessage(*message, "norvo.runtimeDiagnostics")) {
    if (hasPayload) adoptRuntimeReport(payload.data(), size);
  } else {
    if (!safeForSdkNotify(*message)) return kResultFalse;
    return EditControllerEx1::notify(message);
  }
  return kResultOk;
}

void NorvoController::adoptLifecycleMessage(const void* data, uint32 size) {
  if (size < 1 || size > 63) return;
  char name[64] = {};
  std::memcpy(name, data, size);
  DiagnosticLifecycleKind kind;
  if (diagnosticLifecycleKindFromName(name, kind)) emitLifecycle(kind, -1);
}

void NorvoController::adoptSignalMessage(const void* /*data*/, uint32 /*size*/) {}

void NorvoController::adoptRuntimeReport(const void* data, uint32 size) {
  if (size < 1 || size > kMaxRuntimeReportBytes) return;
  lastRuntimeReport_.assign(static_cast<const char*>(data), size);
  recordLifecycle(DiagnosticLifecycleKind::runtimeDiagnostic, -1)
      .addNumber("reportBytes", static_cast<double>(size));
  publishLastLifecycle();
  if (!sink_) return;
  std::string json = "{\"type\":\"norvo.runtimeDiagnostics\",\"report\":";
  json += lastRuntimeReport_;
  json += "}";
  sendToUi(json);
}

void NorvoController::adoptHostFacts(const HostFacts& facts) {
  HostFacts current = facts;
  // The record arrives as raw bytes: its counts and texts are made safe to read before use.
  if (current.busCount > kHostBusCapacity) current.busCount = kHostBusCapacity;
  for (HostBusFact& bus : current.buses) {
    bus.id[sizeof bus.id - 1] = '\0';
    bus.layout[sizeof bus.layout - 1] = '\0';
  }
  // The host's identity is the controller's own, whatever the processor reports.
  std::memcpy(current.hostName, hostFacts_.hostName, sizeof current.hostName);
  std::memcpy(current.hostVersion, hostFacts_.hostVersion, sizeof current.hostVersion);
  std::memcpy(current.hostPath, hostFacts_.hostPath, sizeof current.hostPath);
  current.validatorHost = hostFacts_.validatorHost;
  const HostFacts previous = hostFacts_;
  hostFacts_ = current;

  DiagnosticLifecycleKind kind;
  if (diagnosticLifecycleKindFromName(diagnosticHostChangeKind(previous, current), kind)) {
    addHostChangeDetails(recordLifecycle(kind, -1), kind, previous, current);
    publishLastLifecycle();
  }
  if (!uiReady_ || !sink_) return;
  ++hostChangeSequence_;
  std::string json;
  if (writeDiagnosticHostChangedJson(json, previous, current,
                                     static_cast<std::uint32_t>(hostChangeSequence_), 0.0)) {
    sendToUi(json);
  } else {
    --hostChangeSequence_;
  }
}

void NorvoController::adoptTransportFact(const TransportFact& fact) {
  if (fact.hasTempo) {
    if (haveTransportFact_ && previousTransport_.hasTempo && fact.tempo != lastTempo_) {
      DiagnosticLifecycleEvent& event = recordLifecycle(DiagnosticLifecycleKind::tempoChanged,
                                                        static_cast<std::int64_t>(fact.atFrame));
      event.addNumber("tempo", fact.tempo);
      event.addNumber("previous", lastTempo_);
      publishLastLifecycle();
    }
    lastTempo_ = fact.tempo;
  }
  if (fact.hasTimeSignature) {
    if (haveTransportFact_ && previousTransport_.hasTimeSignature &&
        (fact.numerator != lastNumerator_ || fact.denominator != lastDenominator_)) {
      DiagnosticLifecycleEvent& event = recordLifecycle(
          DiagnosticLifecycleKind::timeSignatureChanged, static_cast<std::int64_t>(fact.atFrame));
      event.addNumber("numerator", fact.numerator);
      event.addNumber("denominator", fact.denominator);
      event.addNumber("previousNumerator", lastNumerator_);
      event.addNumber("previousDenominator", lastDenominator_);
      publishLastLifecycle();
    }
    lastNumerator_ = fact.numerator;
    lastDenominator_ = fact.denominator;
  }
  const bool changed = !haveTransportFact_ || fact.differsFrom(previousTransport_);
  previousTransport_ = fact;
  haveTransportFact_ = true;
  if (!sink_ || (feedMask_ & kFeedTransport) == 0) return;

  const double now = lifecycle_.nowMs();
  if (!changed) {
    if (!fact.playing) return;
    const double interval =
        requestedRateHz_ > 0.0 ? 1000.0 / requestedRateHz_ : kDefaultTransportPushMs;
    if (lastTransportPushMs_ >= 0.0 && now - lastTransportPushMs_ < interval) return;
  }
  lastTransportPushMs_ = now;
  std::string json;
  writeDiagnosticTransportJson(json, fact);
  sendToUi(json);
}

// ---- To the processor ----

bool NorvoController::sendToProcessor(const char* id, const void* json, uint32 size) {
  IPtr<Vst::IMessage> message = owned(allocateMessage());
  if (!message) return false;
  message->setMessageID(id);
  if (json != nullptr) {
    if (Vst::IAttributeList* attributes = message->getAttributes())
      attributes->setBinary("json", json, size);
  }
  return sendMessage(message) == kResultOk;
}

bool NorvoController::sendTransportPoll(bool reset) {
  IPtr<Vst::IMessage> message = owned(allocateMessage());
  if (!message) return false;
  message->setMessageID("norvo.diag.transportPoll");
  if (Vst::IAttributeList* attributes = message->getAttributes())
    attributes->setInt("reset", reset ? 1 : 0);
  sendMessage(message);
  return true;
}

void NorvoController::tickCadence() {
  pollTransport();
  drainProcessorFeeds();
}

void NorvoController::pollTransport() {
  if (sendTransportPoll(resetPending_)) resetPending_ = false;
}

void NorvoController::drainProcessorFeeds() { sendToProcessor("norvo.diag.feedDrain", nullptr, 0); }

}  // namespace norvo
