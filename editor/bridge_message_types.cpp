// The incoming type table, its lookup and the required-member check.
#include "editor/bridge_message_types.h"

namespace norvo {

using K = BridgeMessageKind;
using Req = BridgeRequirement;

const IncomingBridgeType kIncomingBridgeTypes[kIncomingBridgeTypeCount] = {
    {"norvo.ready", K::Ready, Req::None},
    {"norvo.setParam", K::SetParam, Req::Value},
    {"norvo.beginEdit", K::BeginEdit, Req::None},
    {"norvo.endEdit", K::EndEdit, Req::None},
    {"norvo.getState", K::GetState, Req::None},
    {"norvo.setState", K::SetState, Req::State},
    {"norvo.setCcMap", K::SetCcMap, Req::MapBindings},
    {"norvo.noteOn", K::NoteOn, Req::None},
    {"norvo.noteOff", K::NoteOff, Req::None},
    {"norvo.loadFactoryPreset", K::LoadFactoryPreset, Req::None},
    {"norvo.setPadOverrides", K::SetPadOverrides, Req::Pads},
    {"norvo.loadBankPreset", K::LoadBankPreset, Req::NonEmptyId},
    {"norvo.loadBank", K::LoadBank, Req::None},
    {"norvo.pickFolder", K::PickFolder, Req::None},
    {"norvo.getBankState", K::GetBankState, Req::None},
    {"norvo.diag.subscribe", K::DiagSubscribe, Req::None},
    {"norvo.diag.unsubscribe", K::DiagUnsubscribe, Req::None},
    {"norvo.diag.stimulus", K::DiagStimulus, Req::None},
};

namespace {

const IncomingBridgeType* findIncoming(std::string_view type) noexcept {
  for (const IncomingBridgeType& entry : kIncomingBridgeTypes) {
    if (type == entry.type) return &entry;
  }
  return nullptr;
}

bool requirementMet(BridgeRequirement requirement, const BridgeMessage& message) noexcept {
  switch (requirement) {
    case Req::None:
      return true;
    case Req::Value:
      return message.hasValue;
    case Req::State:
      return message.hasState;
    case Req::MapBindings:
      return message.hasCcMap;
    case Req::Pads:
      return message.hasPads;
    case Req::NonEmptyId:
      return !message.id.empty();
  }
  return false;
}

}  // namespace

BridgeMessageKind bridgeMessageKind(std::string_view type) noexcept {
  const IncomingBridgeType* entry = findIncoming(type);
  return entry == nullptr ? K::Unknown : entry->kind;
}

bool bridgeMessageActionable(const BridgeMessage& message) noexcept {
  const IncomingBridgeType* entry = findIncoming(message.type);
  return entry != nullptr && requirementMet(entry->requirement, message);
}

}  // namespace norvo
