// BankControl: the page's bank messages, the runtime bank reply and the bank state document.
#include "banks/bank_control.h"

#include <cmath>

#include "banks/runtime_bank_exchange.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "formats/sampler_pad_overrides_json.h"
#include "product/parameter_table.h"

namespace norvo {
namespace {

constexpr const char* kEmbeddedSource = "embedded";
constexpr const char* kHostedSource = "hosted";
constexpr const char* kReasonLoadBank = "loadBank";
constexpr const char* kErrorBankMissing = "bank-missing";
constexpr const char* kErrorFetchFailed = "bank-fetch-failed";

// The product parameter a bank preset's path names, or -1.
int presetParamIndex(const std::string& path) {
  if (path.find('\0') != std::string::npos) return -1;
  const norvo_param_desc* desc = findParamByPath(path.c_str());
  return desc != nullptr ? static_cast<int>(desc->id) : -1;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t feed = text.find('\n', start);
    if (feed == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, feed - start));
    start = feed + 1;
  }
}

// The key=value pairs of a preset line; pieces without a key or a finite number are left out.
std::vector<std::pair<std::string, double>> parsePresetParams(const std::string& text) {
  std::vector<std::pair<std::string, double>> params;
  std::size_t start = 0;
  for (;;) {
    const std::size_t next = text.find(kRuntimeBankReplyParamSeparator, start);
    const std::string piece = text.substr(start, next == std::string::npos ? next : next - start);
    const std::size_t equals = piece.find('=');
    if (equals != std::string::npos && equals > 0) {
      const std::string valueText = piece.substr(equals + 1);
      char* end = nullptr;
      const double value = strtodC(valueText.c_str(), &end);
      if (end != valueText.c_str() && std::isfinite(value)) {
        params.emplace_back(piece.substr(0, equals), value);
      }
    }
    if (next == std::string::npos) return params;
    start = next + 1;
  }
}

}  // namespace

std::string BankControl::encodeRuntimeBankReply(const char* outcomeName, const std::string& error,
                                                const StagedBank* bank) {
  return norvo::encodeRuntimeBankReply(outcomeName, error, bank);
}

std::vector<std::string> BankControl::splitFields(const std::string& text, std::size_t count) {
  std::vector<std::string> fields(count);
  if (count == 0) return fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const std::size_t tab = text.find('\t', start);
    if (tab == std::string::npos) {
      fields[i] = text.substr(start);
      return fields;
    }
    fields[i] = text.substr(start, tab - start);
    start = tab + 1;
  }
  fields[count - 1] = text.substr(start);
  return fields;
}

void BankControl::clearRuntimeFacts() {
  runtimeLoaded = false;
  source.clear();
  locator.clear();
  sha256.clear();
  instrumentId.clear();
  instrumentName.clear();
  instrumentKind.clear();
  positionings.clear();
  presets.clear();
}

void BankControl::adoptRestoredRef(const std::string& restoredSource,
                                   const std::string& restoredLocator,
                                   const std::string& restoredSha256, const std::string& instrument,
                                   const std::string& restoredPresetId) {
  source = restoredSource;
  locator = restoredLocator;
  sha256 = restoredSha256;
  requestedInstrument = instrument;
  presetId = restoredPresetId;
}

void BankControl::adoptRestoredPadOverrides(const SamplerPadOverrides& overrides) {
  padOverrides = overrides;
}

// ---- The processor's reply ----

void BankControl::adoptRuntimeBankReply(const std::string& reply) {
  const std::vector<std::string> lines = splitLines(reply);
  const std::string& outcome = lines.front();
  if (outcome != "ok") {
    const std::string requested = !requestedInstrument.empty() ? requestedInstrument : locator;
    clearRuntimeFacts();
    sendBankState(kReasonLoadBank, outcome.c_str(), requested.c_str());
    return;
  }
  runtimeLoaded = true;
  instrumentId.clear();
  instrumentName.clear();
  instrumentKind.clear();
  positionings.clear();
  presets.clear();
  // Line 2 is the error text; only line 3 can name the staged instrument.
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line.front() == kRuntimeBankReplyPresetMark) {
      adoptPresetLine(line);
    } else if (i == 2) {
      std::vector<std::string> fields = splitFields(line, 3);
      instrumentId = std::move(fields[0]);
      instrumentName = std::move(fields[1]);
      instrumentKind = std::move(fields[2]);
    } else {
      positionings.push_back(line);
    }
  }
  sendBankState(kReasonLoadBank);
}

void BankControl::adoptPresetLine(const std::string& line) {
  std::vector<std::string> fields = splitFields(line.substr(1), 4);
  BankControlPreset preset;
  preset.params = parsePresetParams(fields[3]);
  if (fields[0].empty() || preset.params.empty()) return;
  preset.id = std::move(fields[0]);
  preset.name = std::move(fields[1]);
  preset.instrument = std::move(fields[2]);
  presets.push_back(std::move(preset));
}

// ---- The bank state document ----

void BankControl::sendBankState(const char* reason, const char* errorCode,
                                const char* requestedId) {
  std::string out = "{\"type\":\"norvo.bankState\",\"reason\":";
  jsonAppendQuoted(out, reason != nullptr ? reason : "query");
  out.append(",\"stateVersion\":1,\"pads\":");
  writeSamplerPadOverridesJson(out, padOverrides);
  out.append(",\"banks\":[]");
  if (runtimeLoaded && !source.empty()) appendRuntimeBlock(out);
  appendPresetsBlock(out);
  if (errorCode != nullptr) {
    out.append(",\"error\":{\"code\":");
    jsonAppendQuoted(out, errorCode);
    out.append(",\"requestedId\":");
    jsonAppendQuoted(out, requestedId != nullptr ? requestedId : "");
    out.push_back('}');
  }
  out.push_back('}');
  host.sendBankJson(out);
}

void BankControl::appendRuntimeBlock(std::string& out) const {
  out.append(",\"runtime\":{\"source\":");
  jsonAppendQuoted(out, source);
  out.append(",\"locator\":");
  jsonAppendQuoted(out, locator);
  if (!instrumentId.empty()) {
    out.append(",\"instrument\":{\"id\":");
    jsonAppendQuoted(out, instrumentId);
    out.append(",\"name\":");
    jsonAppendQuoted(out, instrumentName);
    out.append(",\"list\":");
    jsonAppendQuoted(out, instrumentKind);
    out.push_back('}');
  }
  out.append(",\"positionings\":[");
  for (std::size_t i = 0; i < positionings.size(); ++i) {
    const std::vector<std::string> fields = splitFields(positionings[i], 3);
    if (i > 0) out.push_back(',');
    out.append("{\"id\":");
    jsonAppendQuoted(out, fields[0]);
    out.append(",\"name\":");
    jsonAppendQuoted(out, fields[1]);
    out.append(",\"list\":");
    jsonAppendQuoted(out, fields[2]);
    out.push_back('}');
  }
  out.append("]}");
}

void BankControl::appendPresetsBlock(std::string& out) const {
  const bool bankScoped = runtimeLoaded && !presets.empty();
  out.append(",\"presets\":{\"bankScoped\":");
  out.append(bankScoped ? "true" : "false");
  out.append(",\"items\":[");
  if (bankScoped) {
    for (std::size_t i = 0; i < presets.size(); ++i) {
      const BankControlPreset& preset = presets[i];
      if (i > 0) out.push_back(',');
      out.append("{\"id\":");
      jsonAppendQuoted(out, preset.id);
      out.append(",\"name\":");
      jsonAppendQuoted(out, preset.name);
      out.append(",\"instrument\":");
      jsonAppendQuoted(out, preset.instrument);
      out.append(",\"params\":{");
      for (std::size_t p = 0; p < preset.params.size(); ++p) {
        if (p > 0) out.push_back(',');
        jsonAppendQuoted(out, preset.params[p].first);
        out.push_back(':');
        appendNumberG17(out, preset.params[p].second);
      }
      out.append("}}");
    }
  }
  out.append("]}");
}

// ---- The page's messages ----

bool BankControl::handleMessage(const BridgeMessage& message) {
  const std::string& type = message.type;
  if (type == "norvo.setPadOverrides") {
    if (!message.hasPads) return false;
    // A list the processor did not take is not shown to the page either.
    if (!host.applyPadOverrides(message.pads)) return true;
    padOverrides = message.pads;
    sendBankState("setPadOverrides");
    return true;
  }
  if (type == "norvo.loadBankPreset") {
    if (message.id.empty()) return false;
    handleBankPreset(message.id);
    return true;
  }
  if (type == "norvo.loadBank") {
    if (!message.source.empty() && message.source != kEmbeddedSource) {
      handleRuntimeBank(message.source, message.bankPath, message.instrument, message.url,
                        message.sha256);
      return true;
    }
    if (message.id.empty()) return false;
    handleCompiledBank(message.id);
    return true;
  }
  if (type == "norvo.pickFolder") {
    handlePickFolder();
    return true;
  }
  if (type == "norvo.getBankState") {
    sendBankState("query");
    return true;
  }
  return false;
}

void BankControl::handleRuntimeBank(std::string requestSource, std::string path,
                                    std::string instrument, std::string url,
                                    std::string requestSha256) {
  if (requestSource == kHostedSource) {
    std::string error;
    if (!fetchHostedBank(url, requestSha256, path, error)) {
      sendBankState(kReasonLoadBank, kErrorFetchFailed, url.c_str());
      return;
    }
  }
  if (path.empty()) {
    sendBankState(kReasonLoadBank, kErrorBankMissing, requestSource.c_str());
    return;
  }
  source = requestSource;
  locator = requestSource == kHostedSource ? url : path;
  sha256 = requestSha256;
  requestedInstrument = instrument;
  host.requestRuntimeBank(requestSource, path, requestSha256, instrument);
}

void BankControl::handleBankPreset(const std::string& id) {
  const BankControlPreset* found = nullptr;
  for (const BankControlPreset& preset : presets) {
    if (preset.id == id) {
      found = &preset;
      break;
    }
  }
  if (found == nullptr) {
    sendBankState(kReasonLoadBank, kErrorBankMissing, id.c_str());
    return;
  }
  // The reload below replaces `presets` when its reply arrives: work on a copy.
  const BankControlPreset preset = *found;
  const bool otherInstrument = !preset.instrument.empty() && preset.instrument != instrumentId;
  if (otherInstrument && !source.empty() && !locator.empty()) {
    handleRuntimeBank(source, locator, preset.instrument, locator, sha256);
  }
  for (const auto& [path, value] : preset.params) {
    const int index = presetParamIndex(path);
    if (index >= 0) host.editParam(index, value);
  }
  presetId = preset.id;
  host.notePresetSelected(preset.id, preset.name);
  if (!otherInstrument) sendBankState(kReasonLoadBank);
}

void BankControl::handlePickFolder() {
  std::string path;
  std::string error;
  const bool ok = host.pickFolder(path, error);
  std::string out = "{\"type\":\"norvo.folderPicked\",\"ok\":";
  out.append(ok ? "true" : "false");
  if (ok) {
    out.append(",\"path\":");
    jsonAppendQuoted(out, path);
  } else if (!error.empty()) {
    out.append(",\"error\":");
    jsonAppendQuoted(out, error);
  } else {
    out.append(",\"cancelled\":true");
  }
  out.push_back('}');
  host.sendBankJson(out);
}

void BankControl::handleCompiledBank(const std::string& id) {
  sendBankState(kReasonLoadBank, kErrorBankMissing, id.c_str());
}

}  // namespace norvo
