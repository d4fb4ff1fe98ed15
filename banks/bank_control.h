// BankControl: the edit controller's keeper of what the editor page knows about sample banks
// (the runtime bank asked for and the one the processor staged, its instruments, kits and
// presets, the pad overrides). It handles the page's bank messages, asks the processor for a
// runtime bank, adopts the processor's reply, applies bank presets to parameters and answers
// every change with one "norvo.bankState" document. It reaches the controller only through
// BankControlHost.
// Threads: main thread only (a hosted bank download blocks it until it ends).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "banks/hosted_bank.h"
#include "banks/runtime_bank.h"
#include "editor/bridge_message.h"
#include "formats/sampler_pad_overrides.h"

namespace norvo {

// What BankControl asks of the controller that hosts it. Every call arrives on the main
// thread.
class BankControlHost {
 public:
  virtual ~BankControlHost() = default;

  // Delivers one JSON text to the editor page.
  virtual void sendBankJson(const std::string& json) = 0;
  // A complete host edit (begin, set, tell the page, perform, end) of product parameter 0..3
  // to a plain value; other indices are ignored.
  virtual void editParam(int index, double plain) = 0;
  // The plain value of product parameter 0..3 (rounded to its step when it has one); 0 for
  // other indices.
  virtual double readParam(int index) = 0;
  // Sends the processor "norvo.loadRuntimeBank" (encodeRuntimeBankRequest of the four values).
  // When no message can be allocated, calls adoptRuntimeBankReply with "missing", a line feed
  // and the folder instead.
  virtual void requestRuntimeBank(const std::string& source, const std::string& folder,
                                  const std::string& sha256, const std::string& instrument) = 0;
  // Sends the processor "norvo.padOverrides" with the overrides' JSON; true when accepted.
  virtual bool applyPadOverrides(const SamplerPadOverrides& overrides) = 0;
  // Asks the user for a bank folder.
  virtual bool pickFolder(std::string& path, std::string& error) = 0;
  // Records a bank preset selection in the lifecycle log and tells the processor.
  virtual void notePresetSelected(const std::string& id, const std::string& name) = 0;
};

// One bank preset as the page sees it: the same four fields as a staged preset.
struct BankControlPreset {
  std::string id;
  std::string name;
  std::string instrument;
  std::vector<std::pair<std::string, double>> params;  // parameter path, plain value
};

class BankControl {
 public:
  explicit BankControl(BankControlHost& host) : host(host) {}
  BankControl(const BankControl&) = delete;
  BankControl& operator=(const BankControl&) = delete;

  // The runtime bank reply text (see encodeRuntimeBankReply). Any non-audio thread.
  static std::string encodeRuntimeBankReply(const char* outcomeName, const std::string& error,
                                            const StagedBank* bank);

  // Splits `text` at tabs into exactly `count` fields, the last one taking the rest (tabs
  // included); missing fields are empty. Any thread.
  static std::vector<std::string> splitFields(const std::string& text, std::size_t count);

  // Adopts the processor's reply to the last request and sends the bank state: "ok" marks the
  // runtime bank loaded with the instrument, positionings and presets the reply lists; any
  // other outcome clears the runtime facts and names the outcome in the "error" block.
  void adoptRuntimeBankReply(const std::string& reply);

  // Writes the bank state document and hands it to the host. `reason` null reads "query"; an
  // error code adds the "error" block with `requestedId` (null = empty).
  void sendBankState(const char* reason, const char* errorCode = nullptr,
                     const char* requestedId = nullptr);

  // Dispatches the page's bank messages; false when `message` is not one (or lacks what it
  // needs to be one).
  bool handleMessage(const BridgeMessage& message);

  // A runtime bank request from the page: downloads a hosted bank into the cache first, then
  // asks the processor. The answer arrives through adoptRuntimeBankReply.
  void handleRuntimeBank(std::string source, std::string path, std::string instrument,
                         std::string url, std::string sha256);
  // Applies a bank preset's parameters (reloading the bank first when it names another
  // instrument).
  void handleBankPreset(const std::string& id);
  // Asks the host for a folder and sends "norvo.folderPicked".
  void handlePickFolder();
  // A compiled-in bank by id: this product has none, so the page hears "bank-missing".
  void handleCompiledBank(const std::string& id);

  // After a state restore: what the state names and the pad overrides it carries.
  void adoptRestoredRef(const std::string& restoredSource, const std::string& restoredLocator,
                        const std::string& restoredSha256, const std::string& instrument,
                        const std::string& restoredPresetId);
  void adoptRestoredPadOverrides(const SamplerPadOverrides& overrides);

  // Forgets the staged bank and the request behind it; keeps the requested instrument, the
  // preset id and the pad overrides.
  void clearRuntimeFacts();

  // ---- What the page was last told (read by the controller for its own state) ----
  bool isRuntimeLoaded() const { return runtimeLoaded; }
  const std::string& runtimeSource() const { return source; }
  const std::string& runtimeLocator() const { return locator; }
  const std::string& runtimeSha256() const { return sha256; }
  const std::string& requestedInstrumentId() const { return requestedInstrument; }
  const std::string& stagedInstrumentId() const { return instrumentId; }
  const std::string& currentPresetId() const { return presetId; }
  const std::vector<BankControlPreset>& bankPresets() const { return presets; }
  const SamplerPadOverrides& currentPadOverrides() const { return padOverrides; }

 private:
  void adoptPresetLine(const std::string& line);
  void appendRuntimeBlock(std::string& out) const;
  void appendPresetsBlock(std::string& out) const;

  BankControlHost& host;
  bool runtimeLoaded = false;
  std::string source;
  std::string locator;
  std::string sha256;
  std::string requestedInstrument;
  std::string instrumentId;
  std::string instrumentName;
  std::string instrumentKind;
  std::vector<std::string> positionings;  // id, tab, name, tab, kind
  std::vector<BankControlPreset> presets;
  std::string presetId;
  SamplerPadOverrides padOverrides;
};

}  // namespace norvo
