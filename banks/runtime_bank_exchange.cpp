// Request and reply texts of a runtime bank load.
#include "banks/runtime_bank_exchange.h"

#include <charconv>

namespace norvo {
namespace {

void appendFields(std::string& out, const std::string& a, const std::string& b,
                  const std::string& c) {
  out.append(a).push_back('\t');
  out.append(b).push_back('\t');
  out.append(c);
}

}  // namespace

std::string encodeRuntimeBankRequest(const RuntimeBankRequest& request) {
  std::string out;
  out.append(request.source).push_back('\n');
  out.append(request.folder).push_back('\n');
  out.append(request.sha256).push_back('\n');
  out.append(request.instrument);
  return out;
}

RuntimeBankRequest parseRuntimeBankRequest(const std::string& text) {
  RuntimeBankRequest request;
  std::string* const lines[] = {&request.source, &request.folder, &request.sha256};
  std::size_t start = 0;
  for (std::string* line : lines) {
    const std::size_t feed = text.find('\n', start);
    if (feed == std::string::npos) {
      line->assign(text, start);
      return request;
    }
    line->assign(text, start, feed - start);
    start = feed + 1;
  }
  request.instrument.assign(text, start);
  return request;
}

void appendNumberG17(std::string& out, double value) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
  out.append(text, result.ptr);
}

std::string encodeRuntimeBankReply(const char* outcomeName, const std::string& error,
                                   const StagedBank* bank) {
  std::string out = outcomeName != nullptr ? outcomeName : "missing";
  out.push_back('\n');
  out.append(error);
  if (bank == nullptr) return out;
  out.push_back('\n');
  appendFields(out, bank->instrumentId, bank->instrumentName, bank->instrumentKind);
  for (const StagedPositioning& entry : bank->positionings) {
    out.push_back('\n');
    appendFields(out, entry.id, entry.name, entry.kind);
  }
  for (const StagedPreset& preset : bank->presets) {
    out.push_back('\n');
    out.push_back(kRuntimeBankReplyPresetMark);
    appendFields(out, preset.id, preset.name, preset.instrument);
    out.push_back('\t');
    for (std::size_t i = 0; i < preset.params.size(); ++i) {
      if (i > 0) out.push_back(kRuntimeBankReplyParamSeparator);
      out.append(preset.params[i].first).push_back('=');
      appendNumberG17(out, preset.params[i].second);
    }
  }
  return out;
}

}  // namespace norvo
