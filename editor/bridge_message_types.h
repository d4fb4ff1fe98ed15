// The catalogue of page message types: every type the page may send with the member a message
// of that type needs before it can act, and the types the controller sends to the page.
// Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "editor/bridge_message.h"

namespace norvo {

// Page -> controller.
enum class BridgeMessageKind : std::uint8_t {
  Unknown = 0,
  Ready,
  SetParam,
  BeginEdit,
  EndEdit,
  GetState,
  SetState,
  SetCcMap,
  NoteOn,
  NoteOff,
  LoadFactoryPreset,
  SetPadOverrides,
  LoadBankPreset,
  LoadBank,
  PickFolder,
  GetBankState,
  DiagSubscribe,
  DiagUnsubscribe,
  DiagStimulus,
};

// The member a message must carry to have any effect; without it the message is ignored.
enum class BridgeRequirement : std::uint8_t {
  None,
  Value,        // "value" (hasValue)
  State,        // an object "state" (hasState)
  MapBindings,  // a "map" holding a bindings array (hasCcMap)
  Pads,         // an object "pads" (hasPads)
  NonEmptyId,   // a non-empty "id"
};

struct IncomingBridgeType {
  const char* type;
  BridgeMessageKind kind;
  BridgeRequirement requirement;
};

inline constexpr std::size_t kIncomingBridgeTypeCount = 18;

// Every type the page may send, in catalogue order.
extern const IncomingBridgeType kIncomingBridgeTypes[kIncomingBridgeTypeCount];

// The kind of a type name (exact, case-sensitive comparison); Unknown for any other name.
BridgeMessageKind bridgeMessageKind(std::string_view type) noexcept;

// True when the message names a known type and carries that type's required member; a message
// for which this is false is ignored silently.
bool bridgeMessageActionable(const BridgeMessage& message) noexcept;

// Controller -> page.
inline constexpr const char kBridgeHello[] = "norvo.hello";
inline constexpr const char kBridgeParamChanged[] = "norvo.paramChanged";
inline constexpr const char kBridgeState[] = "norvo.state";
inline constexpr const char kBridgeCcMapChanged[] = "norvo.ccMapChanged";
inline constexpr const char kBridgeRuntimeDiagnostics[] = "norvo.runtimeDiagnostics";
inline constexpr const char kBridgeHostChanged[] = "norvo.hostChanged";
inline constexpr const char kBridgeTransport[] = "norvo.transport";
inline constexpr const char kBridgeLifecycle[] = "norvo.lifecycle";
inline constexpr const char kBridgeBankState[] = "norvo.bankState";
inline constexpr const char kBridgeFolderPicked[] = "norvo.folderPicked";
inline constexpr const char kBridgeMidiCc[] = "norvo.midiCc";

}  // namespace norvo
