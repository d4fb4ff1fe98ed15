// The two texts of a runtime bank exchange between the edit controller and the processor: the
// request ("norvo.loadRuntimeBank": source, folder, SHA-256 and instrument, one per line) and
// the reply ("norvo.runtimeBankResult": outcome, error and, on success, the staged bank's
// instrument, positionings and presets). Plain text functions: any thread except the audio
// thread (they allocate).
#pragma once

#include <string>

#include "banks/runtime_bank.h"

namespace norvo {

// Marks a preset line of the reply, and separates its parameter pairs.
inline constexpr char kRuntimeBankReplyPresetMark = '\x01';
inline constexpr char kRuntimeBankReplyParamSeparator = '\x1F';

struct RuntimeBankRequest {
  std::string source;
  std::string folder;
  std::string sha256;
  std::string instrument;
};

// The four values joined by single line feeds, no line feed after the last.
std::string encodeRuntimeBankRequest(const RuntimeBankRequest& request);

// Splits a request text at its first three line feeds; missing trailing lines are empty and
// the last line keeps any further line feeds. No default is filled in.
RuntimeBankRequest parseRuntimeBankRequest(const std::string& text);

// The reply text: the outcome name ("missing" for null), a line feed and the error text; when
// `bank` is given, then the instrument line, one line per positioning and one per preset
// (0x01, id, name, instrument and key=value pairs separated by 0x1F, values as "%.17g").
std::string encodeRuntimeBankReply(const char* outcomeName, const std::string& error,
                                   const StagedBank* bank);

// Appends `value` as printf's "%.17g" writes it in the "C" locale, whatever LC_NUMERIC the
// host set.
void appendNumberG17(std::string& out, double value);

}  // namespace norvo
