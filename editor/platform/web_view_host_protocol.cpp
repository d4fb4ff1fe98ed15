// The web view helper's messages and command line.
#include "editor/platform/web_view_host_protocol.h"

#include <charconv>

namespace norvo {

namespace {

using Kind = WebViewHostMessageKind;

enum class Payload { kNone, kText, kWindow, kSize };

struct KindInfo {
  Kind kind;
  Payload payload;
};

constexpr KindInfo kKinds[] = {
    {Kind::kLoad, Payload::kNone},        {Kind::kEmbed, Payload::kWindow},
    {Kind::kResize, Payload::kSize},      {Kind::kDeliver, Payload::kText},
    {Kind::kClose, Payload::kNone},       {Kind::kReady, Payload::kNone},
    {Kind::kEmbedded, Payload::kNone},    {Kind::kFailed, Payload::kText},
    {Kind::kPageMessage, Payload::kText}, {Kind::kParentGone, Payload::kNone},
};

const KindInfo* kindInfo(char kind) {
  for (const KindInfo& info : kKinds) {
    if (static_cast<char>(info.kind) == kind) return &info;
  }
  return nullptr;
}

// A plain decimal number (digits only, no sign, no leading zero but "0") within [low, high].
template <typename T>
std::optional<T> decimal(std::string_view text, T low, T high) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (text[0] < '0' || text[0] > '9' || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> extent(std::string_view text) {
  return decimal<int>(text, 1, kWebViewHostMaxExtent);
}

}  // namespace

std::string encodeWebViewHostMessage(const WebViewHostMessage& message) {
  std::string bytes(1, static_cast<char>(message.kind));
  const KindInfo* info = kindInfo(static_cast<char>(message.kind));
  switch (info != nullptr ? info->payload : Payload::kNone) {
    case Payload::kNone:
      break;
    case Payload::kText:
      bytes += message.text;
      break;
    case Payload::kWindow:
      bytes += std::to_string(message.window);
      break;
    case Payload::kSize:
      bytes += std::to_string(message.width) + " " + std::to_string(message.height);
      break;
  }
  return bytes;
}

std::optional<WebViewHostMessage> decodeWebViewHostMessage(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  const KindInfo* info = kindInfo(bytes[0]);
  if (info == nullptr) return std::nullopt;
  const std::string_view payload = bytes.substr(1);
  WebViewHostMessage message;
  message.kind = info->kind;
  switch (info->payload) {
    case Payload::kNone:
      if (!payload.empty()) return std::nullopt;
      break;
    case Payload::kText:
      message.text = std::string(payload);
      break;
    case Payload::kWindow: {
      const auto window = decimal<std::uint64_t>(payload, 1, UINT64_MAX);
      if (!window) return std::nullopt;
      message.window = *window;
      break;
    }
    case Payload::kSize: {
      const std::size_t space = payload.find(' ');
      if (space == std::string_view::npos) return std::nullopt;
      const auto width = extent(payload.substr(0, space));
      const auto height = extent(payload.substr(space + 1));
      if (!width || !height) return std::nullopt;
      message.width = *width;
      message.height = *height;
      break;
    }
  }
  return message;
}

std::vector<std::string> webViewHostArgumentList(const WebViewHostArguments& arguments) {
  return {"--root",   arguments.root,
          "--width",  std::to_string(arguments.width),
          "--height", std::to_string(arguments.height)};
}

std::optional<WebViewHostArguments> parseWebViewHostArguments(
    const std::vector<std::string>& arguments) {
  if (arguments.size() != 6) return std::nullopt;
  WebViewHostArguments parsed;
  bool seenRoot = false, seenWidth = false, seenHeight = false;
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& name = arguments[i];
    const std::string& value = arguments[i + 1];
    if (name == "--root" && !seenRoot && !value.empty()) {
      parsed.root = value;
      seenRoot = true;
    } else if ((name == "--width" && !seenWidth) || (name == "--height" && !seenHeight)) {
      const auto number = extent(value);
      if (!number) return std::nullopt;
      (name == "--width" ? parsed.width : parsed.height) = *number;
      (name == "--width" ? seenWidth : seenHeight) = true;
    } else {
      return std::nullopt;
    }
  }
  return parsed;
}

}  // namespace norvo
