// The bank loader's JSON document tree: a whole manifest, instrument or preset document
// parsed into values, with the lenient typed lookups the loader's defaults rely on.
// Any thread except the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace norvo {

// Deepest level a value may sit below the top-level value.
inline constexpr int kBankJsonMaxDepth = 32;

class JsonValue {
 public:
  enum class Kind : std::uint8_t { Null, Bool, Number, String, Array, Object };

  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;              // Array elements, in order
  std::map<std::string, JsonValue> members;  // Object members, ordered by key bytes

  bool isNull() const { return kind == Kind::Null; }
  bool isBool() const { return kind == Kind::Bool; }
  bool isNumber() const { return kind == Kind::Number; }
  bool isString() const { return kind == Kind::String; }
  bool isArray() const { return kind == Kind::Array; }
  bool isObject() const { return kind == Kind::Object; }

  // Lookups may be made from any thread that owns the value.
  // The member named `key`, or null when this is not an object or has no such member.
  const JsonValue* member(const std::string& key) const;

  // Typed member lookups: the member's value when it has the asked type, else `fallback`.
  std::string stringOr(const std::string& key, const std::string& fallback) const;
  double numberOr(const std::string& key, double fallback) const;
  bool boolOr(const std::string& key, bool fallback) const;
};

// Parses exactly one JSON value from the whole buffer (only whitespace may follow it).
// Returns false on any syntax error, leaving `out` unspecified. Any thread except the audio
// thread.
bool parseJsonDocument(const std::uint8_t* bytes, std::size_t size, JsonValue& out);

inline bool parseJsonDocument(const std::vector<std::uint8_t>& bytes, JsonValue& out) {
  return parseJsonDocument(bytes.data(), bytes.size(), out);
}

}  // namespace norvo
