// One parsed page message (`BridgeMessage`): the fields every incoming message type may carry,
// each at its start value until the text fills it. Created fresh for every incoming text and
// dropped after dispatch, on the main thread.
#pragma once

#include <cstdint>
#include <string>

#include "ccmap/cc_map.h"
#include "formats/sampler_pad_overrides.h"
#include "formats/state_chunk.h"

namespace norvo {

// What a diagnostic message asks for, derived from its type.
enum BridgeDiagAction : std::uint8_t {
  kBridgeDiagNone = 0,
  kBridgeDiagSubscribe = 1,    // "norvo.diag.subscribe"
  kBridgeDiagUnsubscribe = 2,  // "norvo.diag.unsubscribe"
  kBridgeDiagStimulus = 3,     // "norvo.diag.stimulus"
};

// Text fields keep the bytes of their JSON string exactly (a raw NUL byte included), so they
// are compared as whole strings, never through c_str().
struct BridgeMessage {
  std::string type;
  std::string path;
  std::string id;
  std::string source;
  std::string bankPath;
  std::string url;
  std::string sha256;
  std::string instrument;
  double value = 0;
  bool hasValue = false;
  double note = 0;
  double velocity = 0;
  StateChunk state;  // fresh chunk: variation -1, empty CC map
  bool hasState = false;
  CcMap ccMap;
  bool hasCcMap = false;  // the "map" value carried a bindings array
  SamplerPadOverrides pads;
  bool hasPads = false;
  std::uint8_t diagAction = kBridgeDiagNone;
  std::uint32_t feeds = 0;  // diagnosticFeedBit of every subscribed name, ORed
  double hz = 0;
  std::string stimulusKind;
};

}  // namespace norvo
