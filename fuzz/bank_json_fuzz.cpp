// Fuzzes the bank loader's JSON reader. A document that parses is written back out as JSON
// (strings escaped, numbers with 17 significant digits) and must parse again to the same tree,
// never deeper than the reader's limit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "banks/bank_json.h"

namespace {

using norvo::JsonValue;

void writeString(std::string& out, const std::string& text) {
  out.push_back('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
}

void write(std::string& out, const JsonValue& value) {
  switch (value.kind) {
    case JsonValue::Kind::Null:
      out += "null";
      break;
    case JsonValue::Kind::Bool:
      out += value.boolean ? "true" : "false";
      break;
    case JsonValue::Kind::Number: {
      char number[64];
      std::snprintf(number, sizeof number, "%.17g", value.number);  // "inf", "nan" read back too
      out += number;
      break;
    }
    case JsonValue::Kind::String:
      writeString(out, value.text);
      break;
    case JsonValue::Kind::Array: {
      out.push_back('[');
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i != 0) out.push_back(',');
        write(out, value.items[i]);
      }
      out.push_back(']');
      break;
    }
    case JsonValue::Kind::Object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, member] : value.members) {
        if (!first) out.push_back(',');
        first = false;
        writeString(out, key);
        out.push_back(':');
        write(out, member);
      }
      out.push_back('}');
      break;
    }
  }
}

bool same(const JsonValue& a, const JsonValue& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case JsonValue::Kind::Null:
      return true;
    case JsonValue::Kind::Bool:
      return a.boolean == b.boolean;
    case JsonValue::Kind::Number:
      if (std::isnan(a.number)) return std::isnan(b.number);
      return a.number == b.number && std::signbit(a.number) == std::signbit(b.number);
    case JsonValue::Kind::String:
      return a.text == b.text;
    case JsonValue::Kind::Array:
      if (a.items.size() != b.items.size()) return false;
      for (std::size_t i = 0; i < a.items.size(); ++i) {
        if (!same(a.items[i], b.items[i])) return false;
      }
      return true;
    case JsonValue::Kind::Object: {
      if (a.members.size() != b.members.size()) return false;
      auto other = b.members.begin();
      for (const auto& [key, member] : a.members) {
        if (key != other->first || !same(member, other->second)) return false;
        ++other;
      }
      return true;
    }
  }
  return false;
}

int depthOf(const JsonValue& value) {
  int deepest = 0;
  for (const JsonValue& item : value.items) deepest = std::max(deepest, 1 + depthOf(item));
  for (const auto& entry : value.members) deepest = std::max(deepest, 1 + depthOf(entry.second));
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  JsonValue value;
  if (!norvo::parseJsonDocument(data, size, value)) return 0;
  if (depthOf(value) > norvo::kBankJsonMaxDepth) std::abort();
  std::string text;
  write(text, value);
  JsonValue again;
  if (!norvo::parseJsonDocument(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                again) ||
      !same(value, again)) {
    std::abort();
  }
  return 0;
}
