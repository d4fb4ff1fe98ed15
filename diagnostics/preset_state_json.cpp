// Bank facts, preset state and the (empty) compiled bank list.
#include "diagnostics/preset_state_json.h"

#include "common/json_writer.h"

namespace norvo {

namespace {

void appendTextIfSet(std::string& out, const char* key, const char* value) {
  if (value[0] == '\0') {
    return;
  }
  out += ",";
  jsonAppendQuoted(out, key);
  out += ":";
  jsonAppendQuoted(out, value);
}

void appendNumberIfKnown(std::string& out, const char* key, double value) {
  if (value < 0) {
    return;
  }
  out += ",";
  jsonAppendQuoted(out, key);
  out += ":";
  jsonAppendNumber(out, value);
}

}  // namespace

void writeDiagnosticBankJson(std::string& out, const BankFacts& bank) {
  out += "{\"id\":";
  jsonAppendQuoted(out, bank.id);
  appendTextIfSet(out, "name", bank.name);
  appendTextIfSet(out, "kind", bank.kind);
  appendTextIfSet(out, "version", bank.version);
  appendTextIfSet(out, "sha256", bank.sha256);
  appendTextIfSet(out, "source", bank.source);
  appendTextIfSet(out, "entryId", bank.entryId);
  appendNumberIfKnown(out, "index", bank.index);
  appendNumberIfKnown(out, "zoneCount", bank.zoneCount);
  appendNumberIfKnown(out, "roundRobinGroups", bank.roundRobinGroups);
  appendNumberIfKnown(out, "chokeGroups", bank.chokeGroups);
  appendNumberIfKnown(out, "velocityLayers", bank.velocityLayers);
  appendNumberIfKnown(out, "padCount", bank.padCount);
  out += "}";
}

void writeDiagnosticPresetStateJson(std::string& out, const PresetStateFacts& facts) {
  out += "{\"factoryCount\":";
  jsonAppendNumber(out, facts.factoryCount);
  appendTextIfSet(out, "currentId", facts.currentId);
  appendTextIfSet(out, "currentName", facts.currentName);
  out += facts.dirty ? ",\"dirty\":true" : ",\"dirty\":false";
  out += facts.userPresetsSupported ? ",\"userPresetsSupported\":true"
                                    : ",\"userPresetsSupported\":false";
  appendNumberIfKnown(out, "lastStateBytes", static_cast<double>(facts.lastStateBytes));
  if (facts.bank.present && facts.bank.id[0] != '\0') {
    out += ",\"bank\":";
    writeDiagnosticBankJson(out, facts.bank);
  }
  out += "}";
}

void writeDiagnosticBanksJson(std::string&) {}

}  // namespace norvo
