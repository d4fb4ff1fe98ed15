// The bank loader: manifest checks, asset verification, instrument choice, decoding, the
// sample arena and the zones, in that order; the first failing step ends the load.
#include "banks/runtime_bank_loader.h"

#include <cmath>
#include <exception>
#include <map>
#include <vector>

#include "banks/bank_files.h"
#include "banks/bank_json.h"
#include "banks/sha256.h"
#include "banks/wav_decoder.h"

namespace norvo {
namespace {

constexpr const char* kBankFormat = "norvo-sound-pack/v1";
constexpr const char* kInstrumentFormat = "norvo-sampler-instrument/v1";
constexpr const char* kNoInstrumentDocument = "bank.json names no readable instrument/kit document";
constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026

// An asset that passed its size and hash checks; its bytes live until the load returns.
struct VerifiedAsset {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// Negative, NaN and non-numbers give 0; values beyond 32 bits saturate.
std::uint32_t frameRule(const JsonValue* value) {
  const double n = value != nullptr && value->isNumber() ? value->number : 0.0;
  if (!(n > 0.0)) return 0;
  if (n >= 4294967295.0) return kStagedFrameNotRead;
  return static_cast<std::uint32_t>(n);
}

// Present and not null: the four frame positions count as given even with a non-number.
const JsonValue* presentMember(const JsonValue& object, const char* key) {
  const JsonValue* value = object.member(key);
  return value != nullptr && !value->isNull() ? value : nullptr;
}

std::uint32_t frameMember(const JsonValue& object, const char* key, std::uint32_t fallback) {
  const JsonValue* value = object.member(key);
  return value != nullptr && value->isNumber() ? frameRule(value) : fallback;
}

// MIDI key and velocity values: rounded, clamped to 0..127.
std::uint32_t keyMember(const JsonValue& object, const char* key, std::uint32_t fallback) {
  const JsonValue* value = object.member(key);
  if (value == nullptr || !value->isNumber()) return fallback;
  const double n = value->number;
  if (!(n > 0.0)) return 0;
  return n > 127.0 ? 127u : static_cast<std::uint32_t>(n + 0.5);
}

// A declared "bytes" value as an unsigned size, saturating.
std::uint64_t declaredSize(double bytes) {
  if (bytes >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<std::uint64_t>(bytes);
}

const JsonValue* arrayMember(const JsonValue& object, const char* key) {
  const JsonValue* value = object.member(key);
  return value != nullptr && value->isArray() ? value : nullptr;
}

class BankLoader {
 public:
  BankLoader(const std::string& folder, std::uint64_t arenaFrames, const std::string& requested)
      : folder_(folder), arenaFrames_(arenaFrames), requested_(requested) {}

  RuntimeBankLoad run() {
    if (readManifest() && verifyAssets()) {
      collectPositionings();
      collectPresets();
      if (chooseInstrument() && decodeAssets() && buildArena() && buildZones()) finish();
    }
    return std::move(load_);
  }

 private:
  const std::string& folder_;
  const std::uint64_t arenaFrames_;
  const std::string& requested_;
  RuntimeBankLoad load_;
  JsonValue manifest_;
  JsonValue instrument_;
  std::map<std::string, VerifiedAsset> assets_;
  std::map<std::string, WavAudio> decoded_;
  std::map<std::string, std::uint32_t> offsets_;

  StagedBank& bank() { return load_.bank; }

  bool fail(RuntimeBankOutcome outcome, std::string error) {
    load_.outcome = outcome;
    load_.error = std::move(error);
    return false;
  }

  bool failCleared(RuntimeBankOutcome outcome, std::string error) {
    load_.bank = StagedBank();
    return fail(outcome, std::move(error));
  }

  bool readManifest() {
    const std::string path = joinPath(folder_, "bank.json");
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(path, bytes))
      return fail(RuntimeBankOutcome::BankMissing, "cannot read " + path);
    if (!parseJsonDocument(bytes, manifest_) || !manifest_.isObject()) {
      return fail(RuntimeBankOutcome::BankMalformed, "bank.json is not a JSON object");
    }
    const std::string format = manifest_.stringOr("format", "");
    if (format != kBankFormat) {
      return fail(RuntimeBankOutcome::BankMalformed,
                  "bank.json format is " + quoted(format) + ", expected " + kBankFormat);
    }
    bank().id = manifest_.stringOr("id", "");
    bank().version = manifest_.stringOr("version", "");
    bank().name = manifest_.stringOr("name", "");
    if (bank().id.empty())
      return fail(RuntimeBankOutcome::BankMalformed, "bank.json declares no id");
    bank().manifestSha256 = sha256Hex(bytes);
    return true;
  }

  bool verifyAssets() {
    const JsonValue* table = arrayMember(manifest_, "assetTable");
    if (table == nullptr || table->items.empty()) {
      return fail(RuntimeBankOutcome::BankMalformed, "bank.json declares no assetTable");
    }
    for (const JsonValue& entry : table->items) {
      if (entry.isObject() && !verifyAsset(entry)) return false;
    }
    return true;
  }

  bool verifyAsset(const JsonValue& entry) {
    const std::string id = entry.stringOr("id", "");
    const std::string path = entry.stringOr("path", "");
    if (id.empty() || path.empty()) {
      return fail(RuntimeBankOutcome::BankMalformed, "assetTable entry missing id or path");
    }
    if (!pathIsContained(path)) {
      return fail(RuntimeBankOutcome::BankMalformed,
                  "asset " + quoted(id) + " path escapes the bank directory");
    }
    const std::string codec = entry.stringOr("codec", "wav");
    if (codec != "wav") {
      return fail(RuntimeBankOutcome::BankUnsupportedCodec,
                  "asset " + quoted(id) + " codec " + quoted(codec) +
                      " is not decoded by the native runtime loader (wav only)");
    }
    VerifiedAsset asset{path, {}};
    if (!readWholeFile(joinPath(folder_, path), asset.bytes)) {
      return fail(RuntimeBankOutcome::BankMissing,
                  "asset " + quoted(id) + " file missing: " + path);
    }
    const double bytes = entry.numberOr("bytes", -1.0);
    if (bytes >= 0.0 && asset.bytes.size() != declaredSize(bytes)) {
      return fail(RuntimeBankOutcome::BankHashMismatch,
                  "asset " + quoted(id) + " is " + std::to_string(asset.bytes.size()) +
                      " bytes, manifest declares " + std::to_string(declaredSize(bytes)));
    }
    const std::string declaredHash = entry.stringOr("sha256", "");
    if (!declaredHash.empty()) {
      const std::string actual = sha256Hex(asset.bytes);
      if (actual != declaredHash) {
        return fail(RuntimeBankOutcome::BankHashMismatch, "asset " + quoted(id) + " sha256 " +
                                                              actual.substr(0, 16) + kEllipsis +
                                                              " does not match the manifest");
      }
    }
    assets_.insert_or_assign(id, std::move(asset));
    return true;
  }

  void collectPositionings() {
    for (const char* kind : {"instruments", "kits"}) {
      const JsonValue* list = arrayMember(manifest_, kind);
      if (list == nullptr) continue;
      for (const JsonValue& entry : list->items) {
        if (!entry.isObject()) continue;
        const std::string id = entry.stringOr("id", "");
        if (!id.empty()) bank().positionings.push_back({id, entry.stringOr("name", ""), kind});
      }
    }
  }

  // A preset enters the bank only when its document yields at least one finite parameter.
  void collectPresets() {
    const JsonValue* list = arrayMember(manifest_, "presets");
    if (list == nullptr) return;
    for (const JsonValue& entry : list->items) {
      if (!entry.isObject()) continue;
      StagedPreset preset;
      preset.id = entry.stringOr("id", "");
      if (preset.id.empty()) continue;
      preset.name = entry.stringOr("name", "");
      if (preset.name.empty()) preset.name = preset.id;
      preset.instrument = entry.stringOr("instrument", "");
      readPresetParams(entry.stringOr("document", ""), preset.params);
      if (!preset.params.empty()) bank().presets.push_back(std::move(preset));
    }
  }

  void readPresetParams(const std::string& document,
                        std::vector<std::pair<std::string, double>>& params) {
    if (document.empty() || !pathIsContained(document)) return;
    std::vector<std::uint8_t> bytes;
    JsonValue root;
    if (!readWholeFile(joinPath(folder_, document), bytes) || !parseJsonDocument(bytes, root))
      return;
    const JsonValue* values = root.member("params");
    if (values == nullptr || !values->isObject()) return;
    for (const auto& [key, value] : values->members) {  // the map keeps keys in byte order
      if (value.isNumber() && std::isfinite(value.number)) params.emplace_back(key, value.number);
    }
  }

  // Finds the entry to load; on success `document` names its instrument document.
  bool findInstrumentEntry(std::string& document) {
    for (const char* kind : {"instruments", "kits"}) {
      const JsonValue* list = arrayMember(manifest_, kind);
      if (list == nullptr) continue;
      for (const JsonValue& entry : list->items) {
        if (!entry.isObject()) continue;
        const std::string id = entry.stringOr("id", "");
        if (!requested_.empty() && requested_ != id) continue;
        document = entry.stringOr("document", "");
        if (document.empty()) continue;
        bank().instrumentId = id;
        bank().instrumentName = entry.stringOr("name", "");
        bank().instrumentKind = kind;
        return true;
      }
    }
    return false;
  }

  std::string unknownInstrumentError() const {
    std::string tail = " (the bank lists none)";
    if (!load_.bank.positionings.empty()) {
      tail = " (known: ";
      for (std::size_t i = 0; i < load_.bank.positionings.size(); ++i) {
        if (i != 0) tail += ", ";
        tail += load_.bank.positionings[i].id;
      }
      tail += ")";
    }
    return "bank " + load_.bank.id + " has no instrument or kit " + quoted(requested_) + tail;
  }

  bool chooseInstrument() {
    std::string document;
    if (!findInstrumentEntry(document)) {
      if (requested_.empty()) return fail(RuntimeBankOutcome::BankMalformed, kNoInstrumentDocument);
      return failCleared(RuntimeBankOutcome::BankInstrumentUnknown, unknownInstrumentError());
    }
    if (!pathIsContained(document))
      return fail(RuntimeBankOutcome::BankMalformed, kNoInstrumentDocument);
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(joinPath(folder_, document), bytes)) {
      return fail(RuntimeBankOutcome::BankMissing, "instrument document missing: " + document);
    }
    if (!parseJsonDocument(bytes, instrument_) || !instrument_.isObject()) {
      return fail(RuntimeBankOutcome::BankMalformed, "instrument document is not a JSON object");
    }
    const std::string format = instrument_.stringOr("format", "");
    if (format != kInstrumentFormat) {
      return fail(
          RuntimeBankOutcome::BankMalformed,
          "instrument document format is " + quoted(format) + ", expected " + kInstrumentFormat);
    }
    const JsonValue* zones = arrayMember(instrument_, "zones");
    if (zones == nullptr || zones->items.empty()) {
      return fail(RuntimeBankOutcome::BankMalformed, "instrument document declares no zones");
    }
    return true;
  }

  const std::vector<JsonValue>& zoneDocuments() const { return instrument_.member("zones")->items; }

  // Each used asset is decoded once, by the first zone that names it.
  bool decodeAssets() {
    for (const JsonValue& zone : zoneDocuments()) {
      if (!zone.isObject()) continue;
      const std::string assetId = zone.stringOr("assetId", "");
      const auto asset = assets_.find(assetId);
      if (assetId.empty() || asset == assets_.end()) {
        return fail(RuntimeBankOutcome::BankMalformed,
                    "zone " + quoted(zone.stringOr("id", "")) + " names asset " + quoted(assetId) +
                        " which the assetTable does not declare");
      }
      if (decoded_.count(assetId) != 0) continue;
      WavAudio audio;
      std::string error;
      if (!decodeWav(asset->second.bytes, audio, error)) {
        return fail(RuntimeBankOutcome::BankUnsupportedCodec,
                    "asset " + quoted(assetId) + ": " + error);
      }
      decoded_.emplace(assetId, std::move(audio));
    }
    return true;
  }

  // Assets enter the arena in order of first use by a zone.
  bool buildArena() {
    for (const JsonValue& zone : zoneDocuments()) {
      if (!zone.isObject()) continue;
      const std::string assetId = zone.stringOr("assetId", "");
      if (offsets_.count(assetId) != 0) continue;
      std::vector<float>& arena = bank().samples;
      offsets_.emplace(assetId, static_cast<std::uint32_t>(arena.size()));
      const std::vector<float>& samples = decoded_.at(assetId).samples;
      arena.insert(arena.end(), samples.begin(), samples.end());
      if (arenaFrames_ != 0 && arena.size() > arenaFrames_) {
        const std::size_t needed = arena.size();
        return failCleared(RuntimeBankOutcome::BankTooLarge,
                           "bank needs " + std::to_string(needed) +
                               " arena frames, the kernel published " +
                               std::to_string(arenaFrames_));
      }
    }
    return true;
  }

  static std::int32_t triggerCode(const std::string& trigger) {
    if (trigger == "release") return 1;
    if (trigger == "legato") return 2;
    return 0;
  }

  void readLoop(const JsonValue& zone, std::uint32_t startFrame, StagedZone& staged) {
    const JsonValue* loopStart = presentMember(zone, "loopStartFrame");
    const JsonValue* loopEnd = presentMember(zone, "loopEndFrame");
    if (zone.stringOr("loopMode", "none") != "forward" || loopStart == nullptr ||
        loopEnd == nullptr)
      return;
    const std::uint32_t ls = frameRule(loopStart);
    const std::uint32_t le = frameRule(loopEnd);
    staged.declaredLoopStart = ls;
    staged.declaredLoopEnd = le;
    if (ls < startFrame || le <= ls || le - startFrame > staged.frames) return;
    staged.loopMode = 1;
    staged.loopStart = ls - startFrame;
    staged.loopEnd = le - startFrame;
    const std::uint32_t crossfade = frameMember(zone, "loopCrossfadeFrames", 0);
    staged.declaredCrossfade = crossfade;
    staged.loopCrossfade = staged.loopEnd - staged.loopStart >= crossfade ? crossfade : 0;
  }

  StagedZone stageZone(const JsonValue& zone) {
    const std::string assetId = zone.stringOr("assetId", "");
    const WavAudio& audio = decoded_.at(assetId);
    StagedZone staged;
    staged.id = zone.stringOr("id", "");
    staged.assetOffset = offsets_.at(assetId);
    staged.assetFrames = static_cast<std::uint32_t>(audio.samples.size());
    staged.sampleRate = audio.sampleRate;

    std::uint32_t startFrame = 0;
    if (const JsonValue* start = presentMember(zone, "startFrame")) {
      startFrame = frameRule(start);
      if (startFrame >= staged.assetFrames) startFrame = 0;
    }
    staged.start = staged.assetOffset + startFrame;
    staged.frames = staged.assetFrames - startFrame;
    if (const JsonValue* end = presentMember(zone, "endFrame")) {
      const std::uint32_t endFrame = frameRule(end);
      if (endFrame > startFrame && endFrame - startFrame < staged.frames)
        staged.frames = endFrame - startFrame;
    }

    staged.lowKey = keyMember(zone, "lowKey", 0);
    staged.highKey = keyMember(zone, "highKey", 127);
    staged.rootKey = keyMember(zone, "rootKey", 60);
    staged.keyTracking = zone.boolOr("keyTracking", true);
    staged.lowVelocity = keyMember(zone, "lowVelocity", 0);
    staged.highVelocity = keyMember(zone, "highVelocity", 127);
    staged.gain = zone.numberOr("gain", 1.0);
    staged.pan = zone.numberOr("pan", 0.0);
    staged.fineTuneCents = zone.numberOr("fineTuneCents", 0.0);
    staged.roundRobinGroup = frameMember(zone, "roundRobinGroup", 0);
    staged.chokeGroup = frameMember(zone, "chokeGroup", 0);
    staged.trigger = triggerCode(zone.stringOr("trigger", "attack"));
    staged.attackSeconds = zone.numberOr("attackSeconds", 0.001);
    staged.releaseSeconds = zone.numberOr("releaseSeconds", 0.05);
    staged.reverse = zone.boolOr("reverse", false);
    staged.filterCutoffHz = zone.numberOr("filterCutoffHz", 0.0);
    staged.filterResonance = zone.numberOr("filterResonance", 0.0);
    readLoop(zone, startFrame, staged);
    return staged;
  }

  bool buildZones() {
    for (const JsonValue& zone : zoneDocuments()) {
      if (!zone.isObject()) continue;
      bank().zones.push_back(stageZone(zone));
      if (bank().zones.size() == 1) bank().sampleRate = bank().zones.front().sampleRate;
    }
    return true;
  }

  void finish() {
    if (bank().zones.empty() || bank().samples.empty()) {
      failCleared(RuntimeBankOutcome::BankMalformed, "bank staged no zones or no samples");
      return;
    }
    load_.outcome = RuntimeBankOutcome::Ok;
    load_.error.clear();
  }
};

}  // namespace

RuntimeBankLoad loadRuntimeBank(const std::string& folder, std::uint64_t arenaFrames,
                                const std::string& instrumentId) {
  try {
    return BankLoader(folder, arenaFrames, instrumentId).run();
  } catch (const std::exception&) {
    // Only allocation failures can throw here (a bank far larger than memory).
    RuntimeBankLoad load;
    load.outcome = RuntimeBankOutcome::BankTooLarge;
    load.error = "bank does not fit in memory";
    return load;
  }
}

}  // namespace norvo
